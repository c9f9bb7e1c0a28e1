// A crash is never silent: whole launcher runs, as a player starts them,
// with modules that fault, from the loopback dev CDN. The Windows module
// path (TavrinLauncherPe, modules signed by the test PKI) and the native
// path under Wine (the product launcher, native Linux modules), each with a
// fault in the module's init and one on a thread the module started after
// init returned. This test is the Windows parent: it reads the full exit
// code, the log's crash line and the dump beside the log.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "logging/log_file_win.h"
#include "test_support/game_folder_win.h"
#include "test_support/loopback_servers_win.h"
#include "test_support/module_cdn_win.h"
#include "test_support/module_marker_win.h"
#include "test_support/trusted_test_root_win.h"

using namespace tavrin;
using tavrin::test::cGameFolder;
namespace fs = std::filesystem;

namespace {

constexpr DWORD kAccessViolation = 0xC0000005;
// A game the module never asks for would end by itself.
const std::wstring kGameArguments = L"--exit-after-ms 20000";

// A product's module served, its cache emptied.
void ServeModule(const std::string& product, const std::string& system, const std::string& buildFile)
{
    tavrin::test::ServeModule(product, system, buildFile);
    tavrin::test::ClearCacheFolder(product);
}

struct CrashOutcome {
    DWORD ExitCode = STILL_ACTIVE;
    // The launch lock was given back before the process ended.
    bool LockReleased = false;
    std::vector<std::string> Log;
    std::vector<fs::path> Dumps;

    // The first log line holding every part, or empty.
    std::string LineWith(const std::vector<std::string>& parts) const
    {
        for (const std::string& line : Log) {
            bool all = true;
            for (const std::string& part : parts) {
                all = all && line.find(part) != std::string::npos;
            }
            if (all) {
                return line;
            }
        }
        return {};
    }
};

CrashOutcome Launch(const std::string& product, const std::wstring& launcher, const wchar_t* launcherFault = nullptr)
{
    CrashOutcome outcome;
    cGameFolder folder(tavrin::test::LaunchSettings(product, "Tavrin Crash Test"), launcher);
    // Held open here, the launch lock outlives the launcher: a lock the
    // crash left taken would stay taken.
    const HANDLE lock = CreateSemaphoreA(nullptr, 1, 1, "TavrinLauncherSemaphore");
    EXPECT_NE(lock, nullptr);
    SetEnvironmentVariableW(L"TAVRIN_TEST_LAUNCHER_FAULT", launcherFault);
    outcome.ExitCode = folder.Run(L"1", nullptr, kGameArguments);
    SetEnvironmentVariableW(L"TAVRIN_TEST_LAUNCHER_FAULT", nullptr);
    if (lock != nullptr) {
        outcome.LockReleased = WaitForSingleObject(lock, 0) == WAIT_OBJECT_0;
        CloseHandle(lock);
    }
    const std::string cache = tavrin::test::CacheFolder(product);
    outcome.Log = tavrin::test::ReadLines(Utf8ToUtf16(cache + kLogFileName));
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(Utf8ToUtf16(cache), ignored)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.rfind(L"anticheatlauncher-crash-", 0) == 0 && entry.path().extension() == L".dmp") {
            outcome.Dumps.push_back(entry.path());
        }
    }
    return outcome;
}

// One dump beside the log, a real minidump, named in the log.
void ExpectDumpBesideTheLog(const CrashOutcome& outcome)
{
    ASSERT_EQ(outcome.Dumps.size(), 1u);
    const std::string bytes = tavrin::test::ReadText(outcome.Dumps[0]);
    EXPECT_GT(bytes.size(), 32u);
    EXPECT_EQ(bytes.substr(0, 4), "MDMP");
    EXPECT_NE(outcome.LineWith({"Crash dump written to '", Utf16ToUtf8(outcome.Dumps[0].filename().wstring())}), "");
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

class CrashLaunchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (tavrin::test::ServersFolder().empty() || !tavrin::test::LoopbackCdnConfigured()) {
            GTEST_SKIP() << "needs the loopback dev CDN fixture";
        }
        ASSERT_TRUE(tavrin::test::TrustTestRoot());
    }
};

