// The module loader's own thread fetching from the loopback dev CDN, with
// the cache in the user's application folder, across three launches.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include "base/cache_folder_win.h"
#include "loader/module_loader_win.h"
#include "loopback_servers_win.h"

namespace tavrin::launcher {
namespace {

using namespace tavrin::launcher::testing;

// Records the decoded bytes instead of loading them: these tests are about
// how the bytes arrive, not about what they are.
class cRecordingLoader : public cWindowsModuleLoader {
public:
    using cWindowsModuleLoader::cWindowsModuleLoader;
    ~cRecordingLoader() override { Shutdown(); }

    void LoadModule(std::vector<uint8_t> bytes) override
    {
        std::lock_guard<std::mutex> guard(BytesLock);
        Bytes = std::move(bytes);
    }
    std::vector<uint8_t> LoadedModuleBytes()
    {
        std::lock_guard<std::mutex> guard(BytesLock);
        return Bytes;
    }

private:
    std::mutex BytesLock;
    std::vector<uint8_t> Bytes;
};

struct Outcome {
    int32_t Code;
    std::string Message;
};

class LoaderDownloadTest : public ::testing::Test {
protected:
    LoaderDownloadTest() : Folder("tavrin-net-" + ProductName() + "-") {}

    void SetUp() override
    {
        Servers = ServersFolder();
        if (Servers.empty() || !LoopbackCdnConfigured()) {
            GTEST_SKIP() << "needs the loopback test servers";
        }
        Game = Folder.File("Game.exe");
        std::filesystem::copy_file(DemoGame(), std::filesystem::path(Utf8ToUtf16(Game)),
                                   std::filesystem::copy_options::overwrite_existing);
        ASSERT_TRUE(GetCacheDirectory(ProductName(), "d1", CacheDirectory));
        CachedModule = CacheDirectory + "tavrin_linux_x64.kzv";
        DeleteCache(CachedModule);
    }
    void TearDown() override
    {
        if (!CachedModule.empty()) {
            DeleteCache(CachedModule);
        }
    }

    // No message box from the override path.
    static cLoaderOptions NoMessageBoxes()
    {
        cLoaderOptions options;
        options.ImmediateExitOnError = true;
        return options;
    }

