// Language files on a real file system, and the user's locale as Wine
// reports it to a fresh process.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "base/files_win.h"
#include "localization/locale_setup.h"
#include "localization/localization.h"
#include "logging/logger.h"
#include "test_support/captured_log.h"
#include "test_support/scratch_folder_win.h"

namespace tavrin::launcher {
namespace {

std::wstring Widen(const std::string& text) { return tavrin::Utf8ToUtf16(text); }

using tavrin::test::cCapturedLog;
using tavrin::test::WriteBytes;

// A scratch folder for language files.
class cLanguageFolder : public tavrin::test::cScratchFolder {
public:
    cLanguageFolder() : cScratchFolder(L"tavrin_l10n_") {}

    // A language file whose one entry, launcher.file, names the file itself.
    void AddLanguageFile(const std::string& name) const
    {
        ASSERT_TRUE(WriteBytes(File(name), "launcher:\n{\n    file = \"" + name + "\";\n}\n"));
    }
};

std::string LoadedFile(const cLocalization& table)
{
    std::string value = "<none>";
    table.GetValue("launcher.file", value);
    return value;
}

TEST(LocalizationLoadFile, ReadsARealFile)
{
    cLanguageFolder folder;
    std::wstring path = folder.Wide() + L"de.cfg";
    ASSERT_TRUE(WriteBytes(path, "launcher:\r\n{\r\n    btn_exit = \"Beenden\";\r\n}\r\n"));
    cLocalization table;
    std::wstring error = L"stale";
    EXPECT_TRUE(table.LoadFile(path, error));
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(table.GetText("launcher.btn_exit", "Exit"), "Beenden");
}

TEST(LocalizationLoadFile, UnreadableFilesFailWithTheirPathAndLeaveTheTable)
{
    cLanguageFolder folder;
    ASSERT_TRUE(WriteBytes(folder.Wide() + L"empty.cfg", ""));
    ASSERT_TRUE(CreateDirectoryW((folder.Wide() + L"folder.cfg").c_str(), nullptr));
    // Far beyond any language file: refused before a buffer is sized for it.
    std::string huge = "launcher:\n{\n btn_exit = Huge;\n}\n";
    huge.resize(17 * 1024 * 1024, '\n');
    ASSERT_TRUE(WriteBytes(folder.Wide() + L"huge.cfg", huge));
    const std::wstring paths[] = {
        folder.Wide() + L"huge.cfg",
        folder.Wide() + L"missing.cfg",
        folder.Wide() + L"empty.cfg",
        folder.Wide() + L"folder.cfg",
        folder.Wide() + L"no_such_folder\\en_us.cfg",
    };
    for (const std::wstring& path : paths) {
        cLocalization table;
        std::wstring error;
        ASSERT_TRUE(table.LoadText("launcher:\n{\n btn_exit = Beenden;\n}\n", error));
        EXPECT_FALSE(table.LoadFile(path, error));
        EXPECT_EQ(error, L"File not found '" + path + L"'");
        EXPECT_EQ(table.GetText("launcher.btn_exit", "Exit"), "Beenden");
    }
}

TEST(LocalizationLoadFile, BrokenFileKeepsTheEntriesAboveTheFault)
{
    cLanguageFolder folder;
    std::wstring path = folder.Wide() + L"broken.cfg";
    ASSERT_TRUE(WriteBytes(path, "launcher:\n{\n a = A;\n b=\"B\";\n c = C;\n}\n"));
    cLocalization table;
    std::wstring error;
    EXPECT_FALSE(table.LoadFile(path, error));
    EXPECT_EQ(error, L"Config parsing error");
    EXPECT_EQ(table.GetText("launcher.a", "x"), "A");
    EXPECT_EQ(table.GetText("launcher.c", "x"), "x");
}

TEST(LocalizationLoadFile, FilesThatReadBadlyAreNamedInAWarning)
{
    const struct {
        const wchar_t* Name;
        std::string Text;
        const char* Warning;
    } cases[] = {
        {L"bom.cfg", "\xEF\xBB\xBFlauncher:\n{\n a = A;\n}\n", "starts with a byte-order mark"},
        {L"cr.cfg", "launcher:\r{\r a = A;\r}\r", "ends its lines with a bare CR"},
        {L"fine.cfg", "launcher:\r\n{\r\n a = A;\r\n}\r\n", nullptr},
    };
    cLanguageFolder folder;
    for (const auto& c : cases) {
        cCapturedLog log;
        const std::wstring path = folder.Wide() + c.Name;
        ASSERT_TRUE(WriteBytes(path, c.Text));
        cLocalization table;
        std::wstring error;
        table.LoadFile(path, error);
        const std::string named = "Language file '" + tavrin::Utf16ToUtf8(path) + "' ";
        EXPECT_EQ(log.Count(named), c.Warning ? 1u : 0u) << c.Text;
        if (c.Warning) {
            EXPECT_EQ(log.Count(c.Warning), 1u);
            // Read as it always was: the entry stays out of reach.
            EXPECT_EQ(table.GetText("launcher.a", "x"), "x");
        }
    }
}

TEST(LocalizationLoadFromDirectory, ChoosesTheFileForTheLocale)
{
    struct Case {
        std::vector<std::string> files;  // created in this order
        const char* language;
        const char* region;
        bool loaded;
        const char* localeName;
        const char* file;  // "<none>" when nothing was loaded
    };
    const Case cases[] = {
        {{"en_us.cfg", "de.cfg"}, "en", "US", true, "en_us", "en_us.cfg"},
        {{"de.cfg", "en_us.cfg"}, "de", "AT", true, "de", "de.cfg"},
        {{"en_us.cfg", "zh_tw.cfg"}, "zh", "HK", true, "zh_tw", "zh_tw.cfg"},
        {{"zh.cfg", "en_us.cfg"}, "zh", "TW", true, "en_us", "en_us.cfg"},
        {{"ca.cfg", "es_es.cfg", "en_us.cfg"}, "ca", "ES", true, "es_es", "es_es.cfg"},
        {{"ca.cfg", "en_us.cfg"}, "ca", "ES", false, "es_es", "<none>"},
        {{"en.cfg", "fr.cfg"}, "", "", true, "en", "en.cfg"},
        {{}, "en", "US", false, "en_us", "<none>"},
        {{"notes.txt", ".hidden.cfg"}, "en", "US", false, "en_us", "<none>"},
    };
    for (const Case& c : cases) {
        cLanguageFolder folder;
        for (const std::string& name : c.files) {
            folder.AddLanguageFile(name);
        }
        cLocalization table;
        std::string localeName = "stale";
        std::wstring error = L"stale";
        bool loaded = table.LoadFromDirectory(folder.Wide(), c.language, c.region, localeName, error);
        SCOPED_TRACE(std::string(c.language) + "_" + c.region);
        EXPECT_EQ(loaded, c.loaded);
        EXPECT_EQ(localeName, c.localeName);
        EXPECT_EQ(LoadedFile(table), c.file);
        if (loaded) {
            EXPECT_TRUE(error.empty());
        } else {
            EXPECT_EQ(error, L"File not found '" + folder.Wide() + Widen(c.localeName) + L".cfg'");
        }
    }
}

TEST(LocalizationLoadFromDirectory, EnglishWhenNothingMatches)
{
    cLanguageFolder folder;
    folder.AddLanguageFile("cs.cfg");
    folder.AddLanguageFile("en_us.cfg");
    folder.AddLanguageFile("fr.cfg");

    cLocalization table;
    std::string localeName;
    std::wstring error;
    EXPECT_TRUE(table.LoadFromDirectory(folder.Wide(), "de", "AT", localeName, error));
    EXPECT_EQ(LoadedFile(table), "en_us.cfg");
    EXPECT_EQ(localeName, "en_us");
}

TEST(LocalizationLoadFromDirectory, UpperCaseNameDoesNotMatch)
{
    cLanguageFolder folder;
    folder.AddLanguageFile("EN_US.cfg");
    folder.AddLanguageFile("fr.cfg");
    std::vector<std::wstring> listed;
    ASSERT_TRUE(tavrin::ListFiles(folder.Wide() + L"*.cfg", listed));

    cLocalization table;
    std::string localeName;
    std::wstring error;
    EXPECT_TRUE(table.LoadFromDirectory(folder.Wide(), "en", "US", localeName, error));
    // Not an exact match: the first listed name is taken, whichever it is.
    EXPECT_EQ(LoadedFile(table), tavrin::Utf16ToUtf8(listed.front()));
    EXPECT_EQ(localeName + ".cfg", tavrin::Utf16ToUtf8(listed.front()));
}

TEST(LocalizationLoadFromDirectory, DirectoryForms)
{
    cLanguageFolder folder;
    folder.AddLanguageFile("en_us.cfg");
    std::wstring bare = folder.Wide().substr(0, folder.Wide().size() - 1);
    std::wstring slashed = bare + L"/";
    for (const std::wstring& directory : {bare, slashed}) {
        cLocalization table;
        std::string localeName;
        std::wstring error;
        EXPECT_TRUE(table.LoadFromDirectory(directory, "en", "US", localeName, error));
        EXPECT_EQ(LoadedFile(table), "en_us.cfg");
    }
    cLocalization table;
    std::string localeName = "stale";
    std::wstring error;
    EXPECT_FALSE(table.LoadFromDirectory(L"", "en", "US", localeName, error));
    EXPECT_EQ(error, L"No localization directory specified");
    EXPECT_TRUE(localeName.empty());
}

TEST(LocalizationSetup, LoadLocalizationForMergesAndReportsTheLocale)
{
    cLanguageFolder folder;
    ASSERT_TRUE(
        WriteBytes(folder.Wide() + L"de.cfg", "launcher:\n{\n btn_exit = Beenden;\n loading = LADEN;\n}\n"));
    ASSERT_TRUE(WriteBytes(folder.Wide() + L"en_us.cfg", "launcher:\n{\n btn_exit = Exit;\n}\n"));
    std::string directory = tavrin::Utf16ToUtf8(folder.Wide());
    cLocalization table;
    std::string localeName;
    EXPECT_TRUE(LoadLocalizationFor(table, directory, "de", "AT", localeName));
    EXPECT_EQ(localeName, "de");
    // The font fallback loads English into the same table.
    EXPECT_TRUE(LoadLocalizationFor(table, directory, "en", "us", localeName));
    EXPECT_EQ(localeName, "en_us");
    EXPECT_EQ(table.GetText("launcher.btn_exit", "?"), "Exit");
    EXPECT_EQ(table.GetText("launcher.loading", "?"), "LADEN");

    cLanguageFolder empty;
    cLocalization untouched;
    EXPECT_FALSE(LoadLocalizationFor(untouched, tavrin::Utf16ToUtf8(empty.Wide()), "de", "AT", localeName));
    EXPECT_EQ(untouched.GetText("launcher.btn_exit", "Exit"), "Exit");
}

TEST(LocalizationShippedFile, EnglishFileBesideTheLauncherLoads)
{
    std::wstring binary;
    if (!tavrin::GetEnvironmentValue(L"TAVRIN_BINARY_DIR", binary)) {
        GTEST_SKIP() << "TAVRIN_BINARY_DIR not set";
    }
    wchar_t full[MAX_PATH] = {};
    ASSERT_GT(GetFullPathNameW(binary.c_str(), MAX_PATH, full, nullptr), 0u);
    std::wstring directory = std::wstring(full) + L"\\bin\\Tavrin\\Localization";

    cLocalization table;
    std::string localeName;
    std::wstring error;
    EXPECT_TRUE(table.LoadFromDirectory(directory, "en", "US", localeName, error))
        << tavrin::Utf16ToUtf8(error);
    EXPECT_EQ(localeName, "en_us");
    EXPECT_EQ(table.GetText("launcher.btn_exit", "?"), "Exit");
}

// Collects the lines logged while it lives.
class cLogCapture {
public:
    cLogCapture()
    {
        Lines().clear();
        Logger.Worker.Start();
        Logger.InstallSink(&Capture, tavrin::Info);
        tavrin::gLogger = &Logger;
    }
    ~cLogCapture() { Finish(); }
    cLogCapture(const cLogCapture&) = delete;
    cLogCapture& operator=(const cLogCapture&) = delete;

