// Fuzz entry for the text splitter: every piece lies inside the text, in
// order, and holds no separator, under each combination of rules.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/text_pieces.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const uint8_t choice = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    tavrin::SplitRules rules;
    rules.Separators = (choice & 1) ? "\n" : ";, ";
    rules.CarriageReturns = static_cast<tavrin::CarriageReturn>((choice >> 1) % 3);
    rules.KeepEmpty = (choice & 8) != 0;
    rules.KeepUnterminated = (choice & 16) != 0;
    rules.SkipAfterSeparator = (choice & 32) ? "\r\n" : "";
    size_t previousEnd = 0;
    for (const tavrin::TextPiece& piece : tavrin::SplitText(text, rules)) {
        const size_t offset = static_cast<size_t>(piece.Text.data() - text.data());
        if (offset != piece.Offset || offset < previousEnd || offset + piece.Text.size() > text.size() ||
            piece.Text.find_first_of(rules.Separators) != std::string_view::npos ||
            (!rules.KeepEmpty && piece.Text.empty())) {
            __builtin_trap();
        }
        previousEnd = offset + piece.Text.size();
    }
    return 0;
}
