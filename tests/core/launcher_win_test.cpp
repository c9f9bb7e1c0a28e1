// The launcher object without a window: its task queue and frames, the state
// machine, progress and results, and the game window watch with real game
// processes under Wine (the watch runs with the Wine shortcut switched off).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "base/strings.h"
#include "core/entry_win.h"
#include "core/globals.h"
#include "core/launcher_win.h"
#include "loader/game_process_win.h"
#include "test_support/process_win.h"

using namespace tavrin;
using namespace tavrin::launcher;

namespace {

constexpr int64_t kMs = 1'000'000;

// A launcher whose log lines the test reads.
class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gHeadlessMode = false;
        gImmediateExitOnError = false;
        Current() = this;
        {
            std::lock_guard<std::mutex> guard(Lock);
            Collected.clear();
        }
        Logger = std::make_unique<cLogger>();  // a drained worker takes no more lines
        Logger->Worker.Start();
        Reported.clear();
        WindowWaitEnd = 0;
        cLauncherOptions options = Options;
        options.SendEvents = [this](const std::vector<Analytics::EventDescriptor>& events) {
            Reported.push_back(events);
        };
        options.WindowWaitEnded = [this](int64_t endNs) { WindowWaitEnd = endNs; };
        Launcher = std::make_unique<AntiCheatLauncher>(*Logger, Arguments, Host, options);
        Logger->InstallSink(&LauncherTest::Sink, VeryVerbose);
    }
    void TearDown() override
    {
        Game.Reset();
        Launcher.reset();
        Logger->Worker.Drain();
        gLogger = nullptr;
        Current() = nullptr;
        gHeadlessMode = false;
        gImmediateExitOnError = false;
    }
    std::vector<std::string> Lines()
    {
        Logger->Worker.Drain();
        std::lock_guard<std::mutex> guard(Lock);
        return Collected;
    }
    bool Logged(const std::string& text)
    {
        for (const std::string& line : Lines())
            if (line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0)
                return true;
        return false;
    }
    bool WatchDemoGame(const std::wstring& arguments);
    // Runs queued tasks, one per frame, until none is left.
    void RunFrames(int frames)
    {
        for (int i = 0; i < frames; ++i)
            Launcher->Update(20 * kMs);
    }

    std::vector<std::string> Arguments;
    cHostFacts Host{};  // not Wine: the window watch really runs
    cLauncherOptions Options;
    std::unique_ptr<cLogger> Logger;
    std::unique_ptr<AntiCheatLauncher> Launcher;
    // Every event list the launcher reported, and the end of its wait for the
    // game's window (0: not seen, nor given up).
    std::vector<std::vector<Analytics::EventDescriptor>> Reported;
    int64_t WindowWaitEnd = 0;
    // The demo game the launcher watches.
    cProcessHandle Game;

private:
    static LauncherTest*& Current()
    {
        static LauncherTest* current = nullptr;
        return current;
    }
    static void Sink(uint32_t, const char* line)
    {
        if (LauncherTest* test = Current()) {
            std::lock_guard<std::mutex> guard(test->Lock);
            test->Collected.emplace_back(line);
        }
    }
    std::mutex Lock;
    std::vector<std::string> Collected;
};

}  // namespace

TEST_F(LauncherTest, RepeatingTasksAlternateOnePerFrame)
{
    std::vector<char> order;
    int a = 0, b = 0;
    Launcher->PostToMainThread([&] {
        order.push_back('a');
        return ++a < 3;
    });
    Launcher->PostToMainThread([&] {
        order.push_back('b');
        return ++b < 3;
    });
    RunFrames(10);
    EXPECT_EQ(std::string(order.begin(), order.end()), "ababab");
    EXPECT_EQ(Launcher->PendingTaskCount(), 0u);
}

