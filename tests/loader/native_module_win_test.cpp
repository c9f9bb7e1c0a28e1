// The native module path under Wine, with real native libraries built by the
// project (tools/nativemodules): raw system calls, loading from memory, the
// four entry points, reports from native threads and the process-id file.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/files_win.h"
#include "loader/module_interface.h"
#include "loader/module_loader_win.h"
#include "loader/native_module_win.h"
#include "loader/wine_callback_queue_win.h"
#include "loader/wine_helper_page_win.h"
#include "loader/wine_syscalls_win.h"
#include "test_support/captured_log.h"
#include "test_support/loader_bodies_win.h"
#include "test_support/loader_reports.h"
#include "test_support/process_win.h"
#include "test_support/scratch_folder_win.h"

using namespace tavrin::launcher;
using tavrin::test::cCapturedLog;
using tavrin::test::cScratchFolder;

namespace {

// What the pid-file modules write for their own process.
constexpr uint32_t kModuleWindowsPid = 0x4D2;

std::string NativeModulePath(const std::string& variant)
{
    std::wstring binary;
    tavrin::GetEnvironmentValue(L"TAVRIN_BINARY_DIR", binary);
    return tavrin::Utf16ToUtf8(binary) + "/nativemodules/tavrin_native_" + variant + ".so";
}

std::string NativeText(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadNativeFile(path, 1 << 20);
    return std::string(bytes.begin(), bytes.end());
}

std::string PidFile(const char* prefix = "kzv_wine_pid_")
{
    char path[64];
    snprintf(path, sizeof(path), "/tmp/%s%X", prefix, static_cast<unsigned>(NativeGetPid()));
    return path;
}

std::string MarkerPath() { return "/tmp/tavrin-native-marker-" + std::to_string(NativeGetPid()); }

using tavrin::test::Report;

class NativeModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A loader releases the page when it goes; every test places it anew.
        ASSERT_TRUE(PlaceWineHelperPage());
        RemoveTraces();
    }

    void TearDown() override { RemoveTraces(); }

    static void RemoveTraces()
    {
        NativeUnlink(MarkerPath().c_str());
        NativeUnlink(PidFile().c_str());
        NativeUnlink(PidFile("kzv_wine_pid_target_").c_str());
    }

    std::vector<uint8_t> Module(const std::string& variant)
    {
        std::vector<uint8_t> bytes = ReadNativeFile(NativeModulePath(variant), 16 << 20);
        EXPECT_FALSE(bytes.empty()) << NativeModulePath(variant);
        return bytes;
    }

    std::string Game()
    {
        const std::string game = Scratch.Utf8() + "game.exe";
        std::filesystem::copy_file(tavrin::test::DemoGamePath(), tavrin::Utf8ToUtf16(game),
                                   std::filesystem::copy_options::skip_existing);
        return game;
    }

    // A loader whose thread runs the load step with the bytes Launch hands
    // it, as a download would.
    cLoaderOptions ModuleSource()
    {
        return tavrin::test::LoaderRunning([this](cModuleLoader& self) {
            static_cast<cWindowsModuleLoader&>(self).LoadModule(std::move(PendingModule));
        });
    }

    // loader: built with ModuleSource().
    void Launch(cWindowsModuleLoader& loader, std::vector<uint8_t> bytes, const std::string& gamePath)
    {
        loader.LoadLocalization(Scratch.Utf8(), "en", "us");
        PendingModule = std::move(bytes);
        loader.Initialize([](uint32_t, uint32_t) { return KZV_ProgressContinue; }, Sink(), gamePath,
                          Scratch.Utf8(), "linux64", "prod-1", "sandbox-1", "deploy-1", false);
    }

    ResultCallback Sink()
    {
        return [this](int32_t code, const char* message) {
            // The first report may find the consumer busy for a while, as a
            // process-id look-up keeps it.
            if (HoldFirstReportMs && !Held.exchange(true)) {
                Sleep(HoldFirstReportMs);
            }
            std::lock_guard<std::mutex> guard(Lock);
            Reports.push_back({code, message ? message : "<null>"});
            ReportThreads.push_back(GetCurrentThreadId());
            OnDeliveryThread.push_back(GetCurrentThreadId() == NativeCallbackDeliveryThreadId());
        };
    }

    std::vector<Report> WaitForReports(size_t count, int tenthsOfSeconds = 50)
    {
        for (int i = 0; i < tenthsOfSeconds * 10; ++i) {
            {
                std::lock_guard<std::mutex> guard(Lock);
                if (Reports.size() >= count) {
                    break;
                }
            }
            Sleep(10);
        }
        std::lock_guard<std::mutex> guard(Lock);
        return Reports;
    }

    static cHostFacts Wine() { return cHostFacts{true, false}; }

    cScratchFolder Scratch{L"tavrin-native-"};
    std::vector<uint8_t> PendingModule;
    std::mutex Lock;
    std::vector<Report> Reports;
    std::vector<DWORD> ReportThreads;
    std::vector<bool> OnDeliveryThread;
    DWORD HoldFirstReportMs = 0;
    std::atomic<bool> Held{false};
};

