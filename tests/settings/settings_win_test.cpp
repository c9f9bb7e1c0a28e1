#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/files_win.h"
#include "base/json_reader.h"
#include "settings/settings.h"
#include "test_support/scratch_folder_win.h"

using tavrin::cSettings;
using tavrin::JsonReader;

namespace {

using tavrin::test::cScratchFolder;
using tavrin::test::WriteBytes;

constexpr const char* kValid =
    "{\n  \"productid\": \"prod-1\",\n  \"sandboxid\": \"sand-2\",\n  \"deploymentid\": \"dep-3\",\n"
    "  \"executable\": \"Game\\\\Game.exe\",\n  \"hide_gui\": \"1\"\n}\n";

TEST(JsonReaderLoad, ErrorTexts)
{
    cScratchFolder folder(L"tavrin-json-");
    ASSERT_TRUE(WriteBytes(folder.File(L"empty.json"), ""));
    JsonReader reader;
    std::string error = "stale";
    EXPECT_FALSE(reader.Load(L"", error));
    EXPECT_EQ(error, "Json parser provided with an empty path!");
    EXPECT_FALSE(reader.Load(folder.File(L"missing.json"), error));
    EXPECT_EQ(error, "Could not read the .json file!");
    EXPECT_FALSE(reader.Load(folder.File(L"empty.json"), error));
    EXPECT_EQ(error, "Could not read the .json file!");
    EXPECT_FALSE(reader.Load(folder.Wide(), error));
    EXPECT_EQ(error, "Could not read the .json file!");
}

TEST(JsonReaderLoad, ReadsWholeFileUnderUnicodePath)
{
    cScratchFolder folder(L"tavrin-json-\u00e9\u4e2d-");
    ASSERT_TRUE(WriteBytes(folder.File(L"Settings \u00e9.json"), std::string("\xEF\xBB\xBF") + kValid));
    JsonReader reader;
    std::string error = "stale";
    ASSERT_TRUE(reader.Load(folder.File(L"Settings \u00e9.json"), error));
    EXPECT_TRUE(error.empty());
    std::string exe;
    EXPECT_TRUE(reader.GetString("executable", exe));
    EXPECT_EQ(exe, "Game\\Game.exe");
}

TEST(ReadSettingsFile, StatusesFromRealFiles)
{
    cScratchFolder folder(L"tavrin-settings-\u00fc-");
    const struct {
        const wchar_t* Name;
        std::string Content;
        bool Write;
        int32_t Status;
    } cases[] = {
        {L"valid.json", kValid, true, tavrin::SettingsLoaded},
        {L"bom.json", std::string("\xEF\xBB\xBF") + kValid, true, tavrin::SettingsLoaded},
        {L"crlf.json",
         "{\r\n\"productid\": \"pp\",\r\n\"sandboxid\": \"ss\",\r\n\"deploymentid\": \"dd\",\r\n"
         "\"executable\": \"g.exe\"\r\n}\r\n",
         true, tavrin::SettingsLoaded},
        {L"missing.json", "", false, tavrin::SettingsFileNotRead},
        {L"empty.json", "", true, tavrin::SettingsFileNotRead},
        {L"one-byte.json", "{", true, tavrin::SettingsMissingField},
        {L"no-sandbox.json", R"({"productid": "pp", "deploymentid": "dd", "executable": "g.exe"})", true,
         tavrin::SettingsMissingField},
        {L"short-id.json",
         R"({"productid": "p", "sandboxid": "ss", "deploymentid": "dd", "executable": "g"})", true,
         tavrin::SettingsInvalidIdentifier},
    };
    for (const auto& c : cases) {
        if (c.Write) {
            ASSERT_TRUE(WriteBytes(folder.File(c.Name), c.Content));
        }
        cSettings settings;
        settings.HideBootstrapper = true;  // reset by the read
        EXPECT_EQ(settings.ReadSettingsFile(tavrin::Utf16ToUtf8(folder.File(c.Name))),
                  c.Status == tavrin::SettingsLoaded);
        EXPECT_EQ(settings.Status, c.Status) << tavrin::Utf16ToUtf8(c.Name);
        EXPECT_FALSE(settings.HideBootstrapper);
    }
    cSettings settings;
    ASSERT_TRUE(settings.ReadSettingsFile(tavrin::Utf16ToUtf8(folder.File(L"valid.json"))));
    EXPECT_TRUE(settings.HideGui);
    EXPECT_EQ(settings.Executable, "Game\\Game.exe");
    EXPECT_FALSE(settings.ReadSettingsFile(""));
    EXPECT_EQ(settings.Status, tavrin::SettingsFileNotRead);
}

}  // namespace
