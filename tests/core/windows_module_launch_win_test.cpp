// The Windows module path end to end, as a player runs it: the test build
// TavrinLauncherPe (the Windows module path under Wine) downloads a module
// signed by the test PKI from the loopback dev CDN, verifies, maps and
// initializes it, creates the demo game on 508, sees its window and exits 0;
// the next launch revalidates (304) and maps the cached copy; an unsigned
// module ends on the error screen with 206.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "logging/log_file_win.h"
#include "test_support/game_folder_win.h"
#include "test_support/loopback_servers_win.h"
#include "test_support/module_cdn_win.h"
#include "test_support/module_marker_win.h"
#include "test_support/trusted_test_root_win.h"
#include "test_support/window_picture_win.h"

using namespace tavrin;
using namespace tavrin::launcher;
using tavrin::test::cGameFolder;
using tavrin::test::CacheFolder;
using tavrin::test::ClearCacheFolder;
using tavrin::test::LaunchSettings;
using tavrin::test::ServeModule;
using tavrin::test::cModuleMarker;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

const std::wstring kLauncher = L"TavrinLauncherPe.exe";
// The game outlives the launcher; a forgotten one ends by itself.
const std::wstring kGameArguments = L"--exit-after-ms 20000";

std::string Settings(const std::string& product) { return LaunchSettings(product, "Tavrin Demo Game"); }

std::string LogText(const std::string& product)
{
    return tavrin::test::ReadText(CacheFolder(product) + "anticheatlauncher.log");
}

// Ends every demo game started from the folder; how many there were.
int EndGamesIn(const fs::path& folder)
{
    int ended = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"DemoGame.exe") != 0) {
            continue;
        }
        HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                     entry.th32ProcessID);
        wchar_t path[MAX_PATH];
        DWORD length = MAX_PATH;
        if (process && QueryFullProcessImageNameW(process, 0, path, &length) &&
            fs::path(path).parent_path() == folder) {
            TerminateProcess(process, 0);
            ++ended;
        }
        if (process) {
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
    return ended;
}

// The language and country the launcher detected, as the module hears them.
std::string Locale()
{
    wchar_t language[16] = {};
    wchar_t country[16] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, language, 16);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME, country, 16);
    return Utf16ToUtf8(language) + " " + Utf16ToUtf8(country);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class WindowsModuleLaunchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (tavrin::test::ServersFolder().empty() || !tavrin::test::LoopbackCdnConfigured()) {
            GTEST_SKIP() << "needs the loopback dev CDN fixture";
        }
        ASSERT_TRUE(tavrin::test::TrustTestRoot());
    }
};

TEST_F(WindowsModuleLaunchTest, SignedModuleLaunchesTheGameThenTheCachedCopyDoesAgain)
{
    const std::string product = "pe-launch";
    ServeModule(product, "win64", "signed/module_normal.dll");
    ClearCacheFolder(product);
    cGameFolder folder(Settings(product), kLauncher);
    // A fresh download, then the cached copy revalidated.
    for (const char* response : {"Response Code: 200", "Response Code: 304"}) {
        cModuleMarker marker;
        EXPECT_EQ(folder.Run(nullptr, nullptr, kGameArguments), 0u);
        const std::string log = LogText(product);
        EXPECT_TRUE(Contains(log, "System name: 'win64'.")) << log;
        EXPECT_TRUE(Contains(log, response)) << log;
        EXPECT_TRUE(Contains(log, "Tavrin successfully loaded in-game")) << log;
        EXPECT_EQ(marker.Read(), (Lines{"attach", "locale " + Locale(), "init", "second 1"}));
        EXPECT_EQ(EndGamesIn(folder.Folder.Path()), 1);
        EXPECT_TRUE(fs::exists(Utf8ToUtf16(CacheFolder(product) + "tavrin_x64.kzv")));
    }
}

