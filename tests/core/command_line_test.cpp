#include "core/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tavrin::launcher;

namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, Cases)
{
    const struct {
        const char* Line;
        Args Expected;
    } cases[] = {
        {"launcher.exe", {}},
        {"\"C:\\Program Files\\launcher.exe\"", {}},
        {"\"C:\\Program Files\\launcher.exe\" -v", {"-v"}},
        {"\"C:\\unterminated", {}},
        {"launcher.exe   \t a  b\tc  ", {"a", "b", "c"}},
        {"l.exe \"C:\\My Games\\x.exe\" second", {"\"C:\\My Games\\x.exe\"", "second"}},
        {"l.exe -anticheat_settings=\"Custom Settings.json\" -v",
         {"-anticheat_settings=\"Custom Settings.json\"", "-v"}},
        // One backslash protects the quote, two do not.
        {"l.exe \"a\\\" b\" c", {"\"a\\\" b\"", "c"}},
        {"l.exe \"a\\\\\" b", {"\"a\\\\\"", "b"}},
        {"l.exe \"open quote to the end", {"\"open quote to the end"}},
        {"l.exe \xC3\xA9t\xC3\xA9 'x y'", {"\xC3\xA9t\xC3\xA9", "'x", "y'"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitCommandLine(c.Line), c.Expected) << c.Line;
    }
    EXPECT_TRUE(SplitCommandLine(nullptr).empty());
}

TEST(VerboseOption, OnlyExactWholeArguments)
{
    EXPECT_TRUE(IsVerboseOption("-v"));
    EXPECT_TRUE(IsVerboseOption("--verbose"));
    for (const char* other : {"-V", "--Verbose", "-verbose", "-vv", "v", " -v", ""}) {
        EXPECT_FALSE(IsVerboseOption(other)) << other;
    }
    EXPECT_EQ(LogLevelFromArguments({"-game", "-v"}), 5u);
    EXPECT_EQ(LogLevelFromArguments({"x", "--verbose", "y"}), 5u);
    EXPECT_EQ(LogLevelFromArguments({"-V", "--Verbose"}), 3u);
    EXPECT_EQ(LogLevelFromArguments({}), 3u);
}

TEST(SettingsOption, Cases)
{
    const struct {
        const char* Name;
        Args Arguments;
        std::string FileName;
        Args Remaining;
    } cases[] = {
        {"none", {"-v", "-windowed"}, "Settings.json", {"-v", "-windowed"}},
        {"quoted name",
         {"-anticheat_settings=\"Custom Settings.json\"", "-v"},
         "Custom Settings.json",
         {"-v"}},
        {"quoted whole", {"\"-anticheat_settings=A.json\""}, "A.json", {}},
        {"single quotes", {"-anticheat_settings='B.json'"}, "B.json", {}},
        {"double dash", {"--anticheat_settings=Other.json"}, "Other.json", {}},
        {"prefixed",
         {"x-anticheat_settings=Other.json"},
         "Settings.json",
         {"x-anticheat_settings=Other.json"}},
        {"triple dash",
         {"---anticheat_settings=Other.json"},
         "Settings.json",
         {"---anticheat_settings=Other.json"}},
        {"empty name", {"-anticheat_settings="}, "", {}},
        {"duplicates removed, first read",
         {"a", "-anticheat_settings=One.json", "b", "-anticheat_settings=One.json",
          "-anticheat_settings=Two.json"},
         "One.json",
         {"a", "b", "-anticheat_settings=Two.json"}},
        {"first rejected, second accepted",
         {"x-anticheat_settings=No.json", "-anticheat_settings=Yes.json"},
         "Yes.json",
         {"x-anticheat_settings=No.json"}},
        {"case matters", {"-AntiCheat_Settings=X.json"}, "Settings.json", {"-AntiCheat_Settings=X.json"}},
    };
    for (const auto& c : cases) {
        Args arguments = c.Arguments;
        std::string fileName = "stale";
        ReadSettingsOption(arguments, fileName);
        EXPECT_EQ(fileName, c.FileName) << c.Name;
        EXPECT_EQ(arguments, c.Remaining) << c.Name;
    }
}

TEST(LauncherPaths, DirectoryOfPath)
{
    const struct {
        std::string Path;
        uint32_t Result;
        std::string Directory;
    } cases[] = {
        {"C:\\Games\\x\\launcher.exe", DirectoryFound, "C:\\Games\\x\\"},
        {"/home/u/launcher.exe", DirectoryFound, "/home/u/"},
        {"C:\\a/b\\c/launcher.exe", DirectoryFound, "C:\\a/b\\c/"},
        {"launcher.exe", DirectoryNone, ""},
        {"C:\\Games\\", DirectoryNone, ""},
        {"", DirectoryNone, ""},
    };
    for (const auto& c : cases) {
        std::string directory = "stale";
        EXPECT_EQ(DirectoryOfPath(c.Path, directory), c.Result) << c.Path;
        EXPECT_EQ(directory, c.Directory) << c.Path;
    }
}

TEST(LauncherPaths, IconPathCountsOnlyBackslashes)
{
    EXPECT_EQ(IconPathFor("C:\\Games\\launcher.exe"), "C:\\Games\\Tavrin\\BootstrapperIcon.ico");
    EXPECT_EQ(IconPathFor("C:/Games/launcher.exe"), "Tavrin\\BootstrapperIcon.ico");
    EXPECT_EQ(IconPathFor(""), "Tavrin\\BootstrapperIcon.ico");
}

}  // namespace