TEST_F(NativeModuleTest, SystemCallsGoThroughTheHelperPageOnly)
{
    const std::string path = "/tmp/tavrin-native-syscalls-" + std::to_string(NativeGetPid());
    const int fd = NativeOpen(path.c_str(), kNativeOpenWriteOnly | kNativeOpenCreate | kNativeOpenTruncate);
    ASSERT_GE(fd, 0);
    std::string content(10000, 'x');
    content[9999] = 'y';
    EXPECT_EQ(NativeWrite(fd, content.data(), content.size()), 10000);
    NativeFileStatus status;
    ASSERT_TRUE(NativeFstat(fd, status));
    EXPECT_TRUE(NativeIsRegularFile(status));
    EXPECT_EQ(status.Size, 10000);
    EXPECT_EQ(static_cast<int>(status.Owner), NativeGetUid());
    EXPECT_EQ(NativeClose(fd), 0);

    EXPECT_EQ(NativeText(path), content);
    EXPECT_EQ(ReadNativeFile(path, 5000).size(), 5000u);
    // The kernel's own view of this process: its first field is the pid.
    EXPECT_EQ(NativeText("/proc/self/stat").rfind(std::to_string(NativeGetPid()) + " ", 0), 0u);
    // The in-memory file a module goes into: not inherited, and fixed once sealed.
    const int memfd = NativeMemfdCreate("probe", kNativeMemfdCloseOnExec | kNativeMemfdAllowSealing);
    ASSERT_GE(memfd, 0);
    const std::string info = NativeText("/proc/self/fdinfo/" + std::to_string(memfd));
    const size_t flags = info.find("flags:");
    ASSERT_NE(flags, std::string::npos);
    EXPECT_NE(std::stoul(info.substr(flags + 6), nullptr, 8) & kNativeOpenCloseOnExec, 0u) << info;
    EXPECT_EQ(NativeWrite(memfd, "abc", 3), 3);
    EXPECT_TRUE(NativeSealFile(memfd));
    EXPECT_EQ(NativeWrite(memfd, "d", 1), -1);
    EXPECT_EQ(NativeClose(memfd), 0);

    const std::vector<uint8_t> module = Module("normal");
    ReleaseWineHelperPage();
    EXPECT_EQ(NativeGetPid(), -1);
    EXPECT_EQ(NativeGetUid(), -1);
    EXPECT_EQ(NativeOpen(path.c_str(), kNativeOpenReadOnly), -1);
    EXPECT_EQ(NativeRead(0, nullptr, 0), -1);
    EXPECT_EQ(NativeWrite(1, "x", 1), -1);
    EXPECT_EQ(NativeClose(0), -1);
    EXPECT_EQ(NativeUnlink(path.c_str()), -1);
    EXPECT_EQ(NativeMemfdCreate("probe", 0), -1);
    EXPECT_FALSE(NativeFstat(0, status));
    EXPECT_FALSE(NativeSealFile(0));
    EXPECT_TRUE(ReadNativeFile(path, 100).empty());
    EXPECT_EQ(LoadNativeModule(module), nullptr);

    ASSERT_TRUE(PlaceWineHelperPage());
    EXPECT_EQ(NativeUnlink(path.c_str()), 0);
    EXPECT_TRUE(ReadNativeFile(path, 100).empty());
}

