#include "localization/localization.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

namespace tavrin::launcher {
namespace {

const std::wstring kParsingError = L"Config parsing error";

std::string Lookup(const cLocalization& table, const std::string& key)
{
    std::string value = "<missing>";
    table.GetValue(key, value);
    return value;
}

TEST(SplitTokens, CutsAtRunsOfSeparatorsAndDropsEmptyTokens)
{
    struct Case {
        std::string text;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {"", {}},
        {" ;\" ", {}},
        {"a", {"a"}},
        {"key = \"Exit\";", {"key", "=", "Exit"}},
        {";;a  \"\"b;", {"a", "b"}},
        {"a\tb = c", {"a\tb", "=", "c"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitTokens(c.text, " ;\""), c.tokens) << c.text;
    }
    EXPECT_EQ(SplitTokens("..a...b.", "."), (std::vector<std::string>{"a", "b"}));
}

TEST(LocalizationParse, StoresEntryValuesAsTheLineRulesSay)
{
    struct Case {
        const char* entry;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"btn_exit = \"Exit\";", "btn_exit", "Exit"},
        {"spaced = \"two   words\";", "spaced", "two words"},
        {"bare = three plain words", "bare", "three plain words"},
        {"glued =\"Exit\";", "glued", "Exit"},
        {"tail = \"Exit\"; trailing words", "tail", "Exit trailing words"},
        {"\t\ttabbed = \"x\";", "tabbed", "x"},
        {"inner = \"a\tb\";", "inner", "a\tb"},
        {"semis = a;b;;c", "semis", "a b c"},
        {"quotes = \"a\"\"b\"", "quotes", "a b"},
        {"eq = \"a = b\";", "eq", "a = b"},
        // A no-break space is not a blank: a value may end in one, where a
        // plain space would be cut, so the text can run on into what the
        // launcher appends.
        {"open_end = \"Connection failed:\xC2\xA0\";", "open_end", "Connection failed:\xC2\xA0"},
        {"both = \"\xC2\xA0x\xC2\xA0\";", "both", "\xC2\xA0x\xC2\xA0"},
    };
    for (const Case& c : cases) {
        cLocalization table;
        std::wstring error = L"stale";
        std::string text = std::string("launcher:\n{\n") + c.entry + "\n}\n";
        ASSERT_TRUE(table.LoadText(text, error)) << c.entry;
        EXPECT_TRUE(error.empty());
        EXPECT_EQ(Lookup(table, std::string("launcher.") + c.key), c.value) << c.entry;
    }
}

TEST(LocalizationParse, BrokenLineStopsTheLoadAndKeepsEarlierEntries)
{
    const char* broken[] = {
        "empty = \"\";",     // two tokens
        "glued=\"Exit\";",   // key and '=' in one token
        "tab\t= \"Exit\";",  // tab does not separate
        "lonely",            // one token
        "a b c",             // second token is not '='
        "= = x extra",       // the key "=" is fine; this line is valid
    };
    for (size_t i = 0; i < 5; ++i) {
        cLocalization table;
        std::wstring error;
        std::string text = std::string("launcher:\n{\n  above = \"A\";\n  ") + broken[i] +
                           "\n  below = \"B\";\n}\nnext:\n{\n  x = y;\n}\n";
        EXPECT_FALSE(table.LoadText(text, error)) << broken[i];
        EXPECT_EQ(error, kParsingError);
        EXPECT_EQ(Lookup(table, "launcher.above"), "A");
        EXPECT_EQ(Lookup(table, "launcher.below"), "<missing>");
        EXPECT_EQ(Lookup(table, "next.x"), "<missing>");
    }
    cLocalization table;
    std::wstring error;
    EXPECT_TRUE(table.LoadText(std::string("s:\n{\n") + broken[5] + "\n}\n", error));
    EXPECT_EQ(Lookup(table, "s.="), "x extra");
}

TEST(LocalizationParse, HeaderMustBeFollowedByAnOpeningBrace)
{
    const char* texts[] = {
        "launcher:\n  a = b;\n}\n",
        "launcher:\n\n# comment\n}\n",
        "launcher:\nother:\n{\n}\n",
    };
    for (const char* text : texts) {
        cLocalization table;
        std::wstring error;
        EXPECT_FALSE(table.LoadText(text, error)) << text;
        EXPECT_EQ(error, kParsingError);
    }
    // Text after the brace is ignored; comments and blanks may come between.
    cLocalization table;
    std::wstring error;
    EXPECT_TRUE(table.LoadText("launcher:\n\n  // note\n  { ignored\n a = b;\n} also\n", error));
    EXPECT_EQ(Lookup(table, "launcher.a"), "b");
}

TEST(LocalizationParse, LineEndingsBlankLinesAndCommentsDoNotChangeTheResult)
{
    const std::string plain =
        "launcher:\n{\n  a = \"one\";\n  b = \"two words\";\n}\nlauncher_error:\n{\n  c = three;\n}\n";
    const std::string variants[] = {
        "launcher:\r\n{\r\n  a = \"one\";\r\n  b = \"two words\";\r\n}\r\nlauncher_error:\r\n{\r\n"
        "  c = three;\r\n}\r\n",
        "\n\nlauncher:\n\n{\n\n  a = \"one\";\n\n\n  b = \"two words\";\n}\n\n\nlauncher_error:\n{\n"
        "  c = three;\n}\n\n\n",
        "# header comment\nstray text outside sections\nlauncher:\n{\n  # a = \"no\";\n  a = \"one\";\n"
        "  // b = no;\n  b = \"two words\";\n}\n   \t\nlauncher_error:\n{\n  c = three;\n}\n",
    };
    for (const std::string& text : variants) {
        cLocalization reference;
        cLocalization table;
        std::wstring error;
        ASSERT_TRUE(reference.LoadText(plain, error));
        ASSERT_TRUE(table.LoadText(text, error)) << text;
        for (const char* key : {"launcher.a", "launcher.b", "launcher_error.c"}) {
            EXPECT_EQ(Lookup(table, key), Lookup(reference, key)) << key;
        }
        EXPECT_EQ(Lookup(table, "launcher.a"), "one");
        EXPECT_EQ(Lookup(table, "launcher.b"), "two words");
    }
}

TEST(LocalizationParse, ByteOrderMarkHidesTheFirstSectionOnly)
{
    cLocalization table;
    std::wstring error;
    EXPECT_TRUE(
        table.LoadText("\xEF\xBB\xBFlauncher:\n{\n  a = b;\n}\nlauncher_error:\n{\n  c = d;\n}\n", error));
    EXPECT_EQ(Lookup(table, "launcher.a"), "<missing>");
    EXPECT_EQ(Lookup(table, "\xEF\xBB\xBFlauncher.a"), "b");
    EXPECT_EQ(Lookup(table, "launcher_error.c"), "d");
}

TEST(LocalizationParse, OnlyLinesEndingInALineFeedAreRead)
{
    cLocalization table;
    std::wstring error;
    EXPECT_TRUE(table.LoadText("s:\n{\n  a = b;\n  lost = x;", error));
    EXPECT_EQ(Lookup(table, "s.a"), "b");
    EXPECT_EQ(Lookup(table, "s.lost"), "<missing>");

    EXPECT_TRUE(table.LoadText("t:\n{\n  a = b;\n}", error));
    EXPECT_EQ(Lookup(table, "t.a"), "b");
}

TEST(LocalizationParse, RepeatedSectionsAndKeysMergeWithTheLaterValue)
{
    cLocalization table;
    std::wstring error;
    EXPECT_TRUE(table.LoadText("s:\n{\n a = 1;\n b = 1;\n}\ns:\n{\n b = 2;\n c = 2;\n b = 3;\n}\n", error));
    EXPECT_EQ(Lookup(table, "s.a"), "1");
    EXPECT_EQ(Lookup(table, "s.b"), "3");
    EXPECT_EQ(Lookup(table, "s.c"), "2");
}

TEST(LocalizationParse, NamesAreCaseSensitiveAndTakenUpToTheColon)
{
    cLocalization table;
    std::wstring error;
    EXPECT_TRUE(table.LoadText("  Launcher:  \n{\n Key = v;\n}\n", error));
    EXPECT_EQ(Lookup(table, "Launcher.Key"), "v");
    EXPECT_EQ(Lookup(table, "launcher.Key"), "<missing>");
    EXPECT_EQ(Lookup(table, "Launcher.key"), "<missing>");
}

TEST(LocalizationParse, EmptyTextIsAnError)
{
    cLocalization table;
    std::wstring error;
    EXPECT_FALSE(table.LoadText("", error));
    EXPECT_EQ(error, L"Config file data empty");
}

TEST(LocalizationParse, HostileInputNeverReadsOutOfBounds)
{
    const char kWithNuls[] = "s\0:\n{\n a\0 = \0;\n}\n";
    const std::string texts[] = {
        "\n",
        "\r\n\r\n",
        ":\n",
        ":\n{\n",
        "s:\n{\n",
        "s:\n{\n}\n}\n{\n",
        "s:\n{\n=\n",
        "s:\n{\n= =\n",
        std::string(kWithNuls, sizeof kWithNuls - 1),
        "#",
        "/",
        "/\n",
        "s:\n{\n/ = x\n}\n",
        "s:\n{\n\xFF\xFE = \xC3\n}\n",
        std::string(4096, ':') + "\n{\n",
        std::string(1000, '\n'),
    };
    for (const std::string& text : texts) {
        cLocalization table;
        std::wstring error;
        table.LoadText(text, error);
        std::string value;
        table.GetValue("s.a", value);
    }
    cLocalization table;
    std::wstring error;
    EXPECT_TRUE(table.LoadText("s:\n{\n/ = x\n}\n", error));
    EXPECT_EQ(Lookup(table, "s./"), "x");
}

TEST(LocalizationLoad, SecondLoadAddsToTheFirst)
{
    cLocalization table;
    std::wstring error;
    ASSERT_TRUE(table.LoadText("launcher:\n{\n only_a = A;\n both = A;\n}\n", error));
    ASSERT_TRUE(table.LoadText("launcher:\n{\n both = B;\n only_b = B;\n}\n", error));
    EXPECT_EQ(Lookup(table, "launcher.only_a"), "A");
    EXPECT_EQ(Lookup(table, "launcher.both"), "B");
    EXPECT_EQ(Lookup(table, "launcher.only_b"), "B");
}

TEST(LocalizationLoad, FailedSecondLoadLeavesATableThatStillAnswers)
{
    cLocalization table;
    std::wstring error;
    ASSERT_TRUE(table.LoadText("launcher:\n{\n a = A;\n b = A;\n}\n", error));
    EXPECT_FALSE(table.LoadText("launcher:\n{\n b = B;\n broken\n c = B;\n}\n", error));
    EXPECT_EQ(Lookup(table, "launcher.a"), "A");
    EXPECT_EQ(Lookup(table, "launcher.b"), "B");
    EXPECT_EQ(Lookup(table, "launcher.c"), "<missing>");
    // A broken load leaves no half-open section behind for the next one.
    ASSERT_TRUE(table.LoadText("x:\n{\n c = C;\n}\n", error));
    EXPECT_EQ(Lookup(table, "x.c"), "C");
}

TEST(LocalizationGetValue, KeyForms)
{
    cLocalization table;
    std::wstring error;
    ASSERT_TRUE(table.LoadText("launcher:\n{\n btn_exit = \"Exit\";\n}\n", error));
    const char* found[] = {"launcher.btn_exit", ".launcher.btn_exit", "launcher..btn_exit",
                           "launcher.btn_exit."};
    for (const char* key : found) {
        EXPECT_EQ(Lookup(table, key), "Exit") << key;
    }
    const char* missing[] = {
        "launcher",        "", ".", "launcher.btn_exit.extra", "launcher.BTN_EXIT", "launcher_error.btn_exit",
        "launcherbtn_exit"};
    for (const char* key : missing) {
        std::string value = "untouched";
        EXPECT_FALSE(table.GetValue(key, value)) << key;
        EXPECT_EQ(value, "untouched");
    }
}

TEST(LocalizationGetText, FallsBackAndFillsPlaceholders)
{
    cLocalization table;
    std::wstring error;
    ASSERT_TRUE(table.LoadText("launcher:\n{\n btn_exit = Beenden;\n "
                               "error_no_settings_file = \"{0} fehlt\";\n}\n",
                               error));
    struct Case {
        const char* key;
        const char* builtIn;
        std::vector<std::string> args;
        const char* expected;
    };
    const Case cases[] = {
        {"launcher.btn_exit", "Exit", {}, "Beenden"},
        {"launcher.error_no_settings_file", "{0} not found", {"Settings.json"}, "Settings.json fehlt"},
        {"launcher.missing",
         "{0} is missing a required field ({1})",
         {"Settings.json", "productid"},
         "Settings.json is missing a required field (productid)"},
        {"launcher.missing", "{0} and {0}", {"x"}, "x and {0}"},
        {"launcher.missing", "keeps {1}", {"x"}, "keeps {1}"},
        {"launcher.missing", "{0}", {"{1}", "y"}, "y"},
        {"malformed", "built in", {}, "built in"},
        {"", "", {"unused"}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(table.GetText(c.key, c.builtIn, c.args), c.expected) << c.key << " " << c.builtIn;
    }
    cLocalization empty;
    EXPECT_EQ(empty.GetText("launcher.btn_exit", "Exit"), "Exit");
}

TEST(LocalizationGetText, BuiltInTextsSwitchCoversEveryTable)
{
    cLocalization first;
    cLocalization second;
    std::wstring error;
    ASSERT_TRUE(first.LoadText("launcher:\n{\n btn_exit = Beenden;\n}\n", error));
    ASSERT_TRUE(second.LoadText("launcher:\n{\n btn_exit = Sortir;\n}\n", error));
    ASSERT_EQ(first.GetText("launcher.btn_exit", "Exit"), "Beenden");

    struct BuiltInTextsGuard {
        BuiltInTextsGuard() { gUseBuiltInTexts = true; }
        ~BuiltInTextsGuard() { gUseBuiltInTexts = false; }
    } guard;
    EXPECT_EQ(first.GetText("launcher.btn_exit", "Exit"), "Exit");
    EXPECT_EQ(second.GetText("launcher.btn_exit", "{0}!", {"Exit"}), "Exit!");
    std::map<uint32_t, std::string> fonts;
    EXPECT_FALSE(first.GetFontFileNames(fonts));
    // The lookup itself still works; only the texts are replaced.
    EXPECT_EQ(Lookup(first, "launcher.btn_exit"), "Beenden");
}

TEST(LocalizationFonts, AllThreeNamesOrNone)
{
    cLocalization table;
    std::wstring error;
    std::map<uint32_t, std::string> fonts{{7, "stale"}};
    EXPECT_FALSE(table.GetFontFileNames(fonts));
    EXPECT_TRUE(fonts.empty());

    ASSERT_TRUE(table.LoadText("windows_fonts:\n{\n regular = \"a.ttf\";\n bold = b.ttf;\n}\n", error));
    fonts = {{7, "stale"}};
    EXPECT_FALSE(table.GetFontFileNames(fonts));
    EXPECT_TRUE(fonts.empty());

    ASSERT_TRUE(table.LoadText("windows_fonts:\n{\n light = \"c.ttf\";\n}\n", error));
    ASSERT_TRUE(table.GetFontFileNames(fonts));
    EXPECT_EQ(fonts, (std::map<uint32_t, std::string>{{0, "a.ttf"}, {1, "b.ttf"}, {2, "c.ttf"}}));
}

TEST(LocalizationConcurrency, LookupsDuringLoadsSeeWholeEntries)
{
    cLocalization table;
    std::wstring error;
    ASSERT_TRUE(table.LoadText("s:\n{\n a = old value;\n}\n", error));
    std::thread reader([&table] {
        for (int i = 0; i < 2000; ++i) {
            std::string value = table.GetText("s.a", "none");
            ASSERT_TRUE(value == "old value" || value == "new value") << value;
        }
    });
    for (int i = 0; i < 200; ++i) {
        std::wstring loadError;
        table.LoadText(i % 2 ? "s:\n{\n a = old value;\n}\n" : "s:\n{\n a = new value;\n}\n", loadError);
    }
    reader.join();
}

}  // namespace
}  // namespace tavrin::launcher
