#include "acquisition/module_download_win.h"

#include <gtest/gtest.h>

#include <atomic>

#include "acquisition/module_cache.h"
#include "loopback_servers_win.h"

namespace tavrin::launcher {
namespace {

using namespace tavrin::launcher::testing;

struct Reported {
    int32_t Code = 0;
    std::string Message;
};

// Downloads from the loopback dev CDN; each test serves its own product id.
class ModuleDownloadTest : public ::testing::Test {
protected:
    ModuleDownloadTest() : Folder("tavrin-net-" + ProductId() + "-") {}

    void SetUp() override
    {
        Servers = ServersFolder();
        if (Servers.empty() || !LoopbackCdnConfigured()) {
            GTEST_SKIP() << "needs the loopback test servers";
        }
        Context.GameDev = true;
        Context.ProductId = ProductId();
        Context.DeploymentId = "d1";
        Context.SystemName = "win64";
        Context.Cache = &Cache;
        Context.LoadModule = [this](std::vector<uint8_t> bytes) { Loaded.push_back(std::move(bytes)); };
        Context.Report = [this](int32_t code, const std::string& message) {
            Reports.push_back({code, message});
        };
        Context.OnProgress = [this](uint32_t total, uint32_t done) {
            LastProgress = {total, done};
            return 0u;
        };
        Cache.Reset(Folder.File("tavrin_x64.kzv"));
        CreateDirectoryW(Utf8ToUtf16(ModuleFolder()).c_str(), nullptr);
    }

    static std::string ProductId()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string id = std::string("t-") + info->name();
        for (char& c : id) {
            if (c == '_') {
                c = '-';
            }
        }
        return id;
    }

    std::string ModuleFolder() const { return Servers + "\\cdn\\" + ProductId(); }
    std::string ModuleFile() const { return ModuleFolder() + "\\d1\\win64"; }

    void Serve(const std::vector<uint8_t>& plain)
    {
        CreateDirectoryW(Utf8ToUtf16(ModuleFolder()).c_str(), nullptr);
        CreateDirectoryW(Utf8ToUtf16(ModuleFolder() + "\\d1").c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(ModuleFile(), Encoded(plain)));
    }
    void Fault(const std::string& mode) { ASSERT_TRUE(WriteBytes(ModuleFile() + ".fault", mode)); }

    bool Download(bool reportErrors = true)
    {
        bool cancelled = false;
        const bool loaded = DownloadModule(Context, CdnUrlTemplate(true), reportErrors, cancelled);
        Cancelled = cancelled;
        return loaded;
    }