// The error screen stays until the player leaves it; the picture goes to
// the build's screenshots folder.
TEST_F(WindowsModuleLaunchTest, UnsignedModuleEndsOnTheErrorScreenWith206)
{
    const std::string product = "pe-refused";
    ServeModule(product, "win64", "testmodules/module_normal.dll");
    ClearCacheFolder(product);
    cGameFolder folder(Settings(product), kLauncher);
    cModuleMarker marker;

    PROCESS_INFORMATION launcher = folder.Start(nullptr, nullptr, kGameArguments);
    ASSERT_NE(launcher.hProcess, nullptr);
    std::string log;
    for (int i = 0; i < 300 && !Contains(log, "Launcher finished with: 206"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        log = LogText(product);
    }
    EXPECT_TRUE(Contains(log, "Error validating Tavrin code signing certificate")) << log;
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the error screen fades in
    HWND window = FindWindowW(nullptr, L"Tavrin Demo Game");
    EXPECT_NE(window, nullptr);
    EXPECT_TRUE(tavrin::test::SaveWindowPicture(window, tavrin::test::BuildFilePath("screenshots/module-refused.bmp")));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(tavrin::test::WaitForExitCode(launcher.hProcess, 30000), 206u);
    TerminateProcess(launcher.hProcess, 1);
    CloseHandle(launcher.hProcess);
    EXPECT_TRUE(marker.Read().empty());
    EXPECT_EQ(EndGamesIn(folder.Folder.Path()), 0);

    EXPECT_EQ(folder.Run(L"1", nullptr, kGameArguments), 206u);
}

// Modules written by others from the module interface alone
// (tools/independentmodules), in both forms: the Windows DLL through the
// Windows module path, the native build through the product under Wine. What
// the player sees: a launch that succeeds shows "WAITING FOR GAME" and leaves
// with 0 while the game runs; a refused module shows the error screen, and
// the launcher leaves with the result as its exit code.
struct IndependentCase {
    const char* Variant;
    bool Native;
    DWORD ExitCode;
    std::vector<std::string> LauncherLines;  // each somewhere in the launcher's log
    Lines ModuleEvents;                      // in this order in the module's own log
};

// The module's own log, named for it in the environment the launcher passes
// on. The native build reads the process's Unix environment, which a Windows
// parent cannot change for its child: the test's own environment names a
// Unix path for it, emptied before each launch.
class cIndependentModuleLog {
public:
    explicit cIndependentModuleLog(bool native)
    {
        if (native) {
            std::wstring unixPath;
            tavrin::GetEnvironmentValue(L"TAVRIN_INDEPENDENT_MODULE_LOG", unixPath);
            Path = L"Z:" + unixPath;
            std::replace(Path.begin(), Path.end(), L'/', L'\\');
        } else {
            Path = Folder.File(L"module-log.txt");
            SetEnvironmentVariableW(L"TAVRIN_INDEPENDENT_MODULE_LOG", Path.c_str());
        }
        DeleteFileW(Path.c_str());
    }
    ~cIndependentModuleLog()
    {
        if (!Saved.empty()) {
            SetEnvironmentVariableW(L"TAVRIN_INDEPENDENT_MODULE_LOG", Saved.c_str());
        }
    }

    Lines Read() const
    {
        Lines lines;
        std::string line;
        for (char c : tavrin::test::ReadText(Utf16ToUtf8(Path))) {
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            } else if (c != '\r') {
                line += c;
            }
        }
        return lines;
    }

private:
    static std::wstring Current()
    {
        std::wstring value;
        tavrin::GetEnvironmentValue(L"TAVRIN_INDEPENDENT_MODULE_LOG", value);
        return value;
    }

    tavrin::test::cScratchFolder Folder{L"tavrin-independent-"};
    std::wstring Saved = Current();
    std::wstring Path;
};

bool InOrder(const Lines& lines, const Lines& wanted)
{
    size_t next = 0;
    for (const std::string& line : lines) {
        if (next < wanted.size() && line == wanted[next]) {
            ++next;
        }
    }
    return next == wanted.size();
}

std::string ProductFor(const IndependentCase& c)
{
    std::string product = std::string("ind-") + c.Variant + (c.Native ? "-native" : "-pe");
    std::replace(product.begin(), product.end(), '_', '-');
    return product;
}

TEST_F(WindowsModuleLaunchTest, ModulesWrittenElsewhereLaunchOrEndWithTheirCode)
{
    const std::string success = "Launcher finished with: 301";
    const std::vector<IndependentCase> cases = {
        // Reports from a thread of the module's own, after init returned.
        {"thread_confirm", false, 0, {success}, {"report 508", "report 1002", "second 1"}},
        {"thread_confirm", true, 0, {success}, {"report 508", "report 1002", "second 1"}},
        // 1,000 reports from several threads, the confirming one last.
        {"burst", false, 0, {success}, {"report 508", "burst 998", "report 1002", "second 1"}},
        {"burst", true, 0, {success}, {"report 508", "burst 998", "report 1002", "second 1"}},
        // A report from inside the second entry point, and one after it from
        // a thread still running: neither may crash the launcher.
        {"second_reports", false, 0, {success}, {"report 508", "report 1002", "second 1"}},
        {"second_reports", true, 0, {success}, {"report 508", "report 1002", "second 1"}},
        {"slow_init", false, 0, {success}, {"report 508", "report 1002", "second 1"}},
        {"slow_init", true, 0, {success}, {"report 508", "report 1002", "second 1"}},
        // A thread that keeps running after shutdown does not keep the launcher.
        {"lingering", false, 0, {success}, {"report 508", "report 1002", "second 1"}},
        {"lingering", true, 0, {success}, {"report 508", "report 1002", "second 1"}},
        // The ordinary C and C++ runtime, exceptions thrown and caught inside.
        {"cxx_crt", false, 0, {success}, {"report 508", "report 1002", "second 1"}},
        // Static TLS data needs a slot only the system's own loader can give:
        // refused before any of its code runs, and the log says why.
        {"static_tls", false, 206, {"Launcher finished with: 206", "Failed to load the anti-cheat module."}, {}},
    };
    for (const IndependentCase& c : cases) {
        const std::string product = ProductFor(c);
        SCOPED_TRACE(product);
        if (c.Native) {
            ServeModule(product, "linux64", std::string("independentmodules/ind_") + c.Variant + ".so");
        } else {
            ServeModule(product, "win64", std::string("signed/ind_") + c.Variant + ".dll");
        }
        ClearCacheFolder(product);
        cGameFolder folder(Settings(product), c.Native ? L"TavrinLauncher.exe" : kLauncher);
        cIndependentModuleLog moduleLog(c.Native);
        EXPECT_EQ(folder.Run(L"1", nullptr, kGameArguments), c.ExitCode);
        const std::string log = LogText(product);
        for (const std::string& line : c.LauncherLines) {
            EXPECT_TRUE(Contains(log, line)) << line << "\n" << log;
        }
        EXPECT_FALSE(Contains(log, "module reports were lost")) << log;
        const Lines events = moduleLog.Read();
        EXPECT_TRUE(InOrder(events, c.ModuleEvents)) << testing::PrintToString(events);
        EXPECT_EQ(EndGamesIn(folder.Folder.Path()), c.ExitCode == 0 ? 1 : 0);
    }
}

}  // namespace
