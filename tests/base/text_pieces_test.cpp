#include "base/text_pieces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrin {
namespace {

std::string Joined(const std::vector<TextPiece>& pieces)
{
    std::string out;
    for (const TextPiece& piece : pieces) {
        out += "[" + std::string(piece.Text) + "]@" + std::to_string(piece.Offset);
    }
    return out;
}

TEST(SplitText, EachRuleAsTheCallersUseIt)
{
    const SplitRules lines{};
    const SplitRules trimBefore{.CarriageReturns = CarriageReturn::TrimBeforeSeparator};
    const SplitRules trimAtEnd{.CarriageReturns = CarriageReturn::TrimAtEnd};
    const SplitRules fields{.Separators = " ", .KeepEmpty = false};
    const SplitRules entries{.Separators = ";"};
    const SplitRules finishedLines{.KeepUnterminated = false, .SkipAfterSeparator = "\r\n"};
    const SplitRules tokens{.Separators = " ;", .KeepEmpty = false};
    const struct {
        const char* Name;
        SplitRules Rules;
        std::string Text;
        std::string Want;
    } cases[] = {
        {"empty text is one empty piece", lines, "", "[]@0"},
        {"unterminated last line kept", lines, "a\nb", "[a]@0[b]@2"},
        {"separator last gives an empty tail", lines, "a\n", "[a]@0[]@2"},
        {"carriage returns kept", lines, "a\r\nb\r", "[a\r]@0[b\r]@3"},
        {"CR trimmed only before a separator", trimBefore, "a\r\nb\r", "[a]@0[b\r]@3"},
        {"one CR trimmed, not two", trimBefore, "a\r\r\n", "[a\r]@0[]@4"},
        {"CR trimmed at every end", trimAtEnd, "a\r\nb\r", "[a]@0[b]@3"},
        {"empty fields dropped", fields, "  a  b ", "[a]@2[b]@5"},
        {"nothing but separators", fields, "   ", ""},
        {"empty entries kept", entries, ";a;;", "[]@0[a]@1[]@3[]@4"},
        {"no separator at all", entries, "abc", "[abc]@0"},
        {"only finished lines", finishedLines, "a\nb", "[a]@0"},
        {"blank lines skipped after a line feed", finishedLines, "a\r\n\r\n\nb\n", "[a\r]@0[b]@6"},
        {"first line read even when blank", finishedLines, "\nb\n", "[]@0[b]@1"},
        {"breaks up to the end", finishedLines, "a\n\r\n", "[a]@0"},
        {"no line feed reads nothing", finishedLines, "a\rb", ""},
        {"any of several separators", tokens, "a b;;c", "[a]@0[b]@2[c]@5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Joined(SplitText(c.Text, c.Rules)), c.Want) << c.Name;
    }
}

TEST(SplitText, ZeroByteIsOrdinaryText)
{
    const std::string text("a\0b\nc", 5);
    const std::vector<TextPiece> pieces = SplitText(text, {});
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].Text, std::string_view("a\0b", 3));
    EXPECT_EQ(pieces[1].Offset, 4u);
}

}  // namespace
}  // namespace tavrin
