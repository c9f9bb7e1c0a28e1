#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "base/files_win.h"
#include "loader/game_launcher_win.h"
#include "loader/module_interface.h"
#include "settings/settings.h"
#include "test_support/captured_log.h"
#include "test_support/loader_bodies_win.h"
#include "test_support/process_win.h"
#include "test_support/scratch_folder_win.h"

using namespace tavrin::launcher;
using tavrin::test::cCapturedLog;
using tavrin::test::cScratchFolder;

namespace {

struct Result {
    int32_t Code;
    std::string Message;
    bool operator==(const Result&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Result& result)
{
    return out << result.Code << " '" << result.Message << "'";
}

// Collects the finish callback's results, from whichever thread.
class cResults {
public:
    ResultCallback Callback()
    {
        return [this](int32_t code, const char* message) {
            std::lock_guard<std::mutex> guard(Lock);
            Received.push_back({code, message ? message : "<null>"});
            Arrived.notify_all();
        };
    }
    std::vector<Result> Take()
    {
        std::lock_guard<std::mutex> guard(Lock);
        return std::move(Received);
    }
    bool WaitFor(size_t count)
    {
        std::unique_lock<std::mutex> guard(Lock);
        return Arrived.wait_for(guard, std::chrono::seconds(20), [&] { return Received.size() >= count; });
    }

private:
    std::mutex Lock;
    std::condition_variable Arrived;
    std::vector<Result> Received;
};

ProgressCallback AnyProgress()
{
    return [](uint32_t, uint32_t) { return KZV_ProgressContinue; };
}

class GameLauncherTest : public ::testing::Test {
protected:
    GameLauncherTest()
    {
        Settings.ProductId = "loadertest-p1";
        Settings.SandboxId = "loadertest-s1";
        Settings.DeploymentId = "loadertest-d1";
    }

    // The demo game inside the scratch folder; returns its file name.
    std::string PlaceGame(const wchar_t* name = L"Demo Game.exe")
    {
        std::filesystem::copy_file(tavrin::test::DemoGamePath(), Scratch.Path() / name,
                                   std::filesystem::copy_options::skip_existing);
        return tavrin::Utf16ToUtf8(name);
    }