TEST_F(NativeModuleTest, WineFactsAndPaths)
{
    EXPECT_TRUE(tavrin::IsWine());
    EXPECT_FALSE(tavrin::GetWineVersion().empty());
    EXPECT_GT(NativeThreadId(), 0);
    const std::string game = Game();
    const std::string native = ToNativePath(game);
    ASSERT_FALSE(native.empty());
    EXPECT_EQ(native[0], '/');
    EXPECT_EQ(native.substr(native.size() - 9), "/game.exe");
    EXPECT_FALSE(ReadNativeFile(native, 2).empty());
    EXPECT_EQ(ToNativePath(""), "");
}

TEST_F(NativeModuleTest, LoadsFromMemoryAndFindsTheEntryPoints)
{
    void* handle = LoadNativeModule(Module("normal"));
    ASSERT_NE(handle, nullptr);
    for (const char* name : kNativeSymbols) {
        EXPECT_NE(NativeSymbol(handle, name), nullptr) << name;
    }
    EXPECT_EQ(NativeSymbol(handle, "no_such_symbol"), nullptr);
    EXPECT_EQ(NativeSymbol(handle, nullptr), nullptr);
    // A third entry called through the bridge runs native code that calls
    // into the C library.
    CallNative(NativeSymbol(handle, "c"));
    EXPECT_EQ(NativeText(MarkerPath()), "third\n");

    EXPECT_EQ(LoadNativeModule({}), nullptr);
    const std::vector<uint8_t> junk = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 'j', 'u', 'n', 'k'};
    EXPECT_EQ(LoadNativeModule(junk), nullptr);
    EXPECT_EQ(LoadNativeModule(Module("missing_dependency")), nullptr);
}

TEST_F(NativeModuleTest, LaunchPassesTheRecordsAndReportsWithTheGamesWindowsPid)
{
    const std::string game = Game();
    {
        cWindowsModuleLoader loader({"-x", "b c"}, Wine(), ModuleSource());
        Launch(loader, Module("normal"), game);
        EXPECT_EQ(WaitForReports(2),
                  (std::vector<Report>{{kLoaderCreateGameProcess, "Create the game process."},
                                       {kLoaderLaunchConfirmed, "protected"}}));
        EXPECT_EQ(loader.GetGameProcessId(), kModuleWindowsPid);
        // Read once, then gone.
        EXPECT_TRUE(ReadNativeFile(PidFile(), 16).empty());
        loader.Shutdown();
        loader.Shutdown();
    }
    ASSERT_TRUE(PlaceWineHelperPage());
    const std::string expected = "locale 1 en us\n"
                                 "init 2 prod-1 sandbox-1 deploy-1 " +
                                 ToNativePath(game) +
                                 " 3\n"
                                 "arg " +
                                 game +
                                 "\n"
                                 "arg -x\n"
                                 "arg b c\n"
                                 "pid file 4\n"
                                 "second 1\n";
    EXPECT_EQ(NativeText(MarkerPath()), expected);
}

TEST_F(NativeModuleTest, FailedLoadsReport507)
{
    const std::string game = Game();
    std::vector<uint8_t> truncated = Module("normal");
    truncated.resize(truncated.size() / 3);  // the loader would fault on the missing part
    // An entry point that is not a plain function of the module's own is no
    // entry point: a thread-local variable, or an indirect function.
    const std::vector<std::vector<uint8_t>> modules = {Module("without_locale"),
                                                       Module("thread_local_third"),
                                                       Module("indirect_third"),
                                                       Module("missing_dependency"),
                                                       truncated,
                                                       {'n', 'o', 't', ' ', 'e', 'l', 'f'}};
    for (const std::vector<uint8_t>& module : modules) {
        {
            cWindowsModuleLoader loader({}, Wine(), ModuleSource());
            Launch(loader, module, game);
            loader.Shutdown();
            EXPECT_EQ(WaitForReports(1), (std::vector<Report>{{kLoaderModuleRejected,
                                                               "Failed to load the anti-cheat module."}}));
            Reports.clear();
        }
        ASSERT_TRUE(PlaceWineHelperPage());
    }
    // Neither init nor the second entry point ran.
    EXPECT_EQ(NativeText(MarkerPath()), "");
}

