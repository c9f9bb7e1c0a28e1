// Splitting texts into cycling variants and into lines of at most about 520 pixels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/elements.h"
#include "ui/text_split.h"

namespace tavrin::launcher {
namespace {

std::string Joined(const std::vector<std::string>& pieces)
{
    std::string all;
    for (const std::string& piece : pieces)
        all += piece;
    return all;
}

TEST(SplitVariants, BracketedTailGrowsOneCharacterAtATime)
{
    struct Case {
        std::string Text;
        std::vector<std::string> Variants;
    } cases[] = {
        {"LOADING[...]", {"LOADING", "LOADING.", "LOADING..", "LOADING..."}},
        {"[...]", {"", ".", "..", "..."}},
        {"x[ab]dropped", {"x", "xa", "xab"}},
        {"[]", {""}},
        {"no brackets", {}},
        {"open [ only", {}},
        {"a]b[c]", {}},
        // Whole UTF-8 characters only: a half letter renders as garbage.
        {"\xD0\x97[\xD0\xB0\xE2\x80\xA6]", {"\xD0\x97", "\xD0\x97\xD0\xB0", "\xD0\x97\xD0\xB0\xE2\x80\xA6"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> variants{"stale"};
        EXPECT_EQ(SplitVariants(c.Text, variants), c.Variants.size()) << c.Text;
        EXPECT_EQ(variants, c.Variants) << c.Text;
    }
}

TEST(SplitLines, CutsAfterTheLastSpaceInTheSecondHalfThenAtTheByteLimit)
{
    std::string text(100, 'a');
    text[40] = ' ';
    std::vector<std::string> lines;
    ASSERT_TRUE(SplitLines(1040, text, lines));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 41u);
    EXPECT_EQ(lines[0].back(), ' ');
    EXPECT_EQ(lines[1].size(), 50u);
    EXPECT_EQ(lines[2].size(), 9u);
    EXPECT_EQ(Joined(lines), text);
}

TEST(SplitLines, BreaksAfterTheColonOnlyWhenItLiesInTheSecondHalf)
{
    const std::string head = "Could not locate the game binary: ";
    const std::string shortPath = "'C:\\Games\\Studio\\Title\\Binaries\\Win64\\game.exe'";
    std::vector<std::string> lines;
    ASSERT_TRUE(SplitLines(1040, head + shortPath, lines));
    EXPECT_EQ(lines[0], "Could not locate the game binary:");
    EXPECT_EQ(Joined(lines), head + shortPath);

    const std::string longPath =
        "'C:\\Program Files (x86)\\Some Publisher\\Some Studio\\A Rather Long Game Title\\Binaries\\Win64"
        "\\Shipping\\game-with-a-long-name.exe'";
    const std::string message = head + longPath;
    ASSERT_TRUE(SplitLines(1040, message, lines));
    size_t chunk = message.size() / 2;
    size_t lastBackslash = message.substr(0, chunk).rfind('\\');
    ASSERT_GE(lastBackslash + 1, chunk / 2);
    EXPECT_EQ(lines[0], message.substr(0, lastBackslash + 1));
    EXPECT_EQ(Joined(lines), message);
}

TEST(SplitLines, NothingToSplitAndDegenerateWidths)
{
    std::vector<std::string> lines;
    EXPECT_FALSE(SplitLines(0, "text", lines));
    EXPECT_FALSE(SplitLines(1040, "", lines));
    EXPECT_FALSE(SplitLines(200, "text", lines));  // rounds to zero lines
    // Far more lines than bytes: one byte per line, and the loop ends.
    ASSERT_TRUE(SplitLines(520 * 1000, "abc", lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c"}));
}

TEST(SplitLines, ByteLimitCutsNeverSplitAUtf8Character)
{
    // 30 two-byte Cyrillic letters without separators: 60 bytes, two lines of 30.
    std::string text;
    for (int i = 0; i < 30; ++i)
        text += "\xD0\x96";
    std::string odd = "a" + text;  // 61 bytes: the 30-byte limit falls inside a letter
    std::vector<std::string> lines;
    ASSERT_TRUE(SplitLines(1040, odd, lines));
    for (const std::string& line : lines) {
        ASSERT_FALSE(line.empty());
        EXPECT_NE(static_cast<unsigned char>(line.front()) & 0xC0, 0x80u) << "line starts mid-character";
    }
    EXPECT_EQ(Joined(lines), odd);
}

TEST(SplitLines, LimitShorterThanOneCharacterKeepsEveryByte)
{
    // One byte per line against three- and two-byte characters.
    const std::string text = "\xE2\x82\xAC\xD0\x96"
                             "a";
    std::vector<std::string> lines;
    ASSERT_TRUE(SplitLines(520 * 100, text, lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"\xE2\x82\xAC", "\xD0\x96", "a"}));
}

TEST(PlanTextPieces, WidthUpTo520IsOneLineAnd521IsSplit)
{
    std::vector<std::string> pieces;
    int32_t mode = 0;
    auto fixed = [](int32_t width) {
        return [width](const std::string&, int32_t& out) {
            out = width;
            return true;
        };
    };
    ASSERT_TRUE(PlanTextPieces(std::string(40, 'x'), fixed(520), true, pieces, mode));
    EXPECT_EQ(mode, TextModeSingle);
    EXPECT_EQ(pieces.size(), 1u);

    ASSERT_TRUE(PlanTextPieces(std::string(40, 'x'), fixed(521), true, pieces, mode));
    EXPECT_EQ(mode, TextModeLines);
    EXPECT_EQ(pieces.size(), 1u);  // 521 / 520 rounds to one line, still drawn as lines

    ASSERT_TRUE(PlanTextPieces(std::string(40, 'x'), fixed(1040), true, pieces, mode));
    EXPECT_EQ(pieces.size(), 2u);
}

TEST(PlanTextPieces, VariantsSkipMeasuringAndFailuresMeasureAsZero)
{
    std::vector<std::string> pieces;
    int32_t mode = 0;
    int measured = 0;
    auto counting = [&measured](const std::string&, int32_t& out) {
        ++measured;
        out = 5000;
        return true;
    };
    ASSERT_TRUE(PlanTextPieces("LOADING[...]", counting, true, pieces, mode));
    EXPECT_EQ(mode, TextModeCycling);
    EXPECT_EQ(measured, 0);

    // "[" without a later "]" is measured like any text.
    ASSERT_TRUE(PlanTextPieces("x[", counting, true, pieces, mode));
    EXPECT_EQ(measured, 1);

    auto failing = [](const std::string&, int32_t& out) {
        out = 9999;
        return false;
    };
    ASSERT_TRUE(PlanTextPieces("anything", failing, true, pieces, mode));
    EXPECT_EQ(mode, TextModeSingle);
    EXPECT_FALSE(PlanTextPieces("", failing, true, pieces, mode));
}

TEST(PlanTextPieces, TextsThatDoNotCycleKeepTheirBracketsAndAreSplit)
{
    std::vector<std::string> pieces;
    int32_t mode = 0;
    auto wide = [](const std::string&, int32_t& out) {
        out = 1040;
        return true;
    };
    const std::string message = "Could not start 'C:\\Games\\[Beta]\\game.exe': access denied.";
    ASSERT_TRUE(PlanTextPieces(message, wide, false, pieces, mode));
    EXPECT_EQ(mode, TextModeLines);
    EXPECT_GE(pieces.size(), 2u);
    EXPECT_EQ(Joined(pieces), message);
}

}  // namespace
}  // namespace tavrin::launcher