    static std::string ProductName()
    {
        std::string id = std::string("l-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return id.substr(0, 40);
    }

    static std::filesystem::path DemoGame()
    {
        std::wstring binary;
        GetEnvironmentValue(L"TAVRIN_BINARY_DIR", binary);
        std::wstring path = L"Z:" + binary + L"/bin/DemoGame.exe";
        for (wchar_t& c : path) {
            if (c == L'/') {
                c = L'\\';
            }
        }
        return std::filesystem::path(path);
    }

    void Serve(const std::vector<uint8_t>& plain)
    {
        const std::string folder = Servers + "\\cdn\\" + ProductName();
        CreateDirectoryW(Utf8ToUtf16(folder).c_str(), nullptr);
        CreateDirectoryW(Utf8ToUtf16(folder + "\\d1").c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(folder + "\\d1\\linux64", Encoded(plain)));
    }

    // One launch: the loader's thread runs to its end, then the test looks
    // at the result before the shutdown stores (or not) the module.
    std::vector<uint8_t> Launch(bool succeeds, bool& cacheFilesWhileRunning)
    {
        cRecordingLoader loader({}, DetectHostFacts(), NoMessageBoxes());
        ProgressCallback progress = [](uint32_t, uint32_t) { return KZV_ProgressContinue; };
        ResultCallback sink = [this](int32_t code, const char* message) {
            std::lock_guard<std::mutex> guard(Lock);
            Outcomes.push_back({code, message ? message : ""});
        };
        const size_t reportsBefore = OutcomeCount();
        EXPECT_TRUE(loader.Initialize(progress, sink, Game, Folder.Utf8(), "linux64", ProductName(), "s1",
                                      "d1", true));
        // Stopping early would cancel the transfer: wait for its end first.
        for (int i = 0; i < 3000 && loader.LoadedModuleBytes().empty() && OutcomeCount() == reportsBefore;
             ++i) {
            Sleep(10);
        }
        loader.Stop();
        cacheFilesWhileRunning = FileExists(CachedModule) || FileExists(CachedModule + ".metadata");
        if (succeeds) {
            loader.SetLaunchSucceeded();
        }
        std::vector<uint8_t> bytes = loader.LoadedModuleBytes();
        loader.Shutdown();
        return bytes;
    }

    size_t OutcomeCount()
    {
        std::lock_guard<std::mutex> guard(Lock);
        return Outcomes.size();
    }

    std::string Servers;
    cScratchFolder Folder;
    std::string Game;
    std::string CacheDirectory;
    std::string CachedModule;
    std::mutex Lock;
    std::vector<Outcome> Outcomes;
};

TEST_F(LoaderDownloadTest, DownloadThenCachedCopyAcrossLaunches)
{
    const std::vector<uint8_t> plain = PatternBytes(30000, 31);
    Serve(plain);
    bool cacheFiles = true;

    // 1: fresh download, launch confirmed, module stored at shutdown.
    EXPECT_EQ(Launch(true, cacheFiles), plain);
    EXPECT_FALSE(cacheFiles);
    EXPECT_TRUE(FileExists(CachedModule));
    EXPECT_TRUE(FileExists(CachedModule + ".metadata"));

    // 2: 304 from the stored ETag; the files are gone while the module runs;
    //    the launch fails, so they stay gone.
    EXPECT_EQ(Launch(false, cacheFiles), plain);
    EXPECT_FALSE(cacheFiles);
    EXPECT_FALSE(FileExists(CachedModule));

    // 3: no cache, fresh download again.
    EXPECT_EQ(Launch(true, cacheFiles), plain);
    EXPECT_TRUE(FileExists(CachedModule));
    EXPECT_TRUE(Outcomes.empty());

    std::stringstream log(ReadText(Servers + "\\cdn\\requests.log"));
    std::string line;
    std::vector<bool> conditional;
    while (std::getline(log, line)) {
        if (line.find("/" + ProductName() + "/") != std::string::npos) {
            conditional.push_back(line.find("If-None-Match") != std::string::npos);
        }
    }
    EXPECT_EQ(conditional, (std::vector<bool>{false, true, false}));
}

TEST_F(LoaderDownloadTest, OverrideFileBesideTheGame)
{
    const std::vector<uint8_t> plain = PatternBytes(8000, 32);
    Serve(plain);
    const std::string url =
        AllowedCdnPrefix(true) + "builds/77/modules/" + ProductName() + "/{{deploymentid}}/{{system}}";
    ASSERT_TRUE(WriteBytes(Game + ".kzv", "cdn=" + url + "\r\n"));
    bool cacheFiles = false;
    EXPECT_EQ(Launch(true, cacheFiles), plain);
    EXPECT_TRUE(Outcomes.empty());
    // A module fetched through an override is never cached.
    EXPECT_FALSE(FileExists(CachedModule));

    ASSERT_TRUE(WriteBytes(Game + ".kzv", "cdn=https://elsewhere.invalid/x\r\n"));
    EXPECT_TRUE(Launch(true, cacheFiles).empty());
    ASSERT_EQ(Outcomes.size(), 1u);
    EXPECT_EQ(Outcomes[0].Code, 504);
    EXPECT_EQ(Outcomes[0].Message, "Connection failed: https://elsewhere.invalid/x");
}

TEST_F(LoaderDownloadTest, ShutdownDuringATransferCancelsWithoutAReport)
{
    Serve(PatternBytes(40000, 33));
    ASSERT_TRUE(WriteBytes(Servers + "\\cdn\\" + ProductName() + "\\d1\\linux64.fault", "slow"));
    {
        cRecordingLoader loader({}, DetectHostFacts(), NoMessageBoxes());
        ProgressCallback progress = [](uint32_t, uint32_t) { return KZV_ProgressContinue; };
        ResultCallback sink = [this](int32_t code, const char* message) {
            std::lock_guard<std::mutex> guard(Lock);
            Outcomes.push_back({code, message ? message : ""});
        };
        ASSERT_TRUE(loader.Initialize(progress, sink, Game, Folder.Utf8(), "linux64", ProductName(), "s1",
                                      "d1", true));
        Sleep(500);  // the body trickles in at about 1000 bytes per second
        loader.Shutdown();
        EXPECT_TRUE(loader.LoadedModuleBytes().empty());
    }
    EXPECT_TRUE(Outcomes.empty());
    EXPECT_FALSE(FileExists(CachedModule));
}

TEST_F(LoaderDownloadTest, NoModuleOnTheCdnReports506)
{
    bool cacheFiles = false;
    EXPECT_TRUE(Launch(true, cacheFiles).empty());
    ASSERT_EQ(Outcomes.size(), 1u);
    EXPECT_EQ(Outcomes[0].Code, 506);
    EXPECT_EQ(Outcomes[0].Message, "HTTP Response Code: 404 Curl Code: 0");
}

}  // namespace
}  // namespace tavrin::launcher
