// The retry through the user's proxy after a failed direct transfer, with
// the proxy configured where WinHTTP reads it under Wine: the binary
// "DefaultConnectionSettings" value of the current user's Internet Settings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "acquisition/curl_handle_win.h"
#include "loopback_servers_win.h"

namespace tavrin::launcher {
namespace {

using namespace tavrin::launcher::testing;

constexpr wchar_t kConnectionsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
constexpr wchar_t kSettingsValue[] = L"DefaultConnectionSettings";
constexpr uint32_t kSettingsMagic = 0x46;
constexpr uint32_t kDirect = 1;
constexpr uint32_t kUseProxy = 2;

void AppendDword(std::vector<uint8_t>& blob, uint32_t value)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
    blob.insert(blob.end(), bytes, bytes + sizeof value);
}

void AppendText(std::vector<uint8_t>& blob, const std::string& text)
{
    AppendDword(blob, static_cast<uint32_t>(text.size()));
    blob.insert(blob.end(), text.begin(), text.end());
}

// magic, change counter, flags, proxy, bypass list, configuration script
// URL, then unused fields.
std::vector<uint8_t> ConnectionSettings(const std::string& proxy, const std::string& bypass)
{
    std::vector<uint8_t> blob;
    AppendDword(blob, kSettingsMagic);
    AppendDword(blob, 0);
    AppendDword(blob, kDirect | kUseProxy);
    AppendText(blob, proxy);
    AppendText(blob, bypass);
    AppendText(blob, "");
    blob.resize(blob.size() + 32, 0);
    return blob;
}

// The name only the test proxy resolves, on the port of this build's dev CDN.
std::string ProxyOnlyUrl(const std::string& path)
{
    const std::string host = CdnHost(true);  // "localhost:<port>"
    return "https://cdn.proxy-only.test" + host.substr(host.find(':')) + path;
}

std::vector<std::string> gLines;
void Collect(const char* line) { gLines.emplace_back(line); }

class ProxyFallbackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Servers = ServersFolder();
        std::wstring port;
        if (Servers.empty() || !LoopbackCdnConfigured() ||
            !GetEnvironmentValue(L"TAVRIN_TEST_PROXY_PORT", port)) {
            GTEST_SKIP() << "needs the loopback test servers";
        }
        ProxyPort = Utf16ToUtf8(port);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kConnectionsKey, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                  nullptr, &Key, nullptr),
                  ERROR_SUCCESS);
        DWORD size = 0;
        if (RegQueryValueExW(Key, kSettingsValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
            Saved.resize(size);
            HadValue =
                RegQueryValueExW(Key, kSettingsValue, nullptr, nullptr, Saved.data(), &size) == ERROR_SUCCESS;
        }
        const std::string folder = Servers + "\\cdn\\proxied";
        CreateDirectoryW(Utf8ToUtf16(folder).c_str(), nullptr);
        CreateDirectoryW(Utf8ToUtf16(folder + "\\d").c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(folder + "\\d\\s", "through the proxy"));
        gLines.clear();
    }

    void TearDown() override
    {
        if (Key == nullptr) {
            return;
        }
        if (HadValue) {
            RegSetValueExW(Key, kSettingsValue, 0, REG_BINARY, Saved.data(),
                           static_cast<DWORD>(Saved.size()));
        } else {
            RegDeleteValueW(Key, kSettingsValue);
        }
        RegCloseKey(Key);
    }

    void UseProxySetting(const std::string& proxy, const std::string& bypass)
    {
        const std::vector<uint8_t> blob = ConnectionSettings(proxy, bypass);
        ASSERT_EQ(
            RegSetValueExW(Key, kSettingsValue, 0, REG_BINARY, blob.data(), static_cast<DWORD>(blob.size())),
            ERROR_SUCCESS);
    }

    bool Logged(const std::string& line) const
    {
        for (const std::string& l : gLines) {
            if (l == line) {
                return true;
            }
        }
        return false;
    }

    std::string Servers;
    std::string ProxyPort;
    HKEY Key = nullptr;
    bool HadValue = false;
    std::vector<uint8_t> Saved;
};

