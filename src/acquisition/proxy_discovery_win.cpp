// Proxy discovery through WinHTTP, loaded only when a direct transfer has
// failed. Automatic detection can block for seconds per WPAD look-up, so this
// runs only on the loader and telemetry threads, never on the main thread.
#include <windows.h>
#include <winhttp.h>

#include "acquisition/curl_handle_win.h"
#include "base/files_win.h"

namespace tavrin::launcher {

namespace {

using WinHttpOpenFunction = HINTERNET(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD);
using WinHttpGetProxyForUrlFunction = BOOL(WINAPI*)(HINTERNET, LPCWSTR, WINHTTP_AUTOPROXY_OPTIONS*,
                                                    WINHTTP_PROXY_INFO*);
using WinHttpGetIEProxyConfigFunction = BOOL(WINAPI*)(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*);
using WinHttpCloseHandleFunction = BOOL(WINAPI*)(HINTERNET);

#ifndef WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY
#define WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY 4
#endif

template <typename T>
T As(FARPROC entry)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(entry));
}

std::string TextOf(const wchar_t* text) { return text == nullptr ? std::string() : Utf16ToUtf8(text); }

void FreeGlobal(void* memory)
{
    if (memory != nullptr) {
        GlobalFree(memory);
    }
}

// Owns the strings WinHTTP hands back in a user configuration.
struct UserProxyConfig {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG Config = {};
    ~UserProxyConfig()
    {
        FreeGlobal(Config.lpszAutoConfigUrl);
        FreeGlobal(Config.lpszProxy);
        FreeGlobal(Config.lpszProxyBypass);
    }
};

struct ProxyInfo {
    WINHTTP_PROXY_INFO Info = {};
    ~ProxyInfo()
    {
        FreeGlobal(Info.lpszProxy);
        FreeGlobal(Info.lpszProxyBypass);
    }
};

}  // namespace

bool cCurlHandle::LoadWinHttp()
{
    if (WinHttp != nullptr) {
        return true;
    }
    WinHttp = LoadLibraryExW(L"winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (WinHttp == nullptr) {
        return false;
    }
    WinHttpOpenFn = GetProcAddress(WinHttp, "WinHttpOpen");
    WinHttpGetProxyForUrlFn = GetProcAddress(WinHttp, "WinHttpGetProxyForUrl");
    WinHttpGetIEProxyConfigFn = GetProcAddress(WinHttp, "WinHttpGetIEProxyConfigForCurrentUser");
    // Not named among the three entry points, but the session handle opened
    // for each discovery must be closed again.
    WinHttpCloseHandleFn = GetProcAddress(WinHttp, "WinHttpCloseHandle");
    return true;
}

bool cCurlHandle::DiscoverProxies(const std::string& url, std::vector<ProxyCandidate>& list)
{
    list.clear();
    if (!LoadWinHttp()) {
        return false;
    }
    UserProxyConfig user;
    const auto getUserConfig = As<WinHttpGetIEProxyConfigFunction>(WinHttpGetIEProxyConfigFn);
    if (getUserConfig != nullptr && getUserConfig(&user.Config)) {
        AddUserProxySetting(url, list, &user.Config);
        AddAutomaticProxies(url, list, &user.Config);
    } else {
        AddAutomaticProxies(url, list, nullptr);
    }
    return !list.empty();
}

void cCurlHandle::AddUserProxySetting(const std::string& url, std::vector<ProxyCandidate>& list,
                                      const void* userConfig)
{
    const auto* config = static_cast<const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*>(userConfig);
    AddStaticProxySetting(TextOf(config->lpszProxy), TextOf(config->lpszProxyBypass), url, list);
}

void cCurlHandle::AddAutomaticProxies(const std::string& url, std::vector<ProxyCandidate>& list,
                                      const void* userConfig)
{
    const auto open = As<WinHttpOpenFunction>(WinHttpOpenFn);
    const auto getProxy = As<WinHttpGetProxyForUrlFunction>(WinHttpGetProxyForUrlFn);
    const auto close = As<WinHttpCloseHandleFunction>(WinHttpCloseHandleFn);
    if (open == nullptr || getProxy == nullptr) {
        return;
    }
    HINTERNET session =
        open(nullptr, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr) {
        session = open(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                       WINHTTP_NO_PROXY_BYPASS, 0);
    }
    if (session == nullptr) {
        return;
    }
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    options.fAutoLogonIfChallenged = TRUE;
    const auto* config = static_cast<const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*>(userConfig);
    if (config != nullptr) {
        if (!config->fAutoDetect) {
            options.dwFlags = 0;
            options.dwAutoDetectFlags = 0;
        }
        if (config->lpszAutoConfigUrl != nullptr && config->lpszAutoConfigUrl[0] != L'\0') {
            options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = config->lpszAutoConfigUrl;
        }
    }
    ProxyInfo answer;
    const std::wstring wideUrl = Utf8ToUtf16(url);
    if (getProxy(session, wideUrl.c_str(), &options, &answer.Info) &&
        answer.Info.dwAccessType != WINHTTP_ACCESS_TYPE_NO_PROXY && answer.Info.lpszProxy != nullptr) {
        AddAutomaticProxyList(TextOf(answer.Info.lpszProxy), TextOf(answer.Info.lpszProxyBypass), list);
    }
    if (close != nullptr) {
        close(session);
    }
}

}  // namespace tavrin::launcher
