// The real launcher executable in a game folder of its own, run as a child
// process under Wine against the loopback dev CDN: the launch lock, the
// environment switches, exit codes and the log file.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "acquisition/download_rules.h"
#include "acquisition/module_decode.h"
#include "base/cache_folder_win.h"
#include "core/launch_result.h"
#include "logging/log_file_win.h"
#include "test_support/game_folder_win.h"
#include "test_support/loopback_servers_win.h"
#include "test_support/process_win.h"
#include "test_support/scratch_folder_win.h"

using namespace tavrin;
using namespace tavrin::launcher;
namespace fs = std::filesystem;

namespace {

using tavrin::test::cGameFolder;
using tavrin::test::LoopbackCdnConfigured;
using tavrin::test::ReadText;
using tavrin::test::ServersFolder;
using tavrin::test::WriteBytes;

std::string EncodedModule(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 131 + 7);
    EncodeModule(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    return bytes;
}

std::string ValidSettings(const std::string& product)
{
    return "{\n  \"productid\": \"" + product +
           "\",\n  \"sandboxid\": \"sandbox-1\",\n  \"deploymentid\": \"deploy-1\",\n"
           "  \"executable\": \"DemoGame.exe\",\n  \"environment\": \"gamedev\"\n}\n";
}

// A launcher left running in the background; ended with the test.
class cRunningLauncher {
public:
    cRunningLauncher(cGameFolder& folder, const wchar_t* immediateExit, const wchar_t* headless)
        : Info(folder.Start(immediateExit, headless))
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    }
    ~cRunningLauncher()
    {
        TerminateProcess(Info.hProcess, 1);
        WaitForSingleObject(Info.hProcess, INFINITE);
        CloseHandle(Info.hProcess);
    }
    bool StillRunning() const
    {
        return tavrin::test::WaitForExitCode(Info.hProcess, 0) == static_cast<DWORD>(STILL_ACTIVE);
    }

private:
    PROCESS_INFORMATION Info;
};

// Serves the dev CDN's answer for a product's linux64 module.
void ServeModule(const std::string& product, const std::string& fault)
{
    std::string dir = ServersFolder() + "\\cdn\\" + product + "\\deploy-1";
    fs::create_directories(Utf8ToUtf16(dir));
    WriteBytes(dir + "\\linux64", EncodedModule(64 * 1024));
    WriteBytes(dir + "\\linux64.fault", fault);
}

std::string LogText(const std::string& product)
{
    std::string directory;
    if (!GetCacheDirectory(product, "deploy-1", directory))
        return {};
    return ReadText(directory + "anticheatlauncher.log");
}

class LauncherProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (ServersFolder().empty() || !LoopbackCdnConfigured())
            GTEST_SKIP() << "needs the loopback dev CDN fixture";
    }
};

}  // namespace

TEST_F(LauncherProcessTest, SecondLauncherExitsWhileTheFirstRuns)
{
    // The first one is still downloading (slowly) and holds the lock.
    ServeModule("proc-lock", "slow");
    cGameFolder first(ValidSettings("proc-lock"));
    cRunningLauncher running(first, L"1", L"1");
    ASSERT_TRUE(running.StillRunning());

    cGameFolder second("{}");
    EXPECT_EQ(second.Run(L"1", L"1"), static_cast<DWORD>(ExitLaunchLockFailed));
    // A refused launcher must not give back a lock it never held.
    EXPECT_EQ(second.Run(L"1", L"1"), static_cast<DWORD>(ExitLaunchLockFailed));
}

TEST_F(LauncherProcessTest, ALauncherWithItsResultLetsTheNextOneStart)
{
    // With a window and without immediate exit, the first stays on its error
    // screen after result 207, which released the lock.
    cGameFolder first("{ \"productid\": \"x\" }");
    cRunningLauncher running(first, nullptr, nullptr);
    ASSERT_TRUE(running.StillRunning());

    cGameFolder second("{ \"productid\": \"x\" }");
    EXPECT_EQ(second.Run(L"1", L"1"), static_cast<DWORD>(kLaunchInvalidGameOrSettings));
}

TEST_F(LauncherProcessTest, InvalidSettingsEndAsResult207WithAndWithoutWindow)
{
    cGameFolder folder("{ \"productid\": \"p1\", \"deploymentid\": \"d1\" }");
    EXPECT_EQ(folder.Run(L"1", L"1"), 207u);
    EXPECT_EQ(folder.Run(L"1", nullptr), 207u);
    // Headless, nobody could press Exit: the error ends the run by itself.
    EXPECT_EQ(folder.Run(nullptr, L"1"), 207u);
}

TEST_F(LauncherProcessTest, OnlyExactlyOneSwitchesHeadlessModeOn)
{
    // The window (and with it the embedded resources) exists only outside
    // headless mode; the dev CDN answers 404, so the run ends with 204.
    struct Case {
        const wchar_t* Value;
        bool Headless;
    };
    const Case cases[] = {{L"1", true}, {L"true", false}, {L" 1", false}, {L"", false}, {nullptr, false}};
    int index = 0;
    for (const Case& c : cases) {
        std::string product = "proc-headless-" + std::to_string(index++);
        SCOPED_TRACE(product);
        ServeModule(product, "status 404");
        cGameFolder folder(ValidSettings(product));
        EXPECT_EQ(folder.Run(L"1", c.Value), 204u);
        std::string log = LogText(product);
        EXPECT_NE(
            log.find("Launcher finished with: 204, 'No anti-cheat module has been found for this game and "
                     "platform.'."),
            std::string::npos);
        EXPECT_EQ(log.find("Embedded resources successfully loaded.") == std::string::npos, c.Headless);
    }
}

TEST_F(LauncherProcessTest, LogFileOpensInTheRoamingFolderAndKeepsABackup)
{
    ServeModule("proc-log", "status 404");
    cGameFolder folder(ValidSettings("proc-log"));
    std::string directory;
    ASSERT_TRUE(GetCacheDirectory("proc-log", "deploy-1", directory));
    for (const auto& entry : fs::directory_iterator(Utf8ToUtf16(directory)))
        fs::remove(entry.path());

    EXPECT_EQ(folder.Run(L"1", L"1"), 204u);
    std::string log = LogText("proc-log");
    for (const char* line : {"] [Windows] [KZV Bootstrapper] [Info] Log file open, ", "Provided settings:",
                             " - ProductId: proc-log.", " - RequestedSplashScreen: N/A.", "User locale: '",
                             "Localization file loaded, using 'en_us'.", "Terminating with: 204."})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_NE(log.find("\r\n"), std::string::npos);

    std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // backups are named by the second
    EXPECT_EQ(folder.Run(L"1", L"1"), 204u);
    int backups = 0;
    for (const auto& entry : fs::directory_iterator(Utf8ToUtf16(directory)))
        backups += entry.path().filename().wstring().rfind(L"anticheatlauncher-backup-", 0) == 0;
    EXPECT_EQ(backups, 1);
}