TEST_F(LauncherTest, AStallGivesOneFrameAndTheNextFollowsAFramePeriodLater)
{
    int runs = 0;
    Launcher->PostToMainThread([&] {
        ++runs;
        return true;
    });
    Launcher->Update(200 * kMs);  // long stall: exactly one frame
    EXPECT_EQ(runs, 1);
    auto before = std::chrono::steady_clock::now();
    Launcher->Update(1 * kMs);  // 15 ms left: sleeps, no frame
    auto slept = std::chrono::steady_clock::now() - before;
    EXPECT_EQ(runs, 1);
    EXPECT_GE(slept, std::chrono::milliseconds(10));
    Launcher->Update(15 * kMs);
    EXPECT_EQ(runs, 2);
}

// The last fraction of a millisecond of a frame is slept, not spun through.
TEST_F(LauncherTest, ARemainderUnderAMillisecondIsSleptNotYielded)
{
    Launcher->Update(200 * kMs);
    auto before = std::chrono::steady_clock::now();
    Launcher->Update(16 * kMs - 300'000);
    auto slept = std::chrono::steady_clock::now() - before;
    EXPECT_GE(slept, std::chrono::microseconds(300));
}

TEST_F(LauncherTest, StatesOnlyMoveForward)
{
    EXPECT_TRUE(Launcher->SetState(StateDownloading));
    EXPECT_TRUE(Launcher->SetState(StateDownloading));  // the same state again is allowed
    EXPECT_FALSE(Launcher->SetState(StateLoading));
    EXPECT_EQ(Launcher->State(), StateDownloading);
    EXPECT_TRUE(Logged("Tried to backtrack from state 2 to 1!"));
}

TEST_F(LauncherTest, HeadlessStateStaysNone)
{
    gHeadlessMode = true;
    Launcher->SetState(StateDownloading);
    EXPECT_EQ(Launcher->State(), StateNone);
}

TEST_F(LauncherTest, ProgressPostsADisplayTaskOnlyWhenThePercentRises)
{
    Launcher->SetState(StateDownloading);
    EXPECT_EQ(Launcher->OnModuleDownloadProgress(5, 10), KZV_ProgressContinue);
    EXPECT_EQ(Launcher->OnModuleDownloadProgress(5, 10), KZV_ProgressContinue);
    EXPECT_EQ(Launcher->PendingTaskCount(), 1u);
    Launcher->OnModuleDownloadProgress(0, 0);  // 0 %: falls back, no task
    EXPECT_EQ(Launcher->PendingTaskCount(), 1u);
    EXPECT_TRUE(Logged("Current progress: 0 (0/0)."));
    EXPECT_TRUE(Logged("Current progress: 50 (5/10)."));
}

TEST_F(LauncherTest, ProgressAtOneHundredPercentEntersInitializing)
{
    Launcher->SetState(StateDownloading);
    Launcher->OnModuleDownloadProgress(10, 10);
    RunFrames(2);
    EXPECT_EQ(Launcher->State(), StateInitializing);
}

TEST_F(LauncherTest, ProgressAsksToStopOnceExitIsRequested)
{
    Launcher->RequestExit();
    EXPECT_EQ(Launcher->OnModuleDownloadProgress(1, 10), KZV_ProgressStop);
}

TEST_F(LauncherTest, ResultsChangeTheScreenAndTheExitFlag)
{
    struct Case {
        KZV_ProtectedGameLaunchResult Result;
        bool ImmediateExit;
        LauncherState State;
        bool ExitRequested;
        bool CdnLine;
    };
    const Case cases[] = {
        {207, false, StateError, false, false},
        {206, true, StateError, true, false},
        {202, false, StateError, false, true},
        {204, true, StateError, true, true},
        {0, false, StateError, false, false},
        {301, true, StateWaitingForGame, true, false},  // no game launcher: polling ends nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Result);
        TearDown();
        SetUp();
        gImmediateExitOnError = c.ImmediateExit;
        Launcher->SetState(StateDownloading);
        Launcher->OnGameLauncherFinished(c.Result, "the message");
        RunFrames(2);
        EXPECT_EQ(Launcher->State(), c.State);
        EXPECT_EQ(Launcher->LaunchResult(), c.Result);
        EXPECT_EQ(Launcher->LaunchResultMessage(), "the message");
        if (c.Result != 301) {
            EXPECT_EQ(Launcher->ExitRequested(), c.ExitRequested);
        }
        EXPECT_EQ(Logged("Could not reach the Tavrin CDN!"), c.CdnLine);
        EXPECT_TRUE(Logged("Launcher finished with: " + std::to_string(c.Result) + ", 'the message'."));
        EXPECT_TRUE(Logged("Unlocking the launch lock, allowing next game to launch to take place."));
    }
}

TEST_F(LauncherTest, HeadlessErrorEndsTheRunWithItsCode)
{
    // Without a window nobody can press Exit: the error itself ends the run.
    gHeadlessMode = true;
    Launcher->OnGameLauncherFinished(207, "the message");
    RunFrames(2);
    EXPECT_TRUE(Launcher->ExitRequested());
    EXPECT_EQ(ExitCodeForResult(Launcher->LaunchResult()), 207);
}

TEST_F(LauncherTest, TwoResultsWithinOneFrameBothShowTheLater)
{
    Launcher->SetState(StateDownloading);
    Launcher->OnGameLauncherFinished(206, "failed");
    Launcher->OnGameLauncherFinished(301, nullptr);
    RunFrames(3);
    EXPECT_EQ(Launcher->LaunchResult(), 301);
    EXPECT_EQ(Launcher->LaunchResultMessage(), "");
    EXPECT_EQ(Launcher->State(), StateWaitingForGame);
}

TEST_F(LauncherTest, InvalidSettingsOrNoResultReportNoTelemetry)
{
    Launcher->ReportTelemetry();  // no result
    EXPECT_TRUE(Reported.empty());
    Launcher->OnGameLauncherFinished(204, "x");
    Launcher->ReportTelemetry();  // settings never loaded: status -1
    EXPECT_TRUE(Reported.empty());
}

// --- game window watch with real game processes --------------------------------

namespace {

cProcessHandle StartDemoGame(const std::wstring& arguments, DWORD& processId)
{
    std::wstring commandLine = L"\"" + tavrin::test::DemoGamePath().wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return cProcessHandle();
    CloseHandle(info.hThread);
    processId = info.dwProcessId;
    return cProcessHandle(info.hProcess);
}

// Polls once per frame until the watch ends or the limit passes; the time
// taken. The watch has begun.
std::chrono::milliseconds WatchUntilDone(AntiCheatLauncher& launcher, std::chrono::milliseconds limit)
{
    auto start = std::chrono::steady_clock::now();
    while (launcher.PollGameWindow()) {
        if (std::chrono::steady_clock::now() - start > limit)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

}  // namespace

// Hands the launcher a running demo game to watch, as BeginExitPolling would.
bool LauncherTest::WatchDemoGame(const std::wstring& arguments)
{
    DWORD id = 0;
    Game = StartDemoGame(arguments, id);
    if (!Game)
        return false;
    HANDLE watched = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), Game.Get(), GetCurrentProcess(), &watched, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return false;
    Launcher->WatchGame(cProcessHandle(watched), id);
    return true;
}

TEST_F(LauncherTest, WatchEndsWhenTheGameWindowBecomesVisible)
{
    ASSERT_TRUE(WatchDemoGame(L"--show-after-ms 2000 --exit-after-ms 20000"));
    auto waited = WatchUntilDone(*Launcher, std::chrono::seconds(15));
    TerminateProcess(Game.Get(), 0);
    EXPECT_TRUE(Launcher->ExitRequested());
    EXPECT_TRUE(Logged("The game window has become visible, the bootstrapper will leave the visible state."));
    EXPECT_NE(WindowWaitEnd, 0);
    std::printf("measured wait for the game window: %lld ms\n", static_cast<long long>(waited.count()));
    EXPECT_GE(waited.count(), 1900);
}

TEST_F(LauncherTest, HiddenWindowDoesNotEndTheWait)
{
    ASSERT_TRUE(WatchDemoGame(L"--hidden --exit-after-ms 20000"));
    WatchUntilDone(*Launcher, std::chrono::milliseconds(2500));
    EXPECT_FALSE(Launcher->ExitRequested());
    TerminateProcess(Game.Get(), 0);
}

TEST_F(LauncherTest, GameExitingWithoutAWindowEndsTheWait)
{
    ASSERT_TRUE(WatchDemoGame(L"--no-window --exit-after-ms 300 --exit-code 5"));
    WatchUntilDone(*Launcher, std::chrono::seconds(10));
    EXPECT_TRUE(Launcher->ExitRequested());
    EXPECT_EQ(WindowWaitEnd, 0);
    bool fatal = false;
    for (const std::string& line : Lines())
        fatal |= line.find("Fatal error, game process handle: ") != std::string::npos &&
                 line.find(", exit code: 5.") != std::string::npos;
    EXPECT_TRUE(fatal);
}

TEST_F(LauncherTest, DeferTimeEndsTheWait)
{
    Options.ExitDeferTimeNs = 300 * kMs;  // 60 s in production
    TearDown();
    SetUp();
    ASSERT_TRUE(WatchDemoGame(L"--hidden --exit-after-ms 20000"));
    WatchUntilDone(*Launcher, std::chrono::seconds(10));
    TerminateProcess(Game.Get(), 0);
    EXPECT_TRUE(Launcher->ExitRequested());
    EXPECT_NE(WindowWaitEnd, 0);
    EXPECT_TRUE(
        Logged("Exit defer time crossed, the bootstrapper will leave the visible state despite the game "
               "window not being visible."));
}

TEST_F(LauncherTest, MissingGameProcessEndsTheWait)
{
    Launcher->WatchGame(cProcessHandle(), 0);  // the game launcher knows no game process
    WatchUntilDone(*Launcher, std::chrono::seconds(1));
    EXPECT_TRUE(Launcher->ExitRequested());
    EXPECT_TRUE(Logged("Game process handle or ID have become invalidated, leaving the visible state: "
                       "0000000000000000, 0."));
}

TEST(LauncherWine, WineShortcutEndsTheWatchAtOnce)
{
    cLogger logger;
    cHostFacts wine{};
    wine.Wine = true;
    int64_t windowWaitEnd = 0;
    cLauncherOptions options;
    options.WindowWaitEnded = [&](int64_t endNs) { windowWaitEnd = endNs; };
    AntiCheatLauncher launcher(logger, {}, wine, options);
    EXPECT_FALSE(launcher.PollGameWindow());
    EXPECT_TRUE(launcher.ExitRequested());
    EXPECT_EQ(windowWaitEnd, 0);
    gLogger = nullptr;
}

TEST(GameExitCode, WaitedForGameGivesItsOwnExitCode)
{
    DWORD id = 0;
    cProcessHandle game = StartDemoGame(L"--no-window --exit-after-ms 200 --exit-code 3", id);
    ASSERT_TRUE(game);
    EXPECT_EQ(WaitForGameExitCode(game), 3);
    EXPECT_EQ(WaitForGameExitCode(cProcessHandle()), ExitNoGameProcess);
}

TEST(GameExitCode, FailedWaitIsNotAnExitCode)
{
    DWORD id = 0;
    cProcessHandle game = StartDemoGame(L"--no-window --exit-after-ms 20000", id);
    ASSERT_TRUE(game);
    // A handle that may query the process but not wait for it: the wait fails
    // while the game still runs.
    HANDLE queryOnly = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), game.Get(), GetCurrentProcess(), &queryOnly,
                                PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0));
    EXPECT_EQ(WaitForGameExitCode(cProcessHandle(queryOnly)), ExitGameExitCodeUnavailable);
    TerminateProcess(game.Get(), 0);
}
