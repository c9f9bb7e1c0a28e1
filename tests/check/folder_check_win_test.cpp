// The checker on real folders: the launcher's file reading, the demo game as
// the game executable (its system name comes from the operating system), and
// the loopback development CDN for --online.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>

#include "acquisition/download_rules.h"
#include "base/files_win.h"
#include "check/folder_check_win.h"
#include "test_support/loopback_servers_win.h"
#include "test_support/png_file.h"
#include "test_support/process_win.h"
#include "test_support/scratch_folder_win.h"

namespace tavrin::check {
namespace {

using std::string;
using test::cScratchFolder;
using test::WriteBytes;

// Signature and IHDR of an 800x450 and an 800x451 PNG, with correct checksums.
const string
    kPng800x450("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x03\x20\0\0\x01\xC2\x08\x02\0\0\0\x98\x01\x3A\x9F", 33);
const string
    kPng800x451("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x03\x20\0\0\x01\xC3\x08\x02\0\0\0\x53\x5D\xE9\x3A", 33);

string Settings(const string& extra = "", const string& executable = "Game.exe",
                const string& environment = "production")
{
    return "{\n  \"productid\": \"check-product\",\n  \"sandboxid\": \"check-sandbox\",\n"
           "  \"deploymentid\": \"check-deployment\",\n  \"executable\": \"" +
           executable + "\",\n  \"environment\": \"" + environment + "\"" + extra + "\n}\n";
}

// A game folder as a studio ships it: the demo game as Game.exe and the settings.
class cGameFolder {
public:
    explicit cGameFolder(const string& settings = Settings())
    {
        Folder.MakeFolder("Tavrin\\Localization");
        std::error_code ignored;
        std::filesystem::copy_file(test::DemoGamePath(), test::Utf8Path(Folder.File("Game.exe")), ignored);
        Write("Tavrin\\Settings.json", settings);
    }
    void Write(const string& name, const string& bytes) { ASSERT_TRUE(WriteBytes(Folder.File(name), bytes)); }
    void Remove(const string& name) { DeleteFileW(Utf8ToUtf16(Folder.File(name)).c_str()); }
    const string& Path() const { return Folder.Utf8(); }

private:
    cScratchFolder Folder{L"tavrin-check-"};
};

struct FolderCase {
    const char* Name;
    std::function<void(cGameFolder&)> Break;
    Severity Level;
    const char* Fragment;
};

TEST(FolderCheck, WellFormedFolderLaunchesWithoutWarnings)
{
    cGameFolder folder(Settings(",\n  \"requested_splash\": \"splash.png\""));
    folder.Write("splash.png", test::GreyPng(800, 450));
    folder.Write("Tavrin\\Localization\\de.cfg", "launcher:\n{\n    loading = LADEN;\n}\n");
    folder.Write("Tavrin\\Localization\\en_us.cfg", "launcher:\n{\n    loading = LOADING;\n}\n");
    cReport report;
    CheckGameFolder(folder.Path(), {}, report);
    EXPECT_EQ(report.Count(Severity::Error) + report.Count(Severity::Warning), 0u) << report.Format();
    // Under Wine the launcher asks for the native build of a 64-bit game.
    EXPECT_NE(
        report.Format().find("  system here: linux64\n  systems of the game: win64, winarm_x64_x64, linux64"),
        string::npos)
        << report.Format();
}

TEST(FolderCheck, BrokenFoldersAreTold)
{
    const FolderCase cases[] = {
        {"no settings", [](cGameFolder& f) { f.Remove("Tavrin\\Settings.json"); }, Severity::Error,
         "cannot be read: the launcher shows 'Settings.json not found'"},
        {"missing key", [](cGameFolder& f) { f.Write("Tavrin\\Settings.json", "{\"productid\": \"p1\"}"); },
         Severity::Error, "is missing a required field (sandboxid)"},
        {"no game", [](cGameFolder& f) { f.Write("Tavrin\\Settings.json", Settings("", "Gone.exe")); },
         Severity::Error, "\"executable\" Gone.exe: no such file"},
        {"game is not a program", [](cGameFolder& f) { f.Write("Game.exe", "MZ but nothing else"); },
         Severity::Error, "has no known system name"},
        {"unquoted value",
         [](cGameFolder& f) { f.Write("Tavrin\\Settings.json", Settings(",\n  \"hide_gui\": 1")); },
         Severity::Warning, "\"hide_gui\" has an unquoted value (1)"},
        {"splash of the wrong size",
         [](cGameFolder& f) {
             f.Write("Tavrin\\Settings.json", Settings(",\n  \"requested_splash\": \"art/splash.png\""));
             CreateDirectoryW(Utf8ToUtf16(f.Path() + "art").c_str(), nullptr);
             f.Write("art\\splash.png", kPng800x451);
         },
         Severity::Warning, "the picture is 800x451, not 800x450"},
        {"splash whose image data does not decode",
         [](cGameFolder& f) {
             f.Write("Tavrin\\Settings.json", Settings(",\n  \"requested_splash\": \"s.png\""));
             f.Write("s.png", test::GreyPng(800, 450, test::PngData::Broken));
         },
         Severity::Warning, "the picture data does not decode: the launcher shows its built-in splash instead"},
        {"splash missing",
         [](cGameFolder& f) {
             f.Write("Tavrin\\Settings.json", Settings(",\n  \"requested_splash\": \"s.png\""));
         },
         Severity::Warning, "\"requested_splash\" names no file"},
        {"icon that is no icon", [](cGameFolder& f) { f.Write("Tavrin\\BootstrapperIcon.ico", kPng800x450); },
         Severity::Warning, "not an icon file: the launcher falls back to the game's own icon"},
        {"override on another host",
         [](cGameFolder& f) { f.Write("Game.exe.kzv", "cdn=https://example.org/m\n"); }, Severity::Error,
         "the launcher refuses it"},
        {"override on the CDN",
         [](cGameFolder& f) {
             f.Write("Game.exe.kzv", "cdn=" + launcher::AllowedCdnPrefix(false) + "builds/9/m\n");
         },
         Severity::Warning, "do not ship this file"},
        {"language file that stops the parser",
         [](cGameFolder& f) {
             f.Write("Tavrin\\Localization\\fr.cfg", "launcher:\n{\n    loading= CHARGEMENT;\n}\n");
         },
         Severity::Warning, "'=' must stand apart from the key"},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.Name);
        cGameFolder folder;
        c.Break(folder);
        cReport report;
        CheckGameFolder(folder.Path(), {}, report);
        EXPECT_EQ(report.Count(c.Level, c.Fragment), 1u) << report.Format();
        EXPECT_EQ(report.HasErrors(), c.Level == Severity::Error) << report.Format();
    }
}

// TavrinCheck.exe itself: its exit code and what it prints.
DWORD RunChecker(const string& arguments, string& output)
{
    cScratchFolder scratch(L"tavrin-check-out-");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const std::wstring outPath = scratch.File(L"out.txt");
    HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process{};
    std::wstring exe = test::DemoGamePath().parent_path().wstring() + L"\\TavrinCheck.exe";
    std::wstring command = L"\"" + exe + L"\" " + Utf8ToUtf16(arguments);
    const BOOL started = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(out);
    if (!started) {
        return STILL_ACTIVE;
    }
    const DWORD code = test::WaitForExitCode(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::vector<uint8_t> bytes;
    ReadFileBytes(outPath.c_str(), bytes, 1 << 20);
    output.assign(bytes.begin(), bytes.end());
    return code;
}

TEST(FolderCheck, ExitCodeSaysWhetherTheFolderLaunches)
{
    cGameFolder good;
    cGameFolder broken(Settings("", "Gone.exe"));
    string output;
    // Without the trailing backslash, which would escape the closing quote.
    const string goodPath = good.Path().substr(0, good.Path().size() - 1);
    const string brokenPath = broken.Path().substr(0, broken.Path().size() - 1);
    EXPECT_EQ(RunChecker("\"" + goodPath + "\"", output), 0u) << output;
    EXPECT_NE(output.find("the folder will launch."), string::npos) << output;
    EXPECT_EQ(RunChecker("\"" + brokenPath + "\"", output), 1u) << output;
    EXPECT_NE(output.find("the folder will NOT launch."), string::npos) << output;
    EXPECT_EQ(RunChecker("--settings=Other.json \"" + goodPath + "\"", output), 1u) << output;
    EXPECT_NE(output.find("the launcher shows 'Other.json not found'"), string::npos) << output;
    EXPECT_EQ(RunChecker("", output), 2u) << output;
}

TEST(FolderCheck, OnlineAsksTheCdnForEverySystemOfTheGame)
{
    const string servers = test::ServersFolder();
    if (servers.empty() || !test::LoopbackCdnConfigured()) {
        GTEST_SKIP() << "needs the loopback test servers";
    }
    const string modules = servers + "\\cdn\\check-product\\check-deployment\\";
    std::filesystem::create_directories(test::Utf8Path(modules));
    ASSERT_TRUE(WriteBytes(modules + "linux64", string(5000, 'm')));
    ASSERT_TRUE(WriteBytes(modules + "win64", string(4096, 'm')));
    DeleteFileW(Utf8ToUtf16(modules + "winarm_x64_x64").c_str());

    cGameFolder folder(Settings("", "Game.exe", "gamedev"));
    cReport report;
    CheckGameFolder(folder.Path(), {true}, report);
    EXPECT_EQ(report.Count(Severity::Note, "module found: 5000 bytes, ETag \""), 1u) << report.Format();
    EXPECT_EQ(report.Count(Severity::Error, "a 4096-byte answer: the service is switched off"), 1u);
    EXPECT_EQ(report.Count(Severity::Error, "no module (HTTP 404)"), 1u);
    EXPECT_TRUE(report.HasErrors());
}

}  // namespace
}  // namespace tavrin::check
