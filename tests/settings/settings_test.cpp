#include "settings/settings.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "base/json_reader.h"
#include "localization/localization.h"
#include "logging/logger.h"

using tavrin::cSettings;
using tavrin::JsonReader;
using tavrin::launcher::cLocalization;

namespace {

constexpr const char* kValid =
    R"({"productid": "prod-1", "sandboxid": "sand-2", "deploymentid": "dep-3", "executable": "Game.exe"})";

cSettings ReadText(const std::string& text)
{
    JsonReader reader;
    EXPECT_TRUE(reader.Scan(text));
    cSettings settings;
    settings.ReadFrom(reader);
    return settings;
}

std::string WithKey(const std::string& key, const std::string& value)
{
    std::string text = kValid;
    text.insert(1, "\"" + key + "\": \"" + value + "\", ");
    return text;
}

TEST(SettingsRecord, DefaultsBeforeLoading)
{
    const cSettings settings;
    EXPECT_EQ(settings.Status, tavrin::SettingsNotLoaded);
    EXPECT_TRUE(settings.ProductId.empty());
    EXPECT_FALSE(settings.WaitForGameProcessExit || settings.HideGui || settings.HideBootstrapper ||
                 settings.HideLogoAnimation);
}

TEST(SettingsRecord, ReadsRequiredAndOptionalKeys)
{
    const cSettings s = ReadText(
        R"({"productid": "prod-1", "sandboxid": "sand-2", "deploymentid": "dep-3",
            "executable": "bin\\Game.exe", "requested_splash": "splash.png",
            "wait_for_game_process_exit": "1", "title": "My Game", "environment": "gamedev",
            "hide_gui": "true", "hide_bootstrapper": "0", "hide_logo_animation": "9"})");
    EXPECT_EQ(s.Status, tavrin::SettingsLoaded);
    EXPECT_EQ(s.ProductId, "prod-1");
    EXPECT_EQ(s.SandboxId, "sand-2");
    EXPECT_EQ(s.DeploymentId, "dep-3");
    EXPECT_EQ(s.Executable, "bin\\Game.exe");
    EXPECT_EQ(s.RequestedSplash, "splash.png");
    EXPECT_EQ(s.Title, "My Game");
    EXPECT_TRUE(s.IsDevelopmentEnvironment());
    EXPECT_TRUE(s.WaitForGameProcessExit);
    EXPECT_TRUE(s.HideGui);
    EXPECT_FALSE(s.HideBootstrapper);
    EXPECT_TRUE(s.HideLogoAnimation);
    EXPECT_TRUE(s.InvalidField.empty());
}

TEST(SettingsRecord, WrongKindOrUnquotedOptionsStayDefault)
{
    std::string text = kValid;
    text.insert(
        1,
        R"("hide_gui": "yes", "wait_for_game_process_exit": true, "title": "1", "environment": "Gamedev", )");
    const cSettings s = ReadText(text);
    EXPECT_EQ(s.Status, tavrin::SettingsLoaded);
    EXPECT_FALSE(s.HideGui);
    EXPECT_FALSE(s.WaitForGameProcessExit);
    EXPECT_TRUE(s.Title.empty());
    EXPECT_FALSE(s.IsDevelopmentEnvironment());
}

TEST(SettingsRecord, Statuses)
{
    const struct {
        const char* Name;
        std::string Text;
        int32_t Status;
        const char* InvalidField;
    } cases[] = {
        {"valid", kValid, tavrin::SettingsLoaded, ""},
        {"no sandboxid", R"({"productid": "pp", "deploymentid": "dd", "executable": "g.exe"})",
         tavrin::SettingsMissingField, ""},
        {"no executable", R"({"productid": "pp", "sandboxid": "ss", "deploymentid": "dd"})",
         tavrin::SettingsMissingField, ""},
        {"digit productid is not a string",
         R"({"productid": "7", "sandboxid": "ss", "deploymentid": "dd", "executable": "g.exe"})",
         tavrin::SettingsMissingField, ""},
        {"malformed", "{productid: pp}", tavrin::SettingsMissingField, ""},
        {"one-character productid", WithKey("productid", "p"), tavrin::SettingsInvalidIdentifier,
         "productid"},
        {"empty sandboxid counts as present", WithKey("sandboxid", ""), tavrin::SettingsInvalidIdentifier,
         "sandboxid"},
        {"underscore in deploymentid", WithKey("deploymentid", "dep_3"), tavrin::SettingsInvalidIdentifier,
         "deploymentid"},
        {"65 characters", WithKey("productid", std::string(65, 'a')), tavrin::SettingsInvalidIdentifier,
         "productid"},
        {"64 characters", WithKey("productid", std::string(60, 'a') + "-b-c"), tavrin::SettingsLoaded, ""},
        {"empty executable is fine", WithKey("executable", ""), tavrin::SettingsLoaded, ""},
    };
    for (const auto& c : cases) {
        const cSettings s = ReadText(c.Text);
        EXPECT_EQ(s.Status, c.Status) << c.Name;
        EXPECT_EQ(s.InvalidField, c.InvalidField) << c.Name;
    }
}

