// Fuzz entry for the text split: cycling variants and lines. The first two
// bytes give the measured width; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "test_support/utf8.h"
#include "ui/elements.h"
#include "ui/text_split.h"

using namespace tavrin::launcher;

namespace {

// A piece of well-formed text must not start or end inside a character.
bool CutsACharacter(const std::string& text, const std::string& piece, size_t at)
{
    if (!tavrin::test::IsWellFormedUtf8(text)) {
        return false;
    }
    const size_t end = at + piece.size();
    return (at < text.size() && tavrin::test::IsUtf8Continuation(text[at])) ||
           (end < text.size() && tavrin::test::IsUtf8Continuation(text[end]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    const int32_t width = static_cast<int32_t>(data[0] | (data[1] << 8)) * 4;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    std::vector<std::string> lines;
    if (SplitLines(width, text, lines)) {
        std::string joined;
        for (const std::string& line : lines) {
            if (line.empty() || CutsACharacter(text, line, joined.size())) {
                __builtin_trap();
            }
            joined += line;
        }
        if (joined != text) {
            __builtin_trap();
        }
    }

    std::vector<std::string> variants;
    SplitVariants(text, variants);
    for (size_t i = 0; i < variants.size(); ++i) {
        if (text.compare(0, variants[i].size(), variants[i]) == 0 && CutsACharacter(text, variants[i], 0)) {
            __builtin_trap();
        }
        if (i > 0 && variants[i].size() <= variants[i - 1].size()) {
            __builtin_trap();
        }
    }

    std::vector<std::string> pieces;
    int32_t mode = TextModeNone;
    auto measure = [width](const std::string&, int32_t& measured) {
        measured = width;
        return true;
    };
    for (const bool cycles : {false, true}) {
        PlanTextPieces(text, measure, cycles, pieces, mode);
    }
    return 0;
}