TEST_F(NativeModuleTest, AGamePathWithoutNativeFormReports501AndSkipsInit)
{
    cWindowsModuleLoader loader({}, Wine());
    // Validation fails for the empty path but keeps the sink and identifiers.
    loader.Initialize([](uint32_t, uint32_t) { return KZV_ProgressContinue; }, Sink(), "", Scratch.Utf8(),
                      "linux64", "p", "s", "d", false);
    loader.LoadModule(Module("normal"));
    loader.Shutdown();
    ASSERT_TRUE(PlaceWineHelperPage());
    EXPECT_EQ(WaitForReports(2),
              (std::vector<Report>{{kLoaderBadGamePath, "The path to the game binary was not provided."},
                                   {kLoaderBadGamePath, "Failed to locate the game binary (Wine)"}}));
    EXPECT_EQ(NativeText(MarkerPath()), "second 1\n");
}

TEST_F(NativeModuleTest, SuccessWithoutDetailsLeavesTheProcessIdAlone)
{
    cWindowsModuleLoader loader({}, Wine(), ModuleSource());
    // A game this loader created already: its id must survive a report
    // without process details.
    const std::string game = Game();
    ASSERT_TRUE(loader.CreateGameProcess(game, {"--no-window", "--exit-after-ms", "3000"}, Scratch.Utf8()));
    const uint32_t created = loader.GetGameProcessId();
    ASSERT_NE(created, 0u);
    Launch(loader, Module("success_1003"), game);
    EXPECT_EQ(WaitForReports(2), (std::vector<Report>{{kLoaderCreateGameProcess, "Create the game process."},
                                                      {kLoaderLaunchSucceeded, "<null>"}}));
    EXPECT_EQ(loader.GetGameProcessId(), created);
}

// The module's own thread inherits its creator's GS base, so it looks like a
// Windows thread from the inside; its reports must still wait for the
// delivery thread, never run the launcher's Windows code on that thread.
TEST_F(NativeModuleTest, ReportsFromANativeThreadArriveOnAWindowsThread)
{
    cWindowsModuleLoader loader({}, Wine(), ModuleSource());
    Launch(loader, Module("thread_reports"), Game());
    EXPECT_EQ(WaitForReports(2),
              (std::vector<Report>{{kLoaderLaunchSucceeded, "reported from a native thread"},
                                   {kLoaderOtherFailure, "<null>"}}));
    loader.Shutdown();
    {
        std::lock_guard<std::mutex> guard(Lock);
        ASSERT_EQ(ReportThreads.size(), 2u);
        EXPECT_EQ(OnDeliveryThread, (std::vector<bool>{true, true}));
    }
    const std::string marker = NativeText(MarkerPath());
    int initThread = 0;
    int reportThread = 0;
    const size_t init = marker.find("init on ");
    const size_t reported = marker.find("thread reported on ");
    ASSERT_NE(init, std::string::npos) << marker;
    ASSERT_NE(reported, std::string::npos) << marker;
    initThread = std::atoi(marker.c_str() + init + 8);
    reportThread = std::atoi(marker.c_str() + reported + 19);
    EXPECT_GT(reportThread, 0);
    EXPECT_NE(reportThread, initThread);
    EXPECT_NE(marker.find("second 1\n"), std::string::npos) << marker;
}

// More reports than the queue holds arrive while the delivery thread is
// busy: the module's threads wait for room, and the confirming report
// arrives last.
TEST_F(NativeModuleTest, ABurstWhileDeliveryIsBusyLosesNothing)
{
    const uint32_t droppedBefore = DroppedNativeCallbacks();
    HoldFirstReportMs = 1000;
    cWindowsModuleLoader loader({}, Wine(), ModuleSource());
    Launch(loader, Module("report_burst"), Game());
    const std::vector<Report> reports = WaitForReports(301, 300);
    loader.Shutdown();
    ASSERT_EQ(reports.size(), 301u);
    for (size_t i = 0; i + 1 < reports.size(); ++i) {
        EXPECT_EQ(reports[i], (Report{kLoaderLaunchSucceeded, "burst"})) << i;
    }
    EXPECT_EQ(reports.back(), (Report{kLoaderLaunchConfirmed, "confirmed after the burst"}));
    EXPECT_EQ(DroppedNativeCallbacks(), droppedBefore);
}

