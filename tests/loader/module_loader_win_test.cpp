#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/files_win.h"
#include "loader/module_interface.h"
#include "loader/module_loader_win.h"
#include "test_support/captured_log.h"
#include "test_support/loader_bodies_win.h"
#include "test_support/loader_reports.h"
#include "test_support/process_win.h"
#include "test_support/scratch_folder_win.h"

using namespace tavrin::launcher;
using tavrin::test::cCapturedLog;
using tavrin::test::cScratchFolder;

namespace {

using tavrin::test::Report;

class ModuleLoaderTest : public ::testing::Test {
protected:
    bool Initialize(const std::string& gamePath, const std::string& workingDirectory, bool gameDev = false)
    {
        return Loader.Initialize([](uint32_t, uint32_t) { return KZV_ProgressContinue; }, Sink(), gamePath,
                                 workingDirectory, "win64", "", "", "", gameDev);
    }

    ResultCallback Sink()
    {
        return [this](int32_t code, const char* message) {
            std::lock_guard<std::mutex> guard(Lock);
            Reports.push_back({code, message ? message : "<null>"});
        };
    }

    std::vector<Report> TakeReports()
    {
        std::lock_guard<std::mutex> guard(Lock);
        return std::move(Reports);
    }

    std::string Game()
    {
        const std::string game = Scratch.Utf8() + "game.exe";
        std::filesystem::copy_file(tavrin::test::DemoGamePath(), tavrin::Utf8ToUtf16(game),
                                   std::filesystem::copy_options::skip_existing);
        return game;
    }