TEST_F(ProxyFallbackTest, NameOnlyTheProxyResolvesIsReachedThroughIt)
{
    UseProxySetting("http=127.0.0.1:1;https=localhost:" + ProxyPort, "a.test;b.test");
    cCurlHandle curl;
    curl.SetLogFunction(&Collect);
    ASSERT_TRUE(curl.Setup());
    ASSERT_TRUE(curl.SetConnectTimeout(30000));
    const std::string url = ProxyOnlyUrl("/modules/proxied/d/s");
    CURLcode code = CURLE_OK;
    ASSERT_TRUE(curl.Perform(url, code, 0)) << (gLines.empty() ? "" : gLines.back());
    EXPECT_EQ(code, CURLE_OK);
    EXPECT_TRUE(curl.ProxyUsed());
    EXPECT_TRUE(curl.WinHttpLoaded());
    EXPECT_EQ(curl.ResponseCode(), 200);
    EXPECT_EQ(std::string(curl.Body().begin(), curl.Body().end()), "through the proxy");
    EXPECT_EQ(curl.ConnectTimeoutMs(), 30000);  // back at the saved value
    EXPECT_TRUE(Logged("Setting NOPROXY URLs: a.test,b.test"));
    EXPECT_TRUE(Logged("Trying proxy: http://localhost:" + ProxyPort));
    EXPECT_NE(ReadText(Servers + "\\proxy.log").find(ProxyOnlyUrl("").substr(8)), std::string::npos);
}

TEST_F(ProxyFallbackTest, StaticSettingsAsDiscovered)
{
    cCurlHandle curl;
    std::vector<ProxyCandidate> list;

    UseProxySetting("http=127.0.0.1:1;https=localhost:2", "");
    // Without "automatically detect settings" WinHTTP adds nothing of its own.
    ASSERT_TRUE(curl.DiscoverProxies("http://example.test/", list));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Url, "http://127.0.0.1:1");

    UseProxySetting("socks=127.0.0.1:1080", "x.test");
    ASSERT_TRUE(curl.DiscoverProxies("https://example.test/", list));
    const std::vector<ProxyCandidate> expected = {{"socks5://127.0.0.1:1080", "x.test"},
                                                  {"socks5h://127.0.0.1:1080", "x.test"},
                                                  {"socks4://127.0.0.1:1080", "x.test"},
                                                  {"socks4a://127.0.0.1:1080", "x.test"}};
    EXPECT_EQ(list, expected);

    UseProxySetting("127.0.0.1:3128", "");
    ASSERT_TRUE(curl.DiscoverProxies("https://example.test/", list));
    EXPECT_EQ(list, (std::vector<ProxyCandidate>{{"127.0.0.1:3128", ""}}));
}

TEST_F(ProxyFallbackTest, EveryCandidateFailingReportsTheLastCode)
{
    UseProxySetting("127.0.0.1:1", "");
    cCurlHandle curl;
    curl.SetLogFunction(&Collect);
    ASSERT_TRUE(curl.Setup());
    ASSERT_TRUE(curl.SetConnectTimeout(2500));
    CURLcode code = CURLE_OK;
    EXPECT_FALSE(curl.Perform(ProxyOnlyUrl("/modules/proxied/d/s"), code, 0));
    EXPECT_NE(code, CURLE_OK);
    EXPECT_TRUE(curl.ProxyUsed());
    EXPECT_TRUE(curl.Body().empty());
    EXPECT_EQ(curl.ConnectTimeoutMs(), 2500);
    EXPECT_TRUE(Logged("Trying proxy: 127.0.0.1:1"));
}

int AbortTransfer(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) { return 1; }

