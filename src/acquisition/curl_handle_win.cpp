#include "acquisition/curl_handle_win.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "base/files_win.h"

namespace tavrin::launcher {

namespace {

constexpr size_t kReservedBodyBytes = 1024;

bool GlobalInitOnce()
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        ready = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
        if (ready) {
            std::atexit(curl_global_cleanup);
        }
    });
    return ready;
}

// The program relies on the behaviour of the release it was built against.
bool LibraryVersionMatches()
{
    static std::once_flag once;
    static bool matches = false;
    std::call_once(once, [] {
        const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
        matches = info != nullptr && info->version_num == LIBCURL_VERSION_NUM;
    });
    return matches;
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* userData)
{
    return ParseResponseHeaderLine(data, size * count, static_cast<HeaderMap*>(userData));
}

// A module is up to hundreds of megabytes: growing the buffer step by step
// would hold the old and the new buffer at once. The announced length is
// reserved in one go, never beyond the limit (a larger body fails anyway).
void ReserveAnnouncedLength(cCurlHandle::BodyBuffer& body)
{
    curl_off_t announced = -1;
    if (body.Easy == nullptr ||
        curl_easy_getinfo(body.Easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) != CURLE_OK ||
        announced <= 0 || static_cast<uint64_t>(announced) > body.Limit) {
        return;
    }
    body.Bytes.reserve(static_cast<size_t>(announced));
}

// The transfer ended through a decision of its own (a cancel from the
// progress callback, the body limit), not through the network: a proxy
// would end the same way, only later.
bool IsTransportFailure(CURLcode code)
{
    return code != CURLE_OK && code != CURLE_ABORTED_BY_CALLBACK && code != CURLE_WRITE_ERROR &&
           code != CURLE_OUT_OF_MEMORY;
}

size_t OnBodyBytes(char* data, size_t size, size_t count, void* userData)
{
    auto* body = static_cast<cCurlHandle::BodyBuffer*>(userData);
    if (body == nullptr) {
        return 0;
    }
    const size_t bytes = size * count;
    if (bytes > body->Limit - std::min(body->Limit, body->Bytes.size())) {
        return 0;
    }
    if (body->Bytes.empty()) {
        ReserveAnnouncedLength(*body);
    }
    body->Bytes.insert(body->Bytes.end(), reinterpret_cast<uint8_t*>(data),
                       reinterpret_cast<uint8_t*>(data) + bytes);
    return bytes;
}

std::string DosPathOfUnixPath(const std::string& unixPath)
{
    using DosNameFn = WCHAR*(CDECL*)(const char*);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto toDos = kernel == nullptr ? nullptr
                                         : reinterpret_cast<DosNameFn>(reinterpret_cast<void*>(
                                               GetProcAddress(kernel, "wine_get_dos_file_name")));
    if (toDos == nullptr) {
        return unixPath;
    }
    WCHAR* dosPath = toDos(unixPath.c_str());
    if (dosPath == nullptr) {
        return unixPath;
    }
    std::string path = Utf16ToUtf8(dosPath);
    HeapFree(GetProcessHeap(), 0, dosPath);
    return path;
}

}  // namespace

std::string WineCaBundlePath(std::vector<std::string>& tried, const PathProbe& onHost)
{
    std::wstring curlCaBundle;
    std::wstring sslCertFile;
    GetEnvironmentValue(L"CURL_CA_BUNDLE", curlCaBundle);
    GetEnvironmentValue(L"SSL_CERT_FILE", sslCertFile);
    const PathProbe fileSystem = [](const std::string& hostPath) {
        return PathExists(DosPathOfUnixPath(hostPath).c_str());
    };
    std::string path = ChooseCaBundle(curlCaBundle.empty() ? std::string() : Utf16ToUtf8(curlCaBundle),
                                      sslCertFile.empty() ? std::string() : Utf16ToUtf8(sslCertFile),
                                      onHost ? onHost : fileSystem, tried);
    return path.rfind('/', 0) == 0 ? DosPathOfUnixPath(path) : path;
}

std::string WineCaBundlePath()
{
    std::vector<std::string> tried;
    return WineCaBundlePath(tried);
}

cCurlHandle::cCurlHandle(const cHostFacts& host) : Host(host)
{
    ResponseBody.Bytes.reserve(kReservedBodyBytes);
}

cCurlHandle::~cCurlHandle()
{
    if (RequestHeaders != nullptr) {
        curl_slist_free_all(RequestHeaders);
    }
    if (Easy != nullptr) {
        curl_easy_cleanup(Easy);
    }
    if (WinHttp != nullptr) {
        FreeLibrary(WinHttp);
    }
}

void cCurlHandle::Logf(const char* format, ...)
{
    if (Log == nullptr) {
        return;
    }
    char line[kDiagnosticLineSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    Log(line);
}

bool cCurlHandle::CheckOption(CURLoption option, CURLcode code)
{
    if (code == CURLE_OK) {
        return true;
    }
    Logf("curl_easy_setopt failed! Option: %i ErrCode: %i ErrStr: %s.", static_cast<int>(option),
         static_cast<int>(code), curl_easy_strerror(code));
    return false;
}

bool cCurlHandle::Setup()
{
    if (!GlobalInitOnce() || !LibraryVersionMatches()) {
        return false;
    }
    if (Easy == nullptr) {
        Easy = curl_easy_init();
        if (Easy == nullptr) {
            return false;
        }
    }
    ResponseBody.Easy = Easy;
    ConnectTimeout = kDefaultConnectTimeoutMs;
    if (!ApplyFixedOptions()) {
        curl_easy_cleanup(Easy);
        Easy = nullptr;
        ResponseBody.Easy = nullptr;
        return false;
    }
    return true;
}

bool cCurlHandle::ApplyFixedOptions()
{
    return SetOption(CURLOPT_NOSIGNAL, 1L) && SetOption(CURLOPT_PROTOCOLS_STR, "http,https") &&
           SetOption(CURLOPT_HEADERDATA, static_cast<void*>(&ResponseHeaders)) &&
           SetOption(CURLOPT_HEADERFUNCTION, &OnHeaderLine) &&
           SetOption(CURLOPT_WRITEDATA, static_cast<void*>(&ResponseBody)) &&
           SetOption(CURLOPT_WRITEFUNCTION, &OnBodyBytes) && SetOption(CURLOPT_ERRORBUFFER, ErrorBuffer) &&
           SetOption(CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NO_REVOKE)) && ApplyTrustStore();
}

