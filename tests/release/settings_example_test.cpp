// The settings example shipped in the release archive loads as it stands,
// and its description names every key.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "base/json_reader.h"
#include "settings/settings.h"

namespace tavrin {
namespace {

std::string ReadReleaseFile(const std::string& name)
{
    const char* source = std::getenv("TAVRIN_SOURCE_DIR");
    std::ifstream file(std::string(source ? source : ".") + "/tools/release/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(SettingsExample, LoadsWithEveryKeyDescribed)
{
    const std::string json = ReadReleaseFile("Settings.json");
    const std::string text = ReadReleaseFile("Settings.txt");
    ASSERT_FALSE(json.empty());
    ASSERT_FALSE(text.empty());

    JsonReader reader;
    ASSERT_TRUE(reader.Scan(json));
    cSettings settings;
    ASSERT_TRUE(settings.ReadFrom(reader)) << "status " << settings.Status << " " << settings.InvalidField;
    EXPECT_EQ(settings.Executable, "Game.exe");
    EXPECT_EQ(settings.Title, "");
    EXPECT_FALSE(settings.IsDevelopmentEnvironment());
    EXPECT_FALSE(settings.WaitForGameProcessExit || settings.HideGui || settings.HideBootstrapper ||
                 settings.HideLogoAnimation);

    for (const char* key :
         {"productid", "sandboxid", "deploymentid", "executable", "title", "requested_splash", "environment",
          "wait_for_game_process_exit", "hide_gui", "hide_bootstrapper", "hide_logo_animation"}) {
        EXPECT_NE(json.find(std::string("\"") + key + "\""), std::string::npos) << key;
        EXPECT_NE(text.find(std::string("  ") + key + " "), std::string::npos) << key;
    }
}

}  // namespace
}  // namespace tavrin