TEST_F(ProxyFallbackTest, CancelAndBodyLimitAreNotRetriedThroughProxies)
{
    // A proxy that would only cost time: a cancelled transfer must end at once.
    UseProxySetting("127.0.0.1:1", "");
    const std::string url = AllowedCdnPrefix(true) + "modules/proxied/d/s";
    CURLcode code = CURLE_OK;

    cCurlHandle cancelled;
    cancelled.SetLogFunction(&Collect);
    ASSERT_TRUE(cancelled.Setup());
    cancelled.SetOption(CURLOPT_NOPROGRESS, 0L);
    cancelled.SetOption(CURLOPT_XFERINFOFUNCTION, &AbortTransfer);
    EXPECT_FALSE(cancelled.Perform(url, code, 0));
    EXPECT_EQ(code, CURLE_ABORTED_BY_CALLBACK);

    cCurlHandle limited;
    limited.SetLogFunction(&Collect);
    ASSERT_TRUE(limited.Setup());
    limited.SetMaxBodyBytes(4);
    EXPECT_FALSE(limited.Perform(url, code, 0));
    EXPECT_EQ(code, CURLE_WRITE_ERROR);

    EXPECT_FALSE(cancelled.ProxyUsed() || limited.ProxyUsed());
    EXPECT_FALSE(cancelled.WinHttpLoaded() || limited.WinHttpLoaded());
    EXPECT_FALSE(Logged("Trying proxy: 127.0.0.1:1"));
}

// Cancels once the transfer goes through a proxy: the direct attempt still
// fails on its own, as it must for the proxies to be tried.
int AbortThroughProxy(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    for (const std::string& line : gLines) {
        if (line.rfind("Trying proxy: ", 0) == 0) {
            return 1;
        }
    }
    return 0;
}

// Lines logged after the first transfer that ended with this code.
std::vector<std::string> LinesAfterResult(CURLcode code)
{
    const std::string marker = "(" + std::to_string(static_cast<int>(code)) + ") Response Code";
    for (size_t i = 0; i < gLines.size(); ++i) {
        if (gLines[i].rfind("Connect result: ", 0) == 0 && gLines[i].find(marker) != std::string::npos) {
            return {gLines.begin() + static_cast<std::ptrdiff_t>(i) + 1, gLines.end()};
        }
    }
    return {"no transfer ended with " + std::to_string(static_cast<int>(code))};
}

TEST_F(ProxyFallbackTest, CancelAndBodyLimitThroughAProxyEndTheAttempt)
{
    // One SOCKS entry yields four proxies. The first resolves the name
    // locally and fails in transport, so the second, which lets the proxy
    // resolve it, is tried; what ends there must not move on to the others.
    UseProxySetting("socks=localhost:" + ProxyPort, "");
    const std::string url = ProxyOnlyUrl("/modules/proxied/d/s");
    CURLcode code = CURLE_OK;

    cCurlHandle limited;
    limited.SetLogFunction(&Collect);
    ASSERT_TRUE(limited.Setup());
    limited.SetMaxBodyBytes(4);
    EXPECT_FALSE(limited.Perform(url, code, 0));
    EXPECT_EQ(code, CURLE_WRITE_ERROR);
    EXPECT_TRUE(limited.ProxyUsed());
    EXPECT_TRUE(Logged("Trying proxy: socks5h://localhost:" + ProxyPort));
    EXPECT_EQ(LinesAfterResult(CURLE_WRITE_ERROR), std::vector<std::string>{});

    gLines.clear();
    cCurlHandle cancelled;
    cancelled.SetLogFunction(&Collect);
    ASSERT_TRUE(cancelled.Setup());
    cancelled.SetOption(CURLOPT_NOPROGRESS, 0L);
    cancelled.SetOption(CURLOPT_XFERINFOFUNCTION, &AbortThroughProxy);
    EXPECT_FALSE(cancelled.Perform(url, code, 0));
    EXPECT_EQ(code, CURLE_ABORTED_BY_CALLBACK);
    EXPECT_TRUE(cancelled.ProxyUsed());
    EXPECT_EQ(LinesAfterResult(CURLE_ABORTED_BY_CALLBACK), std::vector<std::string>{});
}

}  // namespace
}  // namespace tavrin::launcher
