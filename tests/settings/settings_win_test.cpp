#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "settings/files_win.h"
#include "settings/json_reader.h"
#include "settings/settings.h"

using tavrin::cSettings;
using tavrin::JsonReader;

namespace {

// A fresh folder under the temporary directory, removed with its files.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& leaf) {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        Path = std::wstring(base) + leaf + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(Path.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((Path + L"*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileW((Path + data.cFileName).c_str());
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        RemoveDirectoryW(Path.c_str());
    }
    std::wstring File(const std::wstring& name) const { return Path + name; }
    std::string Utf8(const std::wstring& name) const { return tavrin::Utf16ToUtf8(File(name)); }

    std::wstring Path;
};

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

constexpr const char* kValid =
    "{\n  \"productid\": \"prod-1\",\n  \"sandboxid\": \"sand-2\",\n  \"deploymentid\": \"dep-3\",\n"
    "  \"executable\": \"Game\\\\Game.exe\",\n  \"hide_gui\": \"1\"\n}\n";

TEST(JsonReaderLoad, ErrorTexts) {
    TempFolder folder(L"tavrin-json-");
    WriteBytes(folder.File(L"empty.json"), "");
    JsonReader reader;
    std::string error = "stale";
    EXPECT_FALSE(reader.Load(L"", error));
    EXPECT_EQ(error, "Json parser provided with an empty path!");
    EXPECT_FALSE(reader.Load(folder.File(L"missing.json"), error));
    EXPECT_EQ(error, "Could not read the .json file!");
    EXPECT_FALSE(reader.Load(folder.File(L"empty.json"), error));
    EXPECT_EQ(error, "Could not read the .json file!");
    EXPECT_FALSE(reader.Load(folder.Path, error));
    EXPECT_EQ(error, "Could not read the .json file!");
}

TEST(JsonReaderLoad, ReadsWholeFileUnderUnicodePath) {
    TempFolder folder(L"tavrin-json-\u00e9\u4e2d-");
    WriteBytes(folder.File(L"Settings \u00e9.json"), std::string("\xEF\xBB\xBF") + kValid);
    JsonReader reader;
    std::string error = "stale";
    ASSERT_TRUE(reader.Load(folder.File(L"Settings \u00e9.json"), error));
    EXPECT_TRUE(error.empty());
    std::string exe;
    EXPECT_TRUE(reader.GetString("executable", exe));
    EXPECT_EQ(exe, "Game\\Game.exe");
}

TEST(ReadSettingsFile, StatusesFromRealFiles) {
    TempFolder folder(L"tavrin-settings-\u00fc-");
    const struct {
        const wchar_t* Name;
        std::string Content;
        bool Write;
        int32_t Status;
    } cases[] = {
        {L"valid.json", kValid, true, tavrin::SettingsLoaded},
        {L"bom.json", std::string("\xEF\xBB\xBF") + kValid, true, tavrin::SettingsLoaded},
        {L"crlf.json", "{\r\n\"productid\": \"pp\",\r\n\"sandboxid\": \"ss\",\r\n\"deploymentid\": \"dd\",\r\n"
                       "\"executable\": \"g.exe\"\r\n}\r\n", true, tavrin::SettingsLoaded},
        {L"missing.json", "", false, tavrin::SettingsFileNotRead},
        {L"empty.json", "", true, tavrin::SettingsFileNotRead},
        {L"one-byte.json", "{", true, tavrin::SettingsMissingField},
        {L"no-sandbox.json", R"({"productid": "pp", "deploymentid": "dd", "executable": "g.exe"})", true,
         tavrin::SettingsMissingField},
        {L"short-id.json", R"({"productid": "p", "sandboxid": "ss", "deploymentid": "dd", "executable": "g"})",
         true, tavrin::SettingsInvalidIdentifier},
    };
    for (const auto& c : cases) {
        if (c.Write) {
            WriteBytes(folder.File(c.Name), c.Content);
        }
        cSettings settings;
        settings.HideBootstrapper = true;  // reset by the read
        EXPECT_EQ(settings.ReadSettingsFile(folder.Utf8(c.Name)), c.Status == tavrin::SettingsLoaded);
        EXPECT_EQ(settings.Status, c.Status) << tavrin::Utf16ToUtf8(c.Name);
        EXPECT_FALSE(settings.HideBootstrapper);
    }
    cSettings settings;
    ASSERT_TRUE(settings.ReadSettingsFile(folder.Utf8(L"valid.json")));
    EXPECT_TRUE(settings.HideGui);
    EXPECT_EQ(settings.Executable, "Game\\Game.exe");
    EXPECT_FALSE(settings.ReadSettingsFile(""));
    EXPECT_EQ(settings.Status, tavrin::SettingsFileNotRead);
}

}  // namespace
