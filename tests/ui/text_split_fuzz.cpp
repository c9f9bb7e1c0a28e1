// Fuzz entry for the text split: cycling variants and lines. The first two
// bytes give the measured width; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/elements.h"
#include "ui/text_split.h"

using namespace tavrin::launcher;

namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Lead bytes followed by the right number of continuation bytes (overlong
// forms are not a concern here: only where characters begin).
bool IsWellFormedUtf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x6  ? 2
                              : (lead >> 4) == 0xE  ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if (!IsContinuation(text[i + k])) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// A piece of well-formed text must not start or end inside a character.
bool CutsACharacter(const std::string& text, const std::string& piece, size_t at)
{
    if (!IsWellFormedUtf8(text)) {
        return false;
    }
    const size_t end = at + piece.size();
    return (at < text.size() && IsContinuation(text[at])) || (end < text.size() && IsContinuation(text[end]));
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