    // Every line logged so far, "<level label>|<message>" without the time prefix.
    std::vector<std::string> Finish()
    {
        if (tavrin::gLogger == &Logger) {
            Logger.Worker.Drain();
            tavrin::gLogger = nullptr;
        }
        return Lines();
    }

private:
    static std::vector<std::string>& Lines()
    {
        static std::vector<std::string> lines;
        return lines;
    }
    static void Capture(uint32_t level, const char* line)
    {
        std::string text = line;
        size_t message = text.find("] ", text.find(tavrin::LogLevelLabel(level)));
        Lines().push_back(std::string(tavrin::LogLevelLabel(level)) + "|" +
                          (message == std::string::npos ? text : text.substr(message + 2)));
    }

    tavrin::cLogger Logger;
};

TEST(LocalizationSetup, LogsTheLoadedFileOrTheError)
{
    cLanguageFolder folder;
    ASSERT_TRUE(WriteBytes(folder.Wide() + L"de.cfg", "launcher:\n{\n btn_exit = Beenden;\n}\n"));
    // A folder name outside ASCII must reach the log intact.
    std::wstring emptyFolder = folder.Wide() + L"leer_\u00FC\\";
    ASSERT_TRUE(CreateDirectoryW(emptyFolder.c_str(), nullptr));

    cLogCapture capture;
    cLocalization table;
    std::string localeName;
    EXPECT_TRUE(LoadLocalizationFor(table, tavrin::Utf16ToUtf8(folder.Wide()), "de", "AT", localeName));
    EXPECT_FALSE(LoadLocalizationFor(table, tavrin::Utf16ToUtf8(emptyFolder), "de", "AT", localeName));
    std::vector<std::string> lines = capture.Finish();
    RemoveDirectoryW(emptyFolder.c_str());

    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Info|Localization file loaded, using 'de'.");
    EXPECT_EQ(lines[1], "Info|Failed to load localization file: 'File not found '" +
                            tavrin::Utf16ToUtf8(emptyFolder) + "en_us.cfg''.");
    EXPECT_NE(lines[1].find("leer_\xC3\xBC"), std::string::npos);
}

TEST(LocalizationSetup, DetectsLogsAndLoadsTheUserLocale)
{
    std::string expectedLanguage;
    std::string expectedRegion;
    ASSERT_TRUE(DetectUserLocale(expectedLanguage, expectedRegion));
    cLanguageFolder folder;
    std::string fileName = expectedLanguage + "_" + expectedRegion + ".cfg";
    for (char& c : fileName) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    folder.AddLanguageFile("aa.cfg");
    folder.AddLanguageFile(fileName);

    cLogCapture capture;
    cLocalization table;
    std::string language;
    std::string region;
    std::string localeName;
    SetupLocalization(table, tavrin::Utf16ToUtf8(folder.Wide()), language, region, localeName);
    std::vector<std::string> lines = capture.Finish();

    EXPECT_EQ(language, expectedLanguage);
    EXPECT_EQ(region, expectedRegion);
    EXPECT_EQ(LoadedFile(table), fileName);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Info|User locale: '" + language + "_" + region + "'.");
    EXPECT_EQ(lines[1], "Info|Localization file loaded, using '" + localeName + "'.");
}

// Run in a child process with a chosen LC_ALL: writes "<language>_<region>"
// (or "failed") to the file named by TAVRIN_LOCALE_OUT.
TEST(DetectUserLocaleChild, Report)
{
    std::wstring out;
    if (!tavrin::GetEnvironmentValue(L"TAVRIN_LOCALE_OUT", out)) {
        GTEST_SKIP() << "only run as a child of DetectUserLocale.FollowsTheProcessLocale";
    }
    std::string language;
    std::string region;
    std::string report = DetectUserLocale(language, region) ? language + "_" + region : "failed";
    ASSERT_TRUE(WriteBytes(out, report));
}

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Wine fixes a process's locale from the Unix environment it was started
// with, which a Windows child inherits from its parent whatever its own
// environment block says. A fresh Wine process started from the Unix side
// takes LC_ALL as given.
using UnixSpawnFn = LONG(__cdecl*)(char* const argv[], int wait);
using UnixFileNameFn = char*(__cdecl*)(const wchar_t* path);

struct cWineHelpers {
    UnixSpawnFn Spawn = nullptr;
    UnixFileNameFn UnixFileName = nullptr;