    cScratchFolder Scratch{L"tavrin-loader-"};
    tavrin::cSettings Settings;
    cResults Results;
};

TEST_F(GameLauncherTest, EarlyReportsComeBeforeStartModuleDownloadReturns)
{
    PlaceGame();
    tavrin::test::WriteBytes(Scratch.Path() / L"notes.txt", "not a program");
    const std::string dir = Scratch.Utf8();
    const std::string invalid = "Invalid game executable path:";
    struct Case {
        const char* Executable;
        const char* Directory;
        Result Expected;
    };
    const Case cases[] = {
        {nullptr, dir.c_str(), {201, "Missing game executable path."}},
        {"", dir.c_str(), {201, "Missing game executable path."}},
        {"Demo Game.exe", nullptr, {201, "Missing working directory path."}},
        {"Demo Game.exe", "", {201, "Missing working directory path."}},
        {"missing.exe", dir.c_str(), {207, invalid + " " + dir + "missing.exe."}},
        {"notes.txt", dir.c_str(), {201, invalid + " " + dir + "notes.txt."}},
    };
    for (const Case& c : cases) {
        cGameLauncher launcher(&Settings, {}, false, cHostFacts{});
        launcher.StartModuleDownload(c.Executable, {}, c.Directory, AnyProgress(), Results.Callback());
        EXPECT_EQ(Results.Take(), std::vector<Result>{c.Expected})
            << (c.Executable ? c.Executable : "<null>");
        EXPECT_FALSE(launcher.Loader().HasThread());
    }
}

TEST_F(GameLauncherTest, EmptyCallbackReportsAndStartsNothing)
{
    const std::string game = PlaceGame();
    const std::string dir = Scratch.Utf8();
    for (int emptyOne = 0; emptyOne < 2; ++emptyOne) {
        bool ran = false;
        cGameLauncher launcher(&Settings, {}, false, cHostFacts{},
                               tavrin::test::LoaderRunning([&ran](cModuleLoader&) { ran = true; }));
        launcher.StartModuleDownload(game.c_str(), {}, dir.c_str(),
                                     emptyOne == 0 ? ProgressCallback() : AnyProgress(),
                                     emptyOne == 1 ? ResultCallback() : Results.Callback());
        EXPECT_FALSE(launcher.Loader().HasThread());
        EXPECT_TRUE(launcher.GamePathValue().empty());
        EXPECT_TRUE(Results.Take().empty());
        EXPECT_FALSE(ran);
    }
}

// The finish callback in place, the loader's thread idle.
class RouterTest : public GameLauncherTest {
protected:
    // launcher: built with an idle loader.
    void Start(cGameLauncher& launcher)
    {
        const std::string game = PlaceGame();
        launcher.StartModuleDownload(game.c_str(), {}, Scratch.Utf8().c_str(), AnyProgress(),
                                     Results.Callback());
        ASSERT_TRUE(Results.Take().empty());
    }
};

TEST_F(RouterTest, EachLoaderCodeBecomesItsLaunchResult)
{
    cGameLauncher launcher(&Settings, {}, false, cHostFacts{}, tavrin::test::IdleLoader());
    Start(launcher);
    struct Case {
        int32_t LoaderCode;
        const char* Message;
        Result Expected;
    };
    const Case cases[] = {
        {501, "bad path", {207, "bad path"}},
        {501, nullptr, {207, "<null>"}},
        {502, "no thread", {208, "no thread"}},
        {503, "install", {209, "install"}},
        {504, "Connection failed: x", {205, "Connection failed: x"}},
        {505, "dns", {202, "dns"}},
        {511, "HTTP Response Code: 304 Curl Code: 0", {204, "HTTP Response Code: 304 Curl Code: 0"}},
        {507, "Internal error!", {206, "Internal error!"}},
        {509, "other", {210, "other"}},
        {1003, "ignored", {301, "Tavrin successfully loaded in-game"}},
        {1002, nullptr, {301, "Tavrin successfully loaded in-game"}},
        // Codes without a mapping reach the caller as "no result", message kept.
        {510, "m510", {0, "m510"}},
        {550, "m550", {0, "m550"}},
        {500, "m500", {0, "m500"}},
        {512, "m512", {0, "m512"}},
        {1001, "m1001", {0, "m1001"}},
        {1004, "m1004", {0, "m1004"}},
        {301, "m301", {0, "m301"}},
        {-1, nullptr, {0, "<null>"}},
    };
    for (const Case& c : cases) {
        launcher.OnLoaderResult(c.LoaderCode, c.Message);
        EXPECT_EQ(Results.Take(), std::vector<Result>{c.Expected}) << "loader code " << c.LoaderCode;
    }
    EXPECT_TRUE(launcher.Loader().LaunchSucceededFlag());
}

TEST_F(RouterTest, NoModuleForSystemNamesTheHostsProblem)
{
    struct Case {
        bool Arm64;
        std::string Message;
    };
    const Case cases[] = {
        {false, "No anti-cheat module has been found for this game and platform."},
        {true, "ARM64 CPU is not currently supported for this game."},
    };
    for (const Case& c : cases) {
        cCapturedLog log;
        cHostFacts host;
        host.Arm64 = c.Arm64;
        cGameLauncher launcher(&Settings, {}, false, host, tavrin::test::IdleLoader());
        Start(launcher);
        launcher.OnLoaderResult(506, "HTTP Response Code: 404 Curl Code: 0");
        EXPECT_EQ(Results.Take(), (std::vector<Result>{{204, c.Message}}));
        EXPECT_TRUE(log.HasLineEndingWith("[Err!] Could not find a compatible Tavrin module on CDN."));
    }
}

TEST_F(RouterTest, OnlyConfirmedLaunchMarksSuccessForTheCache)
{
    cGameLauncher launcher(&Settings, {}, false, cHostFacts{}, tavrin::test::IdleLoader());
    Start(launcher);
    launcher.OnLoaderResult(1003, nullptr);
    EXPECT_FALSE(launcher.Loader().LaunchSucceededFlag());
    launcher.OnLoaderResult(1002, nullptr);
    EXPECT_TRUE(launcher.Loader().LaunchSucceededFlag());
}

TEST_F(GameLauncherTest, ModuleAsksForTheGameAndConfirmsFromItsThread)
{
    cCapturedLog log;
    const std::string game = PlaceGame();
    auto module = [](cModuleLoader& loader) {
        KZV_CallbackRecord record{loader.CallbackContext(), kLoaderCreateGameProcess, nullptr, 0};
        cModuleLoader::ModuleCallback(&record);
        record.Code = kLoaderLaunchConfirmed;
        record.Message = "protected";
        cModuleLoader::ModuleCallback(&record);
    };
    std::unique_ptr<cGameLauncher> launcher = std::make_unique<cGameLauncher>(
        &Settings, std::vector<std::string>{}, false, cHostFacts{}, tavrin::test::LoaderRunning(module));
    launcher->StartModuleDownload(game.c_str(), {"--no-window", "--exit-code", "3", "--exit-after-ms", "300"},
                                  Scratch.Utf8().c_str(), AnyProgress(), Results.Callback());
    ASSERT_TRUE(Results.WaitFor(1));

    EXPECT_EQ(Results.Take(), (std::vector<Result>{{301, "Tavrin successfully loaded in-game"}}));
    EXPECT_NE(launcher->GetGameProcessId(), 0u);
    EXPECT_EQ(launcher->GetGameProcessId(), launcher->Loader().GetGameProcessId());
    cProcessHandle first = launcher->DuplicateGameProcessHandle();
    cProcessHandle second = launcher->DuplicateGameProcessHandle();
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_EQ(GetProcessId(first.Get()), launcher->GetGameProcessId());
    EXPECT_TRUE(log.HasLineEndingWith("[Verb] [KZV Callback] Code: 1002. Message: 'protected'."));

    // The caller's duplicates outlive the launcher.
    launcher.reset();
    EXPECT_EQ(tavrin::test::WaitForExitCode(first.Get(), 20000), 3u);
    EXPECT_EQ(tavrin::test::WaitForExitCode(second.Get(), 20000), 3u);
}

TEST_F(GameLauncherTest, GameThatCannotBeCreatedEndsAs208WithTheSystemsMessage)
{
    const std::string game = PlaceGame();
    cGameLauncher launcher(&Settings, {}, false, cHostFacts{}, tavrin::test::IdleLoader());
    launcher.StartModuleDownload(game.c_str(), {"-a"}, Scratch.Utf8().c_str(), AnyProgress(),
                                 Results.Callback());
    ASSERT_TRUE(Results.Take().empty());
    // Gone by the time the module asks for it.
    std::filesystem::remove(Scratch.Path() / tavrin::Utf8ToUtf16(game));

    launcher.OnLoaderResult(kLoaderCreateGameProcess, nullptr);
    EXPECT_EQ(Results.Take(),
              (std::vector<Result>{{208, "Failed to create the game process: " +
                                             DescribeCreateProcessError(ERROR_FILE_NOT_FOUND)}}));
    EXPECT_EQ(launcher.GetGameProcessId(), 0u);
    EXPECT_FALSE(launcher.DuplicateGameProcessHandle());
}

// The module may ask for the game while the splash window is still being
// made: the game waits until it is allowed, and a launcher that ends first
// never creates it (nor hangs on the module's waiting thread).
TEST_F(GameLauncherTest, HeldGameStartWaitsForAllowanceAndIsRefusedAtTheEnd)
{
    const std::string game = PlaceGame();
    for (bool allowed : {true, false}) {
        cCapturedLog log;
        std::atomic<bool> asked{false};
        std::atomic<uint32_t> created{0};
        auto module = [&](cModuleLoader& loader) {
            asked.store(true);
            KZV_CallbackRecord record{loader.CallbackContext(), kLoaderCreateGameProcess, nullptr, 0};
            cModuleLoader::ModuleCallback(&record);
            created.store(loader.GetGameProcessId());
            if (created.load() != 0) {
                record.Code = kLoaderLaunchConfirmed;
                cModuleLoader::ModuleCallback(&record);
            }
        };
        auto launcher = std::make_unique<cGameLauncher>(&Settings, std::vector<std::string>{}, false,
                                                        cHostFacts{}, tavrin::test::LoaderRunning(module));
        launcher->HoldGameStart();
        launcher->StartModuleDownload(game.c_str(), {"--no-window", "--exit-after-ms", "300"},
                                      Scratch.Utf8().c_str(), AnyProgress(), Results.Callback());
        for (int waited = 0; waited < 20000 && !asked.load(); waited += 5) {
            Sleep(5);
        }
        ASSERT_TRUE(asked.load());
        Sleep(100);
        EXPECT_EQ(launcher->GetGameProcessId(), 0u) << "allowed " << allowed;
        EXPECT_TRUE(Results.Take().empty());
        if (allowed) {
            launcher->AllowGameStart();
            ASSERT_TRUE(Results.WaitFor(1));
            EXPECT_EQ(Results.Take(), (std::vector<Result>{{301, "Tavrin successfully loaded in-game"}}));
            EXPECT_NE(launcher->GetGameProcessId(), 0u);
            cProcessHandle game = launcher->DuplicateGameProcessHandle();
            launcher.reset();
            EXPECT_EQ(tavrin::test::WaitForExitCode(game.Get(), 20000), 0u);
        } else {
            launcher.reset();
            EXPECT_EQ(created.load(), 0u);
            EXPECT_TRUE(Results.Take().empty());
            EXPECT_TRUE(log.HasLineEndingWith("[Warn] The game is not started: the launcher is closing."));
        }
    }
}

TEST_F(GameLauncherTest, DestructionStopsTheLoaderThread)
{
    const std::string game = PlaceGame();
    std::atomic<bool> stopped{false};
    {
        cGameLauncher launcher(&Settings, {}, false, cHostFacts{},
                               tavrin::test::LoaderRunning([&stopped](cModuleLoader& loader) {
                                   while (!loader.StopRequested()) {
                                       Sleep(5);
                                   }
                                   stopped.store(true);
                               }));
        launcher.StartModuleDownload(game.c_str(), {}, Scratch.Utf8().c_str(), AnyProgress(),
                                     Results.Callback());
        ASSERT_TRUE(launcher.Loader().HasThread());
    }
    EXPECT_TRUE(stopped.load());
    EXPECT_TRUE(Results.Take().empty());
}

}  // namespace
