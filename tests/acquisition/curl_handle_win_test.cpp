#include "acquisition/curl_handle_win.h"

#include <gtest/gtest.h>

#include "acquisition/http_client_win.h"
#include "loopback_servers_win.h"

namespace tavrin::launcher {
namespace {

using namespace tavrin::launcher::testing;

std::vector<std::string> gLines;
void Collect(const char* line) { gLines.emplace_back(line); }

class CurlHandleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Servers = ServersFolder();
        if (Servers.empty() || !LoopbackCdnConfigured()) {
            GTEST_SKIP() << "needs the loopback test servers";
        }
        gLines.clear();
        const std::string folder = Servers + "\\cdn\\curl";
        CreateDirectoryW(Utf8ToUtf16(folder).c_str(), nullptr);
        CreateDirectoryW(Utf8ToUtf16(folder + "\\d").c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(folder + "\\d\\s", "module body"));
        Url = AllowedCdnPrefix(true) + "modules/curl/d/s";
    }

    std::string Servers;
    std::string Url;
};

TEST_F(CurlHandleTest, DirectSuccessCollectsHeadersAndBodyWithoutWinHttp)
{
    cCurlHandle curl;
    curl.SetLogFunction(&Collect);
    ASSERT_TRUE(curl.Setup());
    EXPECT_EQ(curl.ConnectTimeoutMs(), 300000);
    CURLcode code = CURLE_FAILED_INIT;
    ASSERT_TRUE(curl.Perform(Url, code, 0));
    EXPECT_EQ(code, CURLE_OK);
    EXPECT_EQ(curl.ResponseCode(), 200);
    EXPECT_EQ(std::string(curl.Body().begin(), curl.Body().end()), "module body");
    std::string etag;
    EXPECT_TRUE(curl.GetResponseHeader("ETag", etag));
    EXPECT_EQ(etag.size(), 42u);
    EXPECT_FALSE(curl.GetResponseHeader("X-Absent", etag));
    EXPECT_FALSE(curl.ProxyUsed());
    EXPECT_FALSE(curl.WinHttpLoaded());
    ASSERT_GE(gLines.size(), 2u);
    EXPECT_EQ(gLines[0], "Connecting to URL: " + Url);
    EXPECT_EQ(gLines[1].rfind("Connect result: No error (0) Response Code: 200 Destination IP: ", 0), 0u)
        << gLines[1];

    // Reset forgets the response and restores the fixed options.
    curl.SetConnectTimeout(1234);
    ASSERT_TRUE(curl.Reset());
    EXPECT_TRUE(curl.Body().empty());
    EXPECT_EQ(curl.ConnectTimeoutMs(), 300000);
    ASSERT_TRUE(curl.Perform(Url, code, 0));
}

TEST_F(CurlHandleTest, HttpStatusIsNotATransferFailure)
{
    cCurlHandle curl;
    ASSERT_TRUE(curl.Setup());
    CURLcode code = CURLE_FAILED_INIT;
    EXPECT_TRUE(curl.Perform(AllowedCdnPrefix(true) + "modules/none/d/s", code, 0));
    EXPECT_EQ(curl.ResponseCode(), 404);
}

TEST_F(CurlHandleTest, OnlyHttpAndHttpsAreAllowed)
{
    cCurlHandle curl;
    ASSERT_TRUE(curl.Setup());
    CURLcode code = CURLE_OK;
    EXPECT_FALSE(curl.Perform("file:///etc/passwd", code, 0));
    EXPECT_EQ(code, CURLE_UNSUPPORTED_PROTOCOL);
    EXPECT_TRUE(curl.Body().empty());
}

TEST_F(CurlHandleTest, BodyBeyondTheLimitEndsTheTransfer)
{
    cCurlHandle curl;
    ASSERT_TRUE(curl.Setup());
    curl.SetMaxBodyBytes(5);  // "module body" has 11
    CURLcode code = CURLE_OK;
    EXPECT_FALSE(curl.Perform(Url, code, 0));
    EXPECT_EQ(code, CURLE_WRITE_ERROR);
    curl.SetMaxBodyBytes(11);
    EXPECT_TRUE(curl.Perform(Url, code, 0));
    EXPECT_EQ(curl.Body().size(), 11u);
}