    cScratchFolder Scratch{L"tavrin-loader-"};
    // What the loader's thread runs; declared before the loader, which joins it.
    LoaderBody Body = [](cModuleLoader&) {};
    cWindowsModuleLoader Loader{
        {"-x"}, cHostFacts{}, tavrin::test::LoaderRunning([this](cModuleLoader& loader) { Body(loader); })};
    std::mutex Lock;
    std::vector<Report> Reports;
};

TEST_F(ModuleLoaderTest, PathValidationReports501ForTheFirstFailingRule)
{
    const std::string game = Game();
    const std::string folder = Scratch.Utf8() + "folder";
    std::filesystem::create_directories(tavrin::Utf8ToUtf16(folder));
    const std::string missingGame = Scratch.Utf8() + "missing.exe";
    const std::string missingDirectory = Scratch.Utf8() + "nowhere\\";
    struct Case {
        std::string GamePath;
        std::string WorkingDirectory;
        std::string Message;
    };
    const Case cases[] = {
        {"", Scratch.Utf8(), "The path to the game binary was not provided."},
        {"", missingDirectory, "The path to the game binary was not provided."},
        {game, missingDirectory, "Working directory does not exist."},
        {game, game, "Working directory does not exist."},
        {missingGame, Scratch.Utf8(), "Could not locate the game binary: '" + missingGame + "'"},
        {missingGame, "", "Could not locate the game binary: '" + missingGame + "'"},
        {folder, Scratch.Utf8(), "The target executable is a directory!"},
    };
    for (const Case& c : cases) {
        bool ran = false;
        cWindowsModuleLoader loader({}, cHostFacts{},
                                    tavrin::test::LoaderRunning([&ran](cModuleLoader&) { ran = true; }));
        EXPECT_FALSE(loader.Initialize([](uint32_t, uint32_t) { return KZV_ProgressContinue; }, Sink(),
                                       c.GamePath, c.WorkingDirectory, "win64", "", "", "", false));
        EXPECT_FALSE(loader.HasThread());
        EXPECT_EQ(TakeReports(), (std::vector<Report>{{kLoaderBadGamePath, c.Message}}))
            << "game '" << c.GamePath << "', directory '" << c.WorkingDirectory << "'";
        loader.Shutdown();
        EXPECT_FALSE(ran);
    }
}

TEST_F(ModuleLoaderTest, InitializeLogsAndRunsTheBodyOnItsOwnThread)
{
    cCapturedLog log;
    std::atomic<DWORD> bodyThread{0};
    Body = [&bodyThread](cModuleLoader&) { bodyThread.store(GetCurrentThreadId()); };
    ASSERT_TRUE(Initialize(Game(), Scratch.Utf8(), true));
    Loader.Shutdown();

    EXPECT_NE(bodyThread.load(), 0u);
    EXPECT_NE(bodyThread.load(), GetCurrentThreadId());
    EXPECT_TRUE(TakeReports().empty());
    EXPECT_TRUE(log.HasLineEndingWith(
        "[Info] Loader initializing with bootstrapper version 1.9.4, architecture: x86-64."));
    EXPECT_TRUE(log.HasLineEndingWith("[Info] Using GameDev environment."));
    EXPECT_TRUE(log.HasLineEndingWith("[Info] Loader component initialized."));
}

TEST_F(ModuleLoaderTest, ProductionEnvironmentSaysNothingAboutGameDev)
{
    cCapturedLog log;
    ASSERT_TRUE(Initialize(Game(), Scratch.Utf8(), false));
    Loader.Shutdown();
    EXPECT_FALSE(log.HasLineEndingWith("Using GameDev environment."));
}

TEST_F(ModuleLoaderTest, ReportResultLogsTheMessageAsPlainTextAndForwards)
{
    ASSERT_TRUE(Initialize(Game(), Scratch.Utf8()));
    cCapturedLog log;
    Loader.ReportResult(-1, "x");
    Loader.ReportResult(550, "100% %s %n {0}");
    Loader.ReportResult(1003, nullptr);

    EXPECT_EQ(TakeReports(), (std::vector<Report>{{-1, "x"}, {550, "100% %s %n {0}"}, {1003, "<null>"}}));
    std::vector<std::string> callbackLines;
    for (const std::string& line : log.Lines()) {
        if (line.find("[KZV Callback]") != std::string::npos) {
            callbackLines.push_back(line.substr(line.find("[Verb] ")));
        }
    }
    const std::vector<std::string> expected = {
        "[Verb] [KZV Callback] Code: 4294967295. Message: 'x'.",
        "[Verb] [KZV Callback] Code: 550. Message: '100% %s %n {0}'.",
    };
    EXPECT_EQ(callbackLines, expected);
}

TEST_F(ModuleLoaderTest, ReportResultWithoutSinkDoesNothing)
{
    cCapturedLog log;
    Loader.ReportResult(501, "lost");
    EXPECT_FALSE(log.HasLineEndingWith("Message: 'lost'."));
}

TEST_F(ModuleLoaderTest, ModuleCallbackReportsThroughTheRecordsContext)
{
    ASSERT_TRUE(Initialize(Game(), Scratch.Utf8()));

    KZV_CallbackRecord record{Loader.CallbackContext(), kLoaderLaunchSucceeded, "done", 0};
    cModuleLoader::ModuleCallback(&record);
    // From a thread of the module's own.
    std::thread moduleThread([this] {
        KZV_CallbackRecord fromModule{Loader.CallbackContext(), kLoaderOtherFailure, nullptr, 0};
        cModuleLoader::ModuleCallback(&fromModule);
    });
    moduleThread.join();
    // Records the module got wrong are ignored.
    cModuleLoader::ModuleCallback(nullptr);
    KZV_CallbackRecord noContext{nullptr, kLoaderOtherFailure, "x", 0};
    cModuleLoader::ModuleCallback(&noContext);

    EXPECT_EQ(TakeReports(),
              (std::vector<Report>{{kLoaderLaunchSucceeded, "done"}, {kLoaderOtherFailure, "<null>"}}));
}

// A report kept by an earlier module must not reach a later loader, even one
// built at the same address: every opening has a context of its own.
TEST_F(ModuleLoaderTest, AReportFromAnEarlierOpeningNeverReachesALaterLoader)
{
    const std::string game = Game();
    std::optional<cWindowsModuleLoader> slot;
    auto open = [&] {
        slot.emplace(std::vector<std::string>{}, cHostFacts{}, tavrin::test::IdleLoader());
        return slot->Initialize([](uint32_t, uint32_t) { return KZV_ProgressContinue; }, Sink(), game,
                                Scratch.Utf8(), "win64", "", "", "", false);
    };
    ASSERT_TRUE(open());
    void* earlier = slot->CallbackContext();
    const void* address = &*slot;
    slot.reset();
    ASSERT_TRUE(open());
    ASSERT_EQ(&*slot, address);
    EXPECT_NE(slot->CallbackContext(), earlier);

    cCapturedLog log;
    KZV_CallbackRecord stale{earlier, kLoaderLaunchSucceeded, "stale", 0};
    cModuleLoader::ModuleCallback(&stale);
    KZV_CallbackRecord current{slot->CallbackContext(), kLoaderOtherFailure, "current", 0};
    cModuleLoader::ModuleCallback(&current);
    EXPECT_EQ(TakeReports(), (std::vector<Report>{{kLoaderOtherFailure, "current"}}));
    EXPECT_TRUE(log.HasLineEndingWith("Module callback with code 1003 dropped: the module has been released."));
}

TEST_F(ModuleLoaderTest, LocalizationSetsLanguageAndUsesTheLoadersTable)
{
    tavrin::test::WriteBytes(Scratch.Path() / L"de_de.cfg",
                             "launcher_error:\n{\n"
                             "    empty_executable_field = \"Kein Spielpfad\";\n}\n");
    Loader.LoadLocalization(Scratch.Utf8(), "de", "de");
    EXPECT_EQ(Loader.LanguageValue(), "de");
    EXPECT_EQ(Loader.CountryValue(), "de");
    EXPECT_FALSE(Initialize("", Scratch.Utf8()));
    EXPECT_EQ(TakeReports(), (std::vector<Report>{{kLoaderBadGamePath, "Kein Spielpfad"}}));

    Loader.LoadLocalization("", "fr", "fr");
    EXPECT_EQ(Loader.LanguageValue(), "");
    EXPECT_EQ(Loader.CountryValue(), "");
    Loader.LoadLocalization(Scratch.Utf8(), nullptr, nullptr);
    EXPECT_EQ(Loader.LanguageValue(), "");
}

TEST_F(ModuleLoaderTest, ShutdownJoinsARunningBodyAndCanRepeat)
{
    std::atomic<bool> sawStop{false};
    Body = [&sawStop](cModuleLoader& loader) {
        while (!loader.StopRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        sawStop.store(true);
    };
    ASSERT_TRUE(Initialize(Game(), Scratch.Utf8()));
    Loader.Shutdown();
    EXPECT_TRUE(sawStop.load());
    EXPECT_FALSE(Loader.HasThread());
    Loader.Shutdown();
}

TEST(ModuleCachePath, NeedsBothIdentifiersAndEndsInTheModuleFileName)
{
    cWindowsModuleLoader loader({}, cHostFacts{});
    std::string path = "stale";
    EXPECT_FALSE(loader.GetModuleCachePath(path, "", "d1"));
    EXPECT_FALSE(loader.GetModuleCachePath(path, "p1", ""));
    EXPECT_TRUE(path.empty());

    ASSERT_TRUE(loader.GetModuleCachePath(path, "loadertest-p1", "loadertest-d1"));
    const std::string tail = "\\loadertest-p1\\loadertest-d1\\" + loader.ModuleFileName();
    ASSERT_GE(path.size(), tail.size());
    EXPECT_EQ(path.substr(path.size() - tail.size()), tail);
}

}  // namespace