    // The request log lines of this test's product, in order.
    std::vector<std::string> Requests() const
    {
        std::vector<std::string> lines;
        std::stringstream log(ReadText(Servers + "\\cdn\\requests.log"));
        std::string line;
        while (std::getline(log, line)) {
            if (line.find("/" + ProductId() + "/") != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    void ExpectOneReport(int32_t code, const std::string& message)
    {
        ASSERT_EQ(Reports.size(), 1u);
        EXPECT_EQ(Reports[0].Code, code);
        EXPECT_EQ(Reports[0].Message, message);
    }

    std::string Servers;
    cScratchFolder Folder;
    ModuleCacheEntry Cache;
    ModuleDownloadContext Context;
    std::vector<std::vector<uint8_t>> Loaded;
    std::vector<Reported> Reports;
    std::pair<uint32_t, uint32_t> LastProgress{0, 0};
    bool Cancelled = false;
};

TEST_F(ModuleDownloadTest, FreshDownloadThenRevalidationFromTheCache)
{
    const std::vector<uint8_t> plain = PatternBytes(20000, 11);
    Serve(plain);
    ASSERT_TRUE(Download());
    ASSERT_EQ(Loaded.size(), 1u);
    EXPECT_EQ(Loaded[0], plain);
    EXPECT_TRUE(Reports.empty());
    EXPECT_EQ(LastProgress, std::make_pair(1u, 1u));
    const std::string etag = Cache.ReceivedETag;
    EXPECT_EQ(etag.size(), 42u);  // quoted SHA-1, quotes kept
    EXPECT_EQ(etag.front(), '"');
    EXPECT_EQ(Cache.StagedBytes, plain.size());

    // The launch succeeded: the loader's shutdown stores the module.
    StoreCachedModule(Cache, true);

    // Next launch: the probe finds it, the request carries the ETag, 304.
    ModuleCacheEntry next;
    ProbeModuleCache(next, Folder.File("tavrin_x64.kzv"));
    ASSERT_TRUE(next.Valid);
    EXPECT_EQ(next.CachedETag, etag);
    Context.Cache = &next;
    Loaded.clear();
    ASSERT_TRUE(Download());
    ASSERT_EQ(Loaded.size(), 1u);
    EXPECT_EQ(Loaded[0], plain);
    EXPECT_TRUE(Reports.empty());
    // Consumed while the module runs, back only after a successful launch.
    EXPECT_FALSE(FileExists(next.Path));
    EXPECT_FALSE(FileExists(next.Path + ".metadata"));
    StoreCachedModule(next, true);
    EXPECT_TRUE(FileExists(next.Path + ".metadata"));

    const std::vector<std::string> requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].find("If-None-Match"), std::string::npos);
    std::string quoted;  // the ETag as JSON text
    for (char c : etag) {
        quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    }
    EXPECT_NE(requests[1].find("[\"If-None-Match\", \"" + quoted + "\"]"), std::string::npos) << requests[1];
}

TEST_F(ModuleDownloadTest, RequestHeadersInOrder)
{
    Serve(PatternBytes(5000, 12));
    ASSERT_TRUE(Download());
    const std::vector<std::string> requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& r = requests[0];
    const size_t accept = r.find("[\"Accept\", \"application/octet-stream\"]");
    const size_t encoding = r.find("[\"Accept-Encoding\", \"identity\"]");
    const size_t cache = r.find("[\"Cache-Control\", \"max-age=0\"]");
    const size_t agent = r.find("[\"User-Agent\", \"Tavrin-Client/1.0\"]");
    ASSERT_NE(agent, std::string::npos) << r;
    EXPECT_LT(accept, encoding);
    EXPECT_LT(encoding, cache);
    EXPECT_LT(cache, agent);
    EXPECT_NE(r.find("\"path\": \"/modules/" + ProductId() + "/d1/win64\""), std::string::npos);
}

TEST_F(ModuleDownloadTest, MissingETagIsStoredAsNotAvailableAndSentBack)
{
    Serve(PatternBytes(6000, 13));
    Fault("noetag");
    ASSERT_TRUE(Download());
    EXPECT_EQ(Cache.ReceivedETag, "N/A");
    StoreCachedModule(Cache, true);
    EXPECT_NE(ReadText(Cache.Path + ".metadata").find("\r\netag=N/A\r\n"), std::string::npos);

    ModuleCacheEntry next;
    ProbeModuleCache(next, Cache.Path);
    ASSERT_TRUE(next.Valid);
    Context.Cache = &next;
    ASSERT_TRUE(Download());
    const std::vector<std::string> requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find("[\"If-None-Match\", \"N/A\"]"), std::string::npos);
}

TEST_F(ModuleDownloadTest, BodyOf4096BytesMeansServiceOff4097IsAModule)
{
    Serve(PatternBytes(4096, 14));
    EXPECT_FALSE(Download());
    EXPECT_TRUE(Loaded.empty());
    ExpectOneReport(511, "HTTP Response Code: 200 Curl Code: 0");

    Reports.clear();
    Fault("body4096");
    Serve(PatternBytes(9000, 14));
    EXPECT_FALSE(Download());
    ExpectOneReport(511, "HTTP Response Code: 200 Curl Code: 0");

    Reports.clear();
    Fault("");
    const std::vector<uint8_t> plain = PatternBytes(4097, 15);
    Serve(plain);
    ASSERT_TRUE(Download());
    ASSERT_EQ(Loaded.size(), 1u);
    EXPECT_EQ(Loaded[0], plain);
    EXPECT_TRUE(Reports.empty());
}

TEST_F(ModuleDownloadTest, HttpStatusOutcomes)
{
    Serve(PatternBytes(5000, 16));
    const std::pair<const char*, Reported> cases[] = {
        {"status 404", {506, "HTTP Response Code: 404 Curl Code: 0"}},
        {"status 500", {505, "HTTP Response Code: 500 Curl Code: 0"}},
        {"status 503", {505, "HTTP Response Code: 503 Curl Code: 0"}},
        {"status 301", {511, "HTTP Response Code: 301 Curl Code: 0"}},
    };
    for (const auto& [fault, expected] : cases) {
        Reports.clear();
        Fault(fault);
        EXPECT_FALSE(Download()) << fault;
        ExpectOneReport(expected.Code, expected.Message);
    }
    EXPECT_TRUE(Loaded.empty());
    // One request each: the redirect was not followed.
    EXPECT_EQ(Requests().size(), 4u);

    // Without reporting (the override path) nothing is reported.
    Reports.clear();
    EXPECT_FALSE(Download(false));
    EXPECT_TRUE(Reports.empty());
}

TEST_F(ModuleDownloadTest, ServerErrorFallsBackToAValidCache)
{
    const std::vector<uint8_t> plain = PatternBytes(7000, 17);
    Serve(plain);
    ASSERT_TRUE(Download());
    StoreCachedModule(Cache, true);
    ModuleCacheEntry next;
    ProbeModuleCache(next, Cache.Path);
    ASSERT_TRUE(next.Valid);
    Context.Cache = &next;
    Loaded.clear();

    Fault("status 503");
    EXPECT_FALSE(Download());
    EXPECT_TRUE(Reports.empty());
    ASSERT_EQ(Loaded.size(), 1u);
    EXPECT_EQ(Loaded[0], plain);
}

TEST_F(ModuleDownloadTest, NotModifiedWithoutAUsableCacheReports511)
{
    const std::vector<uint8_t> plain = PatternBytes(7000, 18);
    Serve(plain);
    ASSERT_TRUE(Download());
    StoreCachedModule(Cache, true);
    ModuleCacheEntry next;
    ProbeModuleCache(next, Cache.Path);
    ASSERT_TRUE(next.Valid);
    DeleteCache(next.Path);  // gone between the probe and the answer
    Context.Cache = &next;
    EXPECT_FALSE(Download());
    ExpectOneReport(511, "HTTP Response Code: 304 Curl Code: 0");
}

TEST_F(ModuleDownloadTest, TransferFailures)
{
    Serve(PatternBytes(100000, 19));
    Fault("reset");
    EXPECT_FALSE(Download());
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0].Code, 505);
    EXPECT_EQ(
        Reports[0].Message.rfind("Connection to the Content Distribution Network failed! Curl Code: ", 0), 0u)
        << Reports[0].Message;

    // Nothing listens on this port of the allowed host.
    Reports.clear();
    Context.AllowedPrefix = "https://localhost:1/";
    bool cancelled = false;
    EXPECT_FALSE(DownloadModule(Context, "https://localhost:1/modules/{{productid}}", true, cancelled));
    EXPECT_FALSE(cancelled);
    ExpectOneReport(505, "Connection to the Content Distribution Network failed! Curl Code: 7!");
}

