#include <gtest/gtest.h>

#include <string>

#include "check/localization_check.h"

namespace tavrin::check {
namespace {

using std::string;

string Launcher(const string& entries) { return "launcher:\n{\n" + entries + "}\n"; }

struct CfgCase {
    const char* Name;
    string Text;
    const char* Fragment;
    int Line;
};

class LocalizationQuirks : public testing::TestWithParam<CfgCase> {};

TEST_P(LocalizationQuirks, AreReportedOnTheirLine)
{
    const CfgCase& c = GetParam();
    cReport report;
    CheckLocalizationText(c.Text, "de.cfg", report);
    bool found = false;
    for (const Finding& item : report.Findings()) {
        if (item.Text.find(c.Fragment) != string::npos) {
            found = true;
            EXPECT_EQ(item.Line, c.Line) << item.Text;
        }
    }
    EXPECT_TRUE(found) << report.Format();
    EXPECT_FALSE(report.HasErrors()) << "a language file never stops the launch";
}

INSTANTIATE_TEST_SUITE_P(
    Table, LocalizationQuirks,
    testing::Values(
        CfgCase{"EmptyQuotesStopTheParse", Launcher("    loading = \"\";\n    btn_exit = \"Exit\";\n"),
                "an empty pair of quotes", 3},
        CfgCase{"GluedEquals", Launcher("    loading=\"X\";\n"), "'=' must stand apart from the key", 3},
        CfgCase{"TabBeforeEquals", Launcher("    loading\t= \"X\";\n"), "a tab does not separate", 3},
        CfgCase{"HeaderWithoutBrace", "launcher:\n    loading = \"X\";\n",
                "expected '{' after the header on line 1", 2},
        CfgCase{"WordsAfterSemicolon", Launcher("    loading = \"X\"; # shown while loading\n"),
                "text after ';' becomes part of the value", 3},
        CfgCase{"LastLineWithoutLineFeed", "launcher:\n{\n    loading = \"X\";", "has no line feed", 3},
        CfgCase{"ByteOrderMark", "\xEF\xBB\xBF" + Launcher("    loading = \"X\";\n"), "byte-order mark", 1},
        CfgCase{"EntryOutsideASection", "loading = \"X\";\n" + Launcher(""), "outside any section", 1},
        CfgCase{"SquashedSpaces", Launcher("    loading = \"A   B\";\n"),
                "squeezed: the launcher shows 'A B'", 3},
        CfgCase{"MisspeltSection", "launcher_eror:\n{\n    x = y;\n}\n", "did you mean 'launcher_error'?", 1},
        CfgCase{"RepeatedKey", Launcher("    loading = a;\n    loading = b;\n"), "already set on line 3", 4}),
    [](const testing::TestParamInfo<CfgCase>& info) { return string(info.param.Name); });

TEST(LocalizationCheck, EntriesAreWhatTheLauncherLooksUp)
{
    cReport report;
    const CfgEntries entries = CheckLocalizationText(
        "# comment\r\nlauncher:\r\n{\r\n\tloading = \"LADEN\";\r\n\r\n    btn_exit = Ende "
        "jetzt;\r\n}\r\nlauncher_error:\n{\n    error_cancelled = \"Abbruch\";\n",
        "de.cfg", report);
    ASSERT_EQ(entries.size(), 3u) << report.Format();
    EXPECT_EQ(entries.at("launcher.loading").Value, "LADEN");
    EXPECT_EQ(entries.at("launcher.loading").Line, 4);
    EXPECT_EQ(entries.at("launcher.btn_exit").Value, "Ende jetzt");
    EXPECT_EQ(entries.at("launcher_error.error_cancelled").Value, "Abbruch");
    EXPECT_EQ(report.Count(Severity::Warning), 0u) << report.Format();
}

TEST(LocalizationCheck, LinesAfterABrokenEntryAreNotReported)
{
    cReport report;
    const CfgEntries entries = CheckLocalizationText(
        Launcher("    loading = \"A\";\n    btn_exit=\"X\";\n    error_cancel = \"C\";\n"), "de.cfg", report);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(report.Count(Severity::Warning), 1u) << report.Format();
}

TEST(LocalizationCheck, ComparesKeysAndPlaceholdersWithTheEnglishFile)
{
    cReport englishReport;
    const CfgEntries english =
        CheckLocalizationText(Launcher("    loading = LOADING;\n    error_no_settings_file = \"{0} not "
                                       "found\";\n    btn_exit = Exit;\n"),
                              "en_us.cfg", englishReport);
    cReport report;
    const CfgEntries german = CheckLocalizationText(
        Launcher(
            "    loading = LADEN;\n    error_no_settings_file = \"Datei fehlt\";\n    btn_exti = Ende;\n"),
        "de.cfg", report);
    CompareWithEnglish(german, &english, "de.cfg", report);
    EXPECT_EQ(report.Count(Severity::Warning, "unknown key 'launcher.btn_exti'"), 1u) << report.Format();
    EXPECT_EQ(report.Count(Severity::Warning, "did you mean 'launcher.btn_exit'"), 1u);
    EXPECT_EQ(report.Count(Severity::Warning, "1 key(s) missing against the English file, shown in English: "
                                              "launcher.btn_exit"),
              1u);
    EXPECT_EQ(report.Count(Severity::Warning, "'launcher.error_no_settings_file' drops the placeholder {0}"),
              1u);
}

TEST(LocalizationCheck, WithoutAnEnglishFileTheBuiltInTextsAreTheReference)
{
    cReport report;
    CompareWithEnglish({{"windows_fonts.bold", {"arialbd.ttf", 3}}}, nullptr, "de.cfg", report);
    EXPECT_EQ(report.Count(Severity::Warning, "missing against the built-in texts"), 1u) << report.Format();
    // Fonts are all or nothing.
    EXPECT_EQ(report.Count(Severity::Warning, "names only some of regular, bold and light"), 1u);
    // The font keys have no built-in text, so they are never "missing".
    EXPECT_EQ(report.Count(Severity::Warning, "windows_fonts.regular"), 0u);
}

}  // namespace
}  // namespace tavrin::check