// Under Wine, Schannel accepts any server certificate on its own; since the
// module it fetches runs unverified there, the peer is checked against the
// host's CA bundle instead. When that bundle is missing the transfer fails
// rather than going on unverified. Windows keeps Schannel's system store.
bool cCurlHandle::ApplyTrustStore()
{
    if (!Host.Wine) {
        return true;
    }
    std::vector<std::string> tried;
    const std::string bundle = WineCaBundlePath(tried, HostPathExists);
    if (bundle.empty()) {
        Logf("No CA bundle found on the host, tried: %s", JoinPaths(tried).c_str());
        return false;
    }
    return SetOption(CURLOPT_CAINFO, bundle.c_str()) && SetOption(CURLOPT_SSL_VERIFYPEER, 1L) &&
           SetOption(CURLOPT_SSL_VERIFYHOST, 2L);
}

bool cCurlHandle::Reset()
{
    if (RequestHeaders != nullptr) {
        curl_slist_free_all(RequestHeaders);
        RequestHeaders = nullptr;
    }
    if (Easy != nullptr) {
        curl_easy_reset(Easy);
    }
    ClearResponse();
    return Setup();
}

void cCurlHandle::AddRequestHeaderLine(const std::string& line)
{
    curl_slist* appended = curl_slist_append(RequestHeaders, line.c_str());
    if (appended == nullptr) {
        return;
    }
    RequestHeaders = appended;
    SetOption(CURLOPT_HTTPHEADER, RequestHeaders);
}

bool cCurlHandle::SetConnectTimeout(int32_t milliseconds)
{
    if (!SetOption(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(milliseconds))) {
        return false;
    }
    ConnectTimeout = milliseconds;
    return true;
}

void cCurlHandle::ClearResponse()
{
    ResponseHeaders.clear();
    ResponseBody.Bytes.clear();
}

std::vector<uint8_t> cCurlHandle::TakeBody()
{
    std::vector<uint8_t> body = std::move(ResponseBody.Bytes);
    ResponseBody.Bytes.clear();
    return body;
}

long cCurlHandle::ResponseCode() const
{
    long status = 0;
    if (Easy == nullptr || curl_easy_getinfo(Easy, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) {
        return 0;
    }
    return status;
}

bool cCurlHandle::GetResponseHeader(const std::string& name, std::string& value) const
{
    const auto found = ResponseHeaders.find(AsciiLower(name));
    value = found == ResponseHeaders.end() ? std::string() : found->second;
    return !value.empty();
}

CURLcode cCurlHandle::Transfer()
{
    ErrorBuffer[0] = '\0';
    const CURLcode code = curl_easy_perform(Easy);
    LogConnectResult(code);
    return code;
}

void cCurlHandle::LogConnectResult(CURLcode code)
{
    char* address = nullptr;
    if (curl_easy_getinfo(Easy, CURLINFO_PRIMARY_IP, &address) != CURLE_OK || address == nullptr ||
        address[0] == '\0') {
        address = const_cast<char*>("Unavailable");
    }
    const long status = code == CURLE_OK ? ResponseCode() : 0;
    Logf("Connect result: %s (%i) Response Code: %i Destination IP: %s", curl_easy_strerror(code),
         static_cast<int>(code), static_cast<int>(status), address);
}

bool cCurlHandle::Perform(const std::string& url, CURLcode& code, int32_t totalTimeoutMs)
{
    code = CURLE_FAILED_INIT;
    ClearResponse();
    UsedProxy = false;
    if (Easy == nullptr) {
        return false;
    }
    SetOption(CURLOPT_TIMEOUT_MS, static_cast<long>(totalTimeoutMs));
    Logf("Connecting to URL: %s", url.c_str());
    SetOption(CURLOPT_URL, url.c_str());
    code = Transfer();
    if (code == CURLE_OK) {
        return true;
    }
    if (!IsTransportFailure(code)) {
        return false;
    }

    ClearResponse();
    std::vector<ProxyCandidate> proxies;
    if (!DiscoverProxies(url, proxies)) {
        return false;
    }
    UsedProxy = true;
    const int32_t saved = ConnectTimeout;
    const int32_t first = FirstProxyConnectTimeout(saved);
    SetConnectTimeout(first);
    for (const ProxyCandidate& proxy : proxies) {
        ClearResponse();
        if (!proxy.NoProxy.empty()) {
            Logf("Setting NOPROXY URLs: %s", proxy.NoProxy.c_str());
            SetOption(CURLOPT_NOPROXY, proxy.NoProxy.c_str());
        }
        Logf("Trying proxy: %s", proxy.Url.c_str());
        SetOption(CURLOPT_PROXY, proxy.Url.c_str());
        code = Transfer();
        if (!IsTransportFailure(code)) {
            break;
        }
        SetConnectTimeout(first / 2);
    }
    SetConnectTimeout(saved);
    return code == CURLE_OK;
}

}  // namespace tavrin::launcher