TEST_F(ModuleDownloadTest, UntrustedServerIsRefused)
{
    Serve(PatternBytes(5000, 20));
    std::wstring trusted;
    ASSERT_TRUE(GetEnvironmentValue(L"CURL_CA_BUNDLE", trusted));
    std::wstring other = trusted;
    other.replace(other.rfind(L"ca.pem"), 6, L"other-ca.pem");
    SetEnvironmentVariableW(L"CURL_CA_BUNDLE", other.c_str());
    const bool loaded = Download();
    SetEnvironmentVariableW(L"CURL_CA_BUNDLE", trusted.c_str());
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(Loaded.empty());
    ExpectOneReport(505, "Connection to the Content Distribution Network failed! Curl Code: 60!");
}

TEST_F(ModuleDownloadTest, ProgressCallbackCancels)
{
    Serve(PatternBytes(20000, 21));
    Fault("slow");
    Context.OnProgress = [](uint32_t, uint32_t done) { return done > 0 ? 1u : 0u; };
    EXPECT_FALSE(Download());
    EXPECT_TRUE(Cancelled);
    EXPECT_TRUE(Reports.empty());
    EXPECT_TRUE(Loaded.empty());
}

TEST_F(ModuleDownloadTest, OverrideOnTheAllowedHost)
{
    const std::vector<uint8_t> plain = PatternBytes(6000, 22);
    Serve(plain);
    std::vector<std::string> notices;
    Context.ShowInfo = [&](const std::string& text) { notices.push_back(text); };
    const std::string url =
        AllowedCdnPrefix(true) + "builds/77/modules/" + ProductId() + "/{{deploymentid}}/{{system}}";
    RunModuleDownload(Context, url);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], "Downloading undeployed anti-cheat module, build id: 77.");
    ASSERT_EQ(Loaded.size(), 1u);
    EXPECT_EQ(Loaded[0], plain);
    EXPECT_TRUE(Reports.empty());
    // Never cached.
    EXPECT_FALSE(Cache.Staged);
    EXPECT_FALSE(FileExists(Cache.Path + ".partial"));
    EXPECT_TRUE(Cache.ReceivedETag.empty());

    // Under the launcher's immediate-exit switch the notice is skipped, not the download.
    Context.ImmediateExitOnError = true;
    RunModuleDownload(Context, url);
    EXPECT_EQ(notices.size(), 1u);
    ASSERT_EQ(Loaded.size(), 2u);
    EXPECT_EQ(Loaded[1], plain);
}

TEST_F(ModuleDownloadTest, OverrideOnAnotherHostIsRejected)
{
    Serve(PatternBytes(6000, 23));
    Context.ShowInfo = [](const std::string&) {};
    const std::string url = "https://127.0.0.1:18443/modules/" + ProductId() + "/d1/win64";
    RunModuleDownload(Context, url);
    ExpectOneReport(504, "Connection failed: " + url);
    EXPECT_TRUE(Loaded.empty());
    EXPECT_TRUE(Requests().empty());

    Reports.clear();
    const std::string failing = AllowedCdnPrefix(true) + "modules/none/d1/win64";
    RunModuleDownload(Context, failing);
    ExpectOneReport(504, "Connection failed: " + failing);
}

}  // namespace
}  // namespace tavrin::launcher