TEST_F(CurlHandleTest, BodyIsReceivedIntoOneBufferAndHandedOver)
{
    // Large enough that growing the buffer step by step would overshoot it.
    const std::string folder = Servers + "\\cdn\\large";
    CreateDirectoryW(Utf8ToUtf16(folder).c_str(), nullptr);
    CreateDirectoryW(Utf8ToUtf16(folder + "\\d").c_str(), nullptr);
    const std::vector<uint8_t> served = PatternBytes(3'000'001, 7);
    ASSERT_TRUE(WriteBytes(folder + "\\d\\s", std::string(served.begin(), served.end())));
    cCurlHandle curl;
    ASSERT_TRUE(curl.Setup());
    CURLcode code = CURLE_FAILED_INIT;
    ASSERT_TRUE(curl.Perform(AllowedCdnPrefix(true) + "modules/large/d/s", code, 0));
    // The announced length is reserved once: no regrowth that briefly holds two copies.
    EXPECT_EQ(curl.Body().capacity(), served.size());
    const uint8_t* received = curl.Body().data();
    std::vector<uint8_t> taken = curl.TakeBody();
    EXPECT_EQ(taken.data(), received);
    EXPECT_EQ(taken, served);
    EXPECT_TRUE(curl.Body().empty());
}

TEST_F(CurlHandleTest, ClientLowSpeedRuleSurvivesTheResetBeforeEachRequest)
{
    const std::string folder = Servers + "\\cdn\\stall";
    CreateDirectoryW(Utf8ToUtf16(folder).c_str(), nullptr);
    CreateDirectoryW(Utf8ToUtf16(folder + "\\d").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(folder + "\\d\\s", std::string(10000, 'x')));
    ASSERT_TRUE(WriteBytes(folder + "\\d\\s.fault", "stall"));
    cHttpClient client;
    ASSERT_TRUE(client.Init());
    client.SetLowSpeedTimeout(2000);  // 30 bytes per second over 2 seconds
    const auto start = GetTickCount64();
    EXPECT_FALSE(client.Get(AllowedCdnPrefix(true) + "modules/stall/d/s", 0));
    // The server stalls for two minutes; the rule ends the transfer long before.
    EXPECT_LT(GetTickCount64() - start, 60000u);
}

TEST_F(CurlHandleTest, FailedOptionIsLogged)
{
    cCurlHandle curl;
    curl.SetLogFunction(&Collect);
    ASSERT_TRUE(curl.Setup());
    EXPECT_FALSE(curl.SetOption(CURLOPT_SSLVERSION, 999L));
    ASSERT_FALSE(gLines.empty());
    EXPECT_EQ(gLines.back().rfind("curl_easy_setopt failed! Option: 32 ErrCode: ", 0), 0u) << gLines.back();
}

TEST_F(CurlHandleTest, ClientGetAndHeaders)
{
    cHttpClient client;
    EXPECT_FALSE(client.Get(Url, 0));  // not initialized
    const uint8_t* body = nullptr;
    int32_t size = -1;
    EXPECT_EQ(client.GetResponse(body, size), 0u);
    ASSERT_TRUE(client.Init());
    client.SetHeader("X-Test", "1");
    client.SetConnectTimeout(2500);
    client.SetLowSpeedTimeout(2000);
    ASSERT_TRUE(client.Get(Url, 0));
    EXPECT_EQ(client.Handle().ConnectTimeoutMs(), 2500);
    EXPECT_EQ(client.GetResponse(body, size), 200u);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(body), static_cast<size_t>(size)), "module body");
    EXPECT_EQ(client.GetResponseHeader("ETAG").size(), 42u);
    client.Shutdown();
    EXPECT_EQ(client.GetResponseHeader("etag"), "");
}