TEST(SettingsRecord, ReadingAgainStartsFromDefaults)
{
    cSettings s = ReadText(WithKey("hide_gui", "1"));
    ASSERT_TRUE(s.HideGui);
    JsonReader reader;
    ASSERT_TRUE(reader.Scan(R"({"productid": "pp"})"));
    EXPECT_FALSE(s.ReadFrom(reader));
    EXPECT_FALSE(s.HideGui);
    EXPECT_EQ(s.Status, tavrin::SettingsMissingField);
}

TEST(SettingsPaths, PathAndLoadErrorText)
{
    EXPECT_EQ(tavrin::BuildSettingsPath("C:\\Games\\", "Settings.json"), "C:\\Games\\Tavrin\\Settings.json");
    EXPECT_EQ(tavrin::FormatSettingsLoadError(-2), "Failed to parse the settings file with: 0xFFFFFFFE.");
    EXPECT_EQ(tavrin::FormatSettingsLoadError(-5), "Failed to parse the settings file with: 0xFFFFFFFB.");
    EXPECT_EQ(tavrin::FormatSettingsLoadError(0), "Failed to parse the settings file with: 0x0.");
}

TEST(SettingsErrorText, BuiltInTexts)
{
    const cLocalization builtIn;
    const struct {
        const char* Name;
        std::string Text;
        std::string FileName;
        std::string Expected;
    } cases[] = {
        {"invalid identifier", WithKey("productid", "p"), "Settings.json",
         "Settings.json contains an invalid QRV identifier: (productid)"},
        {"missing sandboxid", R"({"productid": "pp", "deploymentid": "dd", "executable": "g.exe"})",
         "Settings.json", "Settings.json is missing a required field (sandboxid)"},
        {"missing productid", R"({"sandboxid": "ss"})", "Settings.json",
         "Settings.json is missing a required field (productid)"},
        {"missing deploymentid", R"({"productid": "pp", "sandboxid": "ss"})", "Other.json",
         "Other.json is missing a required field (deploymentid)"},
        {"missing executable", R"({"productid": "pp", "sandboxid": "ss", "deploymentid": "dd"})",
         "Settings.json", "Settings.json is missing a required field (executable)"},
        {"loaded", kValid, "Settings.json", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadText(c.Text).BuildSettingsErrorText(c.FileName, builtIn), c.Expected) << c.Name;
    }
}

TEST(SettingsErrorText, NotFoundNotLoadedAndNoneMissing)
{
    const cLocalization builtIn;
    cSettings s;
    EXPECT_EQ(s.BuildSettingsErrorText("Settings.json", builtIn), "");
    s.Status = tavrin::SettingsFileNotRead;
    EXPECT_EQ(s.BuildSettingsErrorText("Other.json", builtIn), "Other.json not found");
    // A missing-field status with every field set names nothing in particular.
    s = ReadText(kValid);
    s.Status = tavrin::SettingsMissingField;
    EXPECT_EQ(s.BuildSettingsErrorText("Settings.json", builtIn),
              "Settings.json is missing a required field (N/A)");
}

TEST(SettingsErrorText, UsesTheLoadedLanguage)
{
    cLocalization german;
    std::wstring error;
    ASSERT_TRUE(german.LoadText("launcher:\n{\n  error_no_settings_file = \"{0} fehlt\";\n}\n", error));
    cSettings s;
    s.Status = tavrin::SettingsFileNotRead;
    EXPECT_EQ(s.BuildSettingsErrorText("Settings.json", german), "Settings.json fehlt");
}

// Collects sink lines; the logger calls the sink on its worker thread.
std::mutex gLinesLock;
std::vector<std::string> gLines;
void CollectLine(uint32_t, const char* line)
{
    std::lock_guard<std::mutex> guard(gLinesLock);
    gLines.emplace_back(line);
}

TEST(SettingsPrint, LogsTheDocumentedLines)
{
    gLines.clear();
    tavrin::cLogger logger;
    logger.InstallSink(CollectLine, tavrin::Info);
    tavrin::gLogger = &logger;
    ASSERT_TRUE(logger.Worker.Start());
    cSettings s = ReadText(WithKey("hide_bootstrapper", "1"));
    s.PrintSettings();
    logger.Worker.Drain();
    tavrin::gLogger = nullptr;

    const char* expected[] = {
        "Provided settings:",
        " - ProcessTitle: N/A.",
        " - ExecutablePath: Game.exe.",
        " - ProductId: prod-1.",
        " - SandboxId: sand-2.",
        " - DeploymentId: dep-3.",
        " - RequestedSplashScreen: N/A.",
        " - WaitForGameProcessExit: false.",
        " - HideGUI: false.",
        " - HideBootstrapper: true.",
    };
    ASSERT_EQ(gLines.size(), std::size(expected));
    for (size_t i = 0; i < gLines.size(); ++i) {
        const std::string suffix = std::string("[Info] ") + expected[i];
        EXPECT_TRUE(gLines[i].ends_with(suffix)) << gLines[i];
    }
}

}  // namespace