// Reports that find the queue full while nobody delivers are lost; the
// delivery thread says so in the log when it runs again.
TEST_F(NativeModuleTest, ALostReportIsCountedAndLogged)
{
    static std::atomic<int> delivered{0};
    auto sink = [](void*, int32_t, const char*, int32_t) { ++delivered; };
    KZV_NativeCallback entry = StartNativeCallbackDelivery(sink);
    StopNativeCallbackDelivery();
    delivered = 0;
    const uint32_t droppedBefore = DroppedNativeCallbacks();
    int context = 0;
    KZV_CallbackRecord record{&context, kLoaderLaunchSucceeded, "queued", 0};
    // Not inside a call into the module: this thread's reports take the queue.
    for (int i = 0; i < 33; ++i) {
        entry(&record);
    }
    EXPECT_EQ(DroppedNativeCallbacks(), droppedBefore + 1);
    cCapturedLog log;
    StartNativeCallbackDelivery(sink);
    StopNativeCallbackDelivery();
    EXPECT_EQ(delivered.load(), 32);
    EXPECT_TRUE(log.HasLineEndingWith("1 module reports were lost: the report queue stayed full."));
}

TEST_F(NativeModuleTest, TheNativeEntryIgnoresRecordsWithoutContext)
{
    static std::atomic<int> delivered{0};
    delivered = 0;
    KZV_NativeCallback entry = StartNativeCallbackDelivery([](void*, int32_t, const char*, int32_t) { ++delivered; });
    ASSERT_NE(entry, nullptr);
    entry(nullptr);
    KZV_CallbackRecord record{nullptr, kLoaderLaunchSucceeded, "x", 0};
    entry(&record);
    // A record with a context does arrive: the sink was there to see the others.
    int context = 0;
    record.Context = &context;
    entry(&record);
    StopNativeCallbackDelivery();
    EXPECT_EQ(delivered.load(), 1);
}

// The pid-file modules report 1002 with their own pid at once; the file
// comes at once, after 1.5 s, with 3 bytes, through a link, owned by
// another user, or with a second name.
TEST_F(NativeModuleTest, TheProcessIdFileCountsOnlyAsAPlainFourByteFileOfThisUser)
{
    struct Case {
        const char* Variant;
        uint32_t WindowsPid;
        int MinimumMs;
    };
    const Case cases[] = {
        {"normal", kModuleWindowsPid, 0}, {"pid_late", kModuleWindowsPid, 1400},
        {"pid_short", 0, 2000},           {"pid_link", 0, 2000},
        {"pid_foreign", 0, 2000},         {"pid_hardlink", 0, 2000},
    };
    const std::string game = Game();
    for (const Case& c : cases) {
        {
            cWindowsModuleLoader loader({}, Wine(), ModuleSource());
            const auto start = std::chrono::steady_clock::now();
            Launch(loader, Module(c.Variant), game);
            EXPECT_EQ(WaitForReports(2).size(), 2u) << c.Variant;
            const auto elapsed = std::chrono::steady_clock::now() - start;
            // Writing another user's file needs root: without it there is no case.
            const bool applies = std::string(c.Variant) != "pid_foreign" ||
                                 NativeText(MarkerPath()).find("pid file foreign") != std::string::npos;
            if (applies) {
                EXPECT_EQ(loader.GetGameProcessId(), c.WindowsPid) << c.Variant;
                EXPECT_GE(elapsed, std::chrono::milliseconds(c.MinimumMs)) << c.Variant;
                // The look-up gives up soon after its limit.
                EXPECT_LT(elapsed, std::chrono::milliseconds(c.MinimumMs + 8000)) << c.Variant;
            }
            loader.Shutdown();
            Reports.clear();
        }
        ASSERT_TRUE(PlaceWineHelperPage());
        RemoveTraces();
    }
}

TEST_F(NativeModuleTest, PidLookupNeedsAnIdAndATimeLimit)
{
    EXPECT_EQ(GetWindowsPidForNativePid(0, 2000), 0u);
    EXPECT_EQ(GetWindowsPidForNativePid(-5, 2000), 0u);
    EXPECT_EQ(GetWindowsPidForNativePid(NativeGetPid(), 0), 0u);
    // No file at all: about the limit, then 0.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GetWindowsPidForNativePid(NativeGetPid(), 100), 0u);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(100));
    EXPECT_LT(elapsed, std::chrono::milliseconds(5000));
}

}  // namespace