    cWineHelpers()
    {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
        if (ntdll && kernel32) {
            Spawn = reinterpret_cast<UnixSpawnFn>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "__wine_unix_spawnvp")));
            UnixFileName = reinterpret_cast<UnixFileNameFn>(
                reinterpret_cast<void*>(GetProcAddress(kernel32, "wine_get_unix_file_name")));
        }
    }
    bool Available() const { return Spawn && UnixFileName; }

    std::string UnixPath(const std::wstring& path) const
    {
        char* unixPath = UnixFileName(path.c_str());
        std::string result = unixPath ? unixPath : "";
        HeapFree(GetProcessHeap(), 0, unixPath);
        return result;
    }
};

std::string RunChildWithLocale(const cWineHelpers& wine, const std::string& lcAll,
                               const std::wstring& outPath)
{
    std::vector<std::string> words = {
        "/usr/bin/env",
        "LC_ALL=" + lcAll,
        "TAVRIN_LOCALE_OUT=" + tavrin::Utf16ToUtf8(outPath),
        "wine",
        wine.UnixPath(OwnPath()),
        "--gtest_filter=DetectUserLocaleChild.Report",
        "--gtest_brief=1",
    };
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    wine.Spawn(argv.data(), 1);
    std::vector<uint8_t> bytes;
    if (!tavrin::ReadFileBytes(outPath.c_str(), bytes, 64)) {
        return "no report";
    }
    return std::string(bytes.begin(), bytes.end());
}

TEST(DetectUserLocale, FollowsTheProcessLocale)
{
    struct Case {
        const char* lcAll;
        const char* expected;
    };
    cWineHelpers wine;
    if (!wine.Available()) {
        GTEST_SKIP() << "needs Wine to start a process with another locale";
    }
    const Case cases[] = {
        {"de_AT.UTF-8", "de_AT"}, {"en_US.UTF-8", "en_US"}, {"fr_CA.UTF-8", "fr_CA"},
        {"zh_HK.UTF-8", "zh_HK"}, {"pt_BR", "pt_BR"},
    };
    cLanguageFolder folder;
    for (const Case& c : cases) {
        std::wstring out = folder.Wide() + L"locale.txt";
        DeleteFileW(out.c_str());
        EXPECT_EQ(RunChildWithLocale(wine, c.lcAll, out), c.expected) << c.lcAll;
    }
}

TEST(DetectUserLocale, ReportsTheCurrentUser)
{
    std::string language;
    std::string region;
    ASSERT_TRUE(DetectUserLocale(language, region));
    EXPECT_GE(language.size(), 2u);
    EXPECT_GE(region.size(), 2u);
}

}  // namespace
}  // namespace tavrin::launcher