// The Windows module path: the mapped module is named, the access is the
// null write, the code is the exception's.
TEST_F(CrashLaunchTest, WindowsModuleFaultsInInitOrOnItsThread)
{
    struct Case {
        const char* Product;
        const char* Module;
    };
    for (const Case& c : {Case{"crash-pe-init", "signed/module_faults_in_init.dll"},
                          Case{"crash-pe-thread", "signed/module_faults_on_thread.dll"}}) {
        SCOPED_TRACE(c.Module);
        const std::string product = c.Product;
        ServeModule(product, "win64", c.Module);
        tavrin::test::cModuleMarker marker;
        const CrashOutcome outcome = Launch(product, L"TavrinLauncherPe.exe");
        EXPECT_EQ(outcome.ExitCode, kAccessViolation);
        EXPECT_TRUE(outcome.LockReleased);
        const std::string line = outcome.LineWith({"[Err!] Unhandled exception 0xC0000005 at 0x",
                                                   " in anti-cheat module+0x", " on thread ",
                                                   "(writing 0x0000000000000000)."});
        EXPECT_NE(line, "") << Joined(outcome.Log);
        const std::vector<std::string> events = marker.Read();
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back(), "init");
        ExpectDumpBesideTheLog(outcome);
    }
}

TEST_F(CrashLaunchTest, LaunchersOwnFaultIsReportedTheSameWay)
{
    const std::string product = "crash-pe-launcher";
    ServeModule(product, "win64", "signed/module_normal.dll");
    const CrashOutcome outcome = Launch(product, L"TavrinLauncherPe.exe", L"1");
    EXPECT_EQ(outcome.ExitCode, kAccessViolation);
    EXPECT_TRUE(outcome.LockReleased);
    EXPECT_NE(outcome.LineWith({"[Err!] Unhandled exception 0xC0000005", " in TavrinLauncherPe.exe+0x",
                                "(writing 0x0000000000000000)."}),
              "")
        << Joined(outcome.Log);
    ExpectDumpBesideTheLog(outcome);
}

// Under Wine a fault in native code on a Wine thread (the loader thread,
// inside the module's init) becomes a Windows exception and reaches the
// handler, which names the native module the launcher loaded itself.
TEST_F(CrashLaunchTest, NativeModuleFaultInInitReachesTheHandler)
{
    const std::string product = "crash-native-in-a";
    ServeModule(product, "linux64", "nativemodules/tavrin_native_fault_in_a.so");
    const CrashOutcome outcome = Launch(product, L"TavrinLauncher.exe");
    EXPECT_EQ(outcome.ExitCode, kAccessViolation);
    EXPECT_TRUE(outcome.LockReleased);
    EXPECT_NE(outcome.LineWith({"[Err!] Unhandled exception 0xC0000005 at 0x", " in anti-cheat module+0x", " on thread ",
                                "(writing 0x0000000000000000)."}),
              "")
        << Joined(outcome.Log);
    ExpectDumpBesideTheLog(outcome);
}

// A fault on a thread the native module created itself ends the process by
// signal 11, past every Windows handler: no crash line and no dump, but
// every line logged before the launcher called into the module is on disk.
// Wine gives a Windows parent exit code 0 for such a death (a Linux parent
// of wine sees 139: loader_native_crash_on_thread), so the code is not
// checked here.
TEST_F(CrashLaunchTest, NativeModuleFaultOnItsOwnThreadLeavesTheLogComplete)
{
    const std::string product = "crash-native-thread";
    ServeModule(product, "linux64", "nativemodules/tavrin_native_fault_on_thread.so");
    const CrashOutcome outcome = Launch(product, L"TavrinLauncher.exe");
    EXPECT_NE(outcome.ExitCode, STILL_ACTIVE);
    EXPECT_NE(outcome.LineWith({"Starting Wine module mapping"}), "") << Joined(outcome.Log);
    EXPECT_EQ(outcome.LineWith({"Unhandled exception"}), "");
    EXPECT_TRUE(outcome.Dumps.empty());
}

}  // namespace
