#include "base/json_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using tavrin::EscapeJsonString;
using tavrin::JsonReader;

namespace {

using namespace std::string_literals;

using Strings = std::map<std::string, std::string>;
using Bools = std::map<std::string, bool>;

struct ScanCase {
    const char* Name;
    std::string Text;
    Strings ExpectedStrings;
    Bools ExpectedBools;
};

class JsonScan : public testing::TestWithParam<ScanCase> {};

TEST_P(JsonScan, FillsTables)
{
    const ScanCase& c = GetParam();
    JsonReader reader;
    ASSERT_TRUE(reader.Scan(c.Text));
    EXPECT_EQ(reader.StringTable(), c.ExpectedStrings);
    EXPECT_EQ(reader.BoolTable(), c.ExpectedBools);
}

const ScanCase kScanCases[] = {
    {"Plain", R"({"productid": "p1", "title": "Game"})", {{"productid", "p1"}, {"title", "Game"}}, {}},
    {"FirstOccurrenceWins", R"({"title": "x", "title": "y"})", {{"title", "x"}}, {}},
    {"DigitsAreBooleans", R"({"a": "1", "b": "0", "c": "9"})", {}, {{"a", true}, {"b", false}, {"c", true}}},
    {"TrueFalse", R"({"a": "true", "b": "false"})", {}, {{"a", true}, {"b", false}}},
    {"NearBooleansAreStrings",
     R"({"a": "True", "b": "yes", "c": "10", "d": " true", "e": ""})",
     {{"a", "True"}, {"b", "yes"}, {"c", "10"}, {"d", " true"}, {"e", ""}},
     {}},
    // An unquoted value takes the next quoted text; the comma search still
    // starts after the colon, so the following key is read normally.
    {"UnquotedValueTakesNextQuoted",
     R"({"hide_gui": true, "title": "T"})",
     {{"hide_gui", "title"}, {"title", "T"}},
     {}},
    // A comma inside a value restarts the key search inside it.
    {"CommaInsideValue", R"({"title": "A, B", "sandboxid": "s1"})", {{"title", "A, B"}, {", ", "s1"}}, {}},
    {"BackslashRunsCollapse",
     R"({"exe": "C:\\Games\\x.exe", "four": "a\\\\b", "one": "a\b"})",
     {{"exe", "C:\\Games\\x.exe"}, {"four", "a\\b"}, {"one", "a\\b"}},
     {}},
    {"BoolAndStringTablesAreSeparate", R"({"k": "1", "k": "text"})", {{"k", "text"}}, {{"k", true}}},
    // The colon search counts from the scan position, so after leading
    // blanks a colon inside the key is taken.
    {"ColonInsideKey", R"(  "a:b": "x")", {{"a:b", ": "}}, {}},
    {"KeysStoredAsWritten", R"({"a\\b": "v"})", {{"a\\\\b", "v"}}, {}},
    {"ByteOrderMark", "\xEF\xBB\xBF{\"productid\": \"p1\"}", {{"productid", "p1"}}, {}},
    {"OneByte", "{", {}, {}},
    {"OneQuote", "\"", {}, {}},
    {"EndsInsideKey", R"({"productid": "p1", "tit)", {{"productid", "p1"}}, {}},
    {"EndsInsideValue", R"({"productid": "p1", "title": "Gam)", {{"productid", "p1"}}, {}},
    {"EndsAfterColon", R"({"productid": "p1", "title":)", {{"productid", "p1"}}, {}},
    {"NoColon", R"({"productid" "p1"})", {}, {}},
    {"TrailingComma", R"({"a": "b",)", {{"a", "b"}}, {}},
    {"CommaBeforeLastByte", R"({"a": "b",})", {{"a", "b"}}, {}},
    {"NulAndHighBytes", "{\"a\0b\": \"\xFF\0\", \"c\": \"d\"}"s, {{"a\0b"s, "\xFF\0"s}, {"c", "d"}}, {}},
    {"OnlyHighBytes", std::string(64, '\xFF'), {}, {}},
    {"NestedObjectIsNotUnderstood", R"({"o": {"x": "1"}, "t": "v"})", {{"o", "x"}, {"t", "v"}}, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, JsonScan, testing::ValuesIn(kScanCases),
                         [](const testing::TestParamInfo<ScanCase>& info) { return info.param.Name; });

TEST(JsonReader, EmptyBufferFailsAndNullIsEmpty)
{
    JsonReader reader;
    EXPECT_FALSE(reader.Scan(std::string_view()));
    EXPECT_FALSE(reader.Scan(nullptr, 10));
}

TEST(JsonReader, RescanReplacesEarlierTables)
{
    JsonReader reader;
    ASSERT_TRUE(reader.Scan(R"({"a": "old", "b": "1"})"));
    ASSERT_TRUE(reader.Scan(R"({"a": "new"})"));
    std::string value;
    EXPECT_TRUE(reader.GetString("a", value));
    EXPECT_EQ(value, "new");
    bool flag = false;
    EXPECT_FALSE(reader.GetBool("b", flag));
}

TEST(JsonReader, LookupsAreExactAndLeaveOutValueWhenAbsent)
{
    JsonReader reader;
    ASSERT_TRUE(reader.Scan(R"({"hide_gui": "1", "title": "T"})"));
    std::string text = "unchanged";
    bool flag = false;
    EXPECT_FALSE(reader.GetString("hide_gui", text));
    EXPECT_FALSE(reader.GetString("Title", text));
    EXPECT_EQ(text, "unchanged");
    EXPECT_TRUE(reader.GetBool("hide_gui", flag));
    EXPECT_TRUE(flag);
    flag = true;
    EXPECT_FALSE(reader.GetBool("title", flag));
    EXPECT_TRUE(flag);
}

// Every prefix of a file cut at every byte scans without reading outside it;
// the sanitizer build catches any overrun of the exact-sized copy.
TEST(JsonReader, EveryTruncationStaysInBounds)
{
    const std::string full = "\xEF\xBB\xBF{\"productid\": \"p1\", \"flag\": \"1\", \"t\": \"A, B\", \"x\": "
                             "true, \"p\": \"C:\\\\\\\\d\"}";
    for (size_t size = 1; size <= full.size(); ++size) {
        const std::string cut = full.substr(0, size);
        auto* copy = new uint8_t[size];
        std::copy(cut.begin(), cut.end(), copy);
        JsonReader reader;
        EXPECT_TRUE(reader.Scan(copy, size)) << size;
        delete[] copy;
    }
}

TEST(EscapeJsonString, EscapesControlQuoteAndBackslash)
{
    const struct {
        std::string In;
        std::string Out;
    } cases[] = {
        {"a\tb\"c", "a\\tb\\\"c"},
        {"\b\f\n\r", "\\b\\f\\n\\r"},
        {"C:\\x", "C:\\\\x"},
        {"\x1B\x01\0"s, "\\u001B\\u0001\\u0000"},
        {"/\x7F\xC3\xA9 ok", "/\x7F\xC3\xA9 ok"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeJsonString(c.In), c.Out);
    }
}

}  // namespace