// Sets an environment variable for one scope; nullptr removes it.
class cScopedEnvironment {
public:
    cScopedEnvironment(const wchar_t* name, const wchar_t* value) : Name(name)
    {
        Had = GetEnvironmentValue(name, Saved);
        SetEnvironmentVariableW(name, value);
    }
    ~cScopedEnvironment() { SetEnvironmentVariableW(Name, Had ? Saved.c_str() : nullptr); }
    cScopedEnvironment(const cScopedEnvironment&) = delete;
    cScopedEnvironment& operator=(const cScopedEnvironment&) = delete;

private:
    const wchar_t* Name;
    std::wstring Saved;
    bool Had = false;
};

TEST_F(CurlHandleTest, WithoutItsCaBundleNoTransferHappens)
{
    {
        cScopedEnvironment noCurlBundle(L"CURL_CA_BUNDLE", nullptr);
        cScopedEnvironment noSslFile(L"SSL_CERT_FILE", nullptr);
        cCurlHandle curl;
        curl.SetLogFunction(&Collect);
        curl.SetHostPathProbe([](const std::string&) { return false; });
        EXPECT_FALSE(curl.Setup());
        EXPECT_EQ(curl.Native(), nullptr);
        CURLcode code = CURLE_OK;
        EXPECT_FALSE(curl.Perform(Url, code, 0));
        ASSERT_FALSE(gLines.empty());
        EXPECT_EQ(gLines[0], "No CA bundle found on the host, tried: " + JoinPaths(HostCaBundleLocations()));
    }
    {
        // Named but missing: verification fails rather than falling back.
        cScopedEnvironment missing(L"CURL_CA_BUNDLE", Utf8ToUtf16(Servers + "\\ca\\missing.pem").c_str());
        cCurlHandle curl;
        curl.SetLogFunction(&Collect);
        curl.SetHostPathProbe([](const std::string&) { return true; });
        ASSERT_TRUE(curl.Setup());
        CURLcode code = CURLE_OK;
        EXPECT_FALSE(curl.Perform(Url, code, 0));
        EXPECT_EQ(code, CURLE_SSL_CACERT_BADFILE) << curl_easy_strerror(code);
        EXPECT_TRUE(curl.Body().empty());
        EXPECT_EQ(curl.ResponseCode(), 0);
    }
    {
        // A Windows host keeps Schannel's own store: no bundle is looked for.
        cScopedEnvironment noCurlBundle(L"CURL_CA_BUNDLE", nullptr);
        cCurlHandle curl(cHostFacts{});
        bool probed = false;
        curl.SetHostPathProbe([&probed](const std::string&) {
            probed = true;
            return false;
        });
        EXPECT_TRUE(curl.Setup());
        EXPECT_FALSE(probed);
    }
    // The same transfer with the bundle the test servers' CA is in.
    cCurlHandle curl;
    ASSERT_TRUE(curl.Setup());
    CURLcode code = CURLE_FAILED_INIT;
    EXPECT_TRUE(curl.Perform(Url, code, 0)) << curl_easy_strerror(code);
}

TEST(WineCaBundlePath, EnvironmentPathsBecomeDosPaths)
{
    std::wstring saved;
    const bool had = GetEnvironmentValue(L"CURL_CA_BUNDLE", saved);
    SetEnvironmentVariableW(L"CURL_CA_BUNDLE", L"/tmp/some-ca.pem");
    EXPECT_EQ(WineCaBundlePath(), "Z:\\tmp\\some-ca.pem");
    SetEnvironmentVariableW(L"CURL_CA_BUNDLE", L"C:\\certs\\ca.pem");
    EXPECT_EQ(WineCaBundlePath(), "C:\\certs\\ca.pem");
    SetEnvironmentVariableW(L"CURL_CA_BUNDLE", nullptr);
    std::wstring sslCertFile;
    if (!GetEnvironmentValue(L"SSL_CERT_FILE", sslCertFile)) {
        EXPECT_EQ(WineCaBundlePath(), "Z:\\etc\\ssl\\certs\\ca-certificates.crt");
    }
    SetEnvironmentVariableW(L"CURL_CA_BUNDLE", had ? saved.c_str() : nullptr);
}

}  // namespace
}  // namespace tavrin::launcher
