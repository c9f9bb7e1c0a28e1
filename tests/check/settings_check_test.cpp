#include <gtest/gtest.h>

#include <string>

#include "check/settings_check.h"

namespace tavrin::check {
namespace {

using std::string;

// The four required keys, valid; cases add or replace lines around them.
const string kRequired = R"(  "productid": "prod-1",
  "sandboxid": "sand-1",
  "deploymentid": "dep-1",
  "executable": "bin\\Game.exe")";

string Object(const string& body) { return "{\n" + body + "\n}\n"; }

struct Checked {
    cReport Report;
    cSettings Seen;
};

Checked Check(const string& text)
{
    Checked result;
    CheckSettingsText(text, "Settings.json", result.Report, result.Seen);
    return result;
}

TEST(SettingsCheck, CleanFileLaunchesWithoutFindingsAndListsWhatTheLauncherSees)
{
    Checked checked = Check(Object(kRequired + R"(,
  "title": "My Game",
  "environment": "gamedev",
  "hide_gui": "1")"));
    EXPECT_TRUE(checked.Report.Findings().empty()) << checked.Report.Format();
    EXPECT_EQ(checked.Seen.Executable, "bin\\Game.exe");
    EXPECT_TRUE(checked.Seen.HideGui);
    const string out = checked.Report.Format();
    EXPECT_NE(out.find("  executable: 'bin\\Game.exe'"), string::npos) << out;
    EXPECT_NE(out.find("'gamedev' (development CDN)"), string::npos) << out;
    EXPECT_NE(out.find("the folder will launch."), string::npos) << out;
}

// Each case: the file, the severity and a fragment of the one finding that
// names the cause, and the line it points at (0: not checked).
struct QuirkCase {
    const char* Name;
    string Text;
    Severity Level;
    const char* Fragment;
    int Line;
};

class SettingsQuirks : public testing::TestWithParam<QuirkCase> {};

TEST_P(SettingsQuirks, AreReportedWhereTheyBite)
{
    const QuirkCase& c = GetParam();
    Checked checked = Check(c.Text);
    bool found = false;
    for (const Finding& item : checked.Report.Findings()) {
        if (item.Level == c.Level && item.Text.find(c.Fragment) != string::npos) {
            found = true;
            if (c.Line != 0) {
                EXPECT_EQ(item.Line, c.Line) << item.Text;
            }
        }
    }
    EXPECT_TRUE(found) << checked.Report.Format();
    EXPECT_EQ(checked.Report.HasErrors(), checked.Seen.Status != SettingsLoaded);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsQuirks,
    testing::Values(
        QuirkCase{
            "UnquotedValueTakesTheNextKey",
            Object(kRequired + ",\n  \"hide_gui\": true,\n  \"title\": \"T\""), Severity::Warning,
            "unquoted value (true): the launcher only reads quoted values and takes the next quoted text, "
            "'title'",
            6},
        QuirkCase{"CommaInsideValue",
                  Object(kRequired + ",\n  \"title\": \"A, B\",\n  \"environment\": \"gamedev\""),
                  Severity::Warning, "holds a comma", 6},
        QuirkCase{"KeyFoundInsideAnotherValue",
                  Object(kRequired + ",\n  \"title\": \"A, B\",\n  \"environment\": \"gamedev\""),
                  Severity::Warning, "finds a key ',\\x0A  ' with the value 'gamedev' inside another value",
                  6},
        QuirkCase{"KeyLostBehindAComma",
                  Object(kRequired + ",\n  \"title\": \"A, B\",\n  \"environment\": \"gamedev\""),
                  Severity::Warning, "does not find \"environment\"", 7},
        QuirkCase{"EscapedQuote", Object(kRequired + ",\n  \"title\": \"Say \\\"hi\\\"\""), Severity::Warning,
                  "holds an escaped quote", 6},
        QuirkCase{"ByteOrderMark", "\xEF\xBB\xBF" + Object(kRequired), Severity::Warning, "byte-order mark",
                  1},
        QuirkCase{"MissingRequiredKey",
                  Object(R"("productid": "prod-1", "deploymentid": "dep-1", "executable": "x")"),
                  Severity::Error, "is missing a required field (sandboxid)", 0},
        QuirkCase{
            "MisspeltKey",
            Object(R"("productid": "prod-1", "sandboxid": "s1", "deploymentId": "dep-1", "executable": "x")"),
            Severity::Warning, "unknown key \"deploymentId\": did you mean \"deploymentid\"?", 2},
        QuirkCase{
            "InvalidIdentifier",
            Object(R"("productid": "p", "sandboxid": "s1", "deploymentid": "dep-1", "executable": "x")"),
            Severity::Error, "contains an invalid QRV identifier: (productid)", 0},
        QuirkCase{"FlagThatIsNoFlag", Object(kRequired + ",\n  \"hide_gui\": \"yes\""), Severity::Warning,
                  "is not \"true\", \"false\" or one digit", 6},
        QuirkCase{"TextTakenAsFlag", Object(kRequired + ",\n  \"title\": \"1\""), Severity::Warning,
                  "taken as a boolean", 6},
        QuirkCase{"EnvironmentCase", Object(kRequired + ",\n  \"environment\": \"Gamedev\""),
                  Severity::Warning, "only \"gamedev\", exactly", 0},
        QuirkCase{"DuplicateKey", Object(kRequired + ",\n  \"title\": \"a\",\n  \"title\": \"b\""),
                  Severity::Warning, "\"title\" appears again", 7},
        QuirkCase{"DoubledBackslashesCollapse", Object(kRequired + ",\n  \"title\": \"a\\\\\\\\b\""),
                  Severity::Warning, "reads \"title\" as 'a\\b' where the JSON means 'a\\\\b'", 6},
        QuirkCase{"JsonEscapeKeptAsWritten", Object(kRequired + ",\n  \"title\": \"a\\tb\""),
                  Severity::Warning, "keeps it as written", 6},
        QuirkCase{"BrokenJson", Object(kRequired + ",\n  \"title\" \"x\""), Severity::Warning,
                  "not valid JSON", 6},
        QuirkCase{"EmptyFile", "", Severity::Error, "the file is empty", 0}),
    [](const testing::TestParamInfo<QuirkCase>& info) { return string(info.param.Name); });

TEST(SettingsCheck, UnquotedFlagStaysFalseAndTheNextKeyIsStillRead)
{
    Checked checked = Check(Object(kRequired + ",\n  \"hide_gui\": true,\n  \"title\": \"T\""));
    EXPECT_EQ(checked.Seen.Status, SettingsLoaded);
    EXPECT_FALSE(checked.Seen.HideGui);
    EXPECT_EQ(checked.Seen.Title, "T");
    EXPECT_NE(checked.Report.Format().find("  hide_gui: false"), string::npos);
}

TEST(SettingsCheck, HostileBytesReachTheConsoleEscaped)
{
    Checked checked = Check(Object(kRequired + ",\n  \"title\": \"\x1b[2Jx\""));
    const string out = checked.Report.Format();
    EXPECT_EQ(out.find('\x1b'), string::npos);
    EXPECT_NE(out.find("\\x1B[2Jx"), string::npos) << out;
}

TEST(SettingsCheck, NearestNameAllowsTwoEditsOrACaseDifference)
{
    const std::vector<std::string_view> names = {"title", "hide_gui"};
    EXPECT_EQ(NearestName("TITLE", names), "title");
    EXPECT_EQ(NearestName("hidegui", names), "hide_gui");
    EXPECT_EQ(NearestName("colour", names), "");
    EXPECT_EQ(NearestName(string(1000, 'a'), names), "");
}

}  // namespace
}  // namespace tavrin::check
