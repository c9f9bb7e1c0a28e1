#include "base/text_pieces.h"

namespace tavrin {

namespace {

void AddPiece(std::vector<TextPiece>& pieces, std::string_view text, size_t start, size_t end,
              bool terminated, const SplitRules& rules)
{
    std::string_view piece = text.substr(start, end - start);
    const bool trim = rules.CarriageReturns == CarriageReturn::TrimAtEnd ||
                      (rules.CarriageReturns == CarriageReturn::TrimBeforeSeparator && terminated);
    if (trim && !piece.empty() && piece.back() == '\r') {
        piece.remove_suffix(1);
    }
    if (rules.KeepEmpty || !piece.empty()) {
        pieces.push_back({piece, start});
    }
}

}  // namespace

std::vector<TextPiece> SplitText(std::string_view text, const SplitRules& rules)
{
    std::vector<TextPiece> pieces;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find_first_of(rules.Separators, start);
        if (end == std::string_view::npos) {
            if (rules.KeepUnterminated) {
                AddPiece(pieces, text, start, text.size(), false, rules);
            }
            return pieces;
        }
        AddPiece(pieces, text, start, end, true, rules);
        start = end + 1;
        if (!rules.SkipAfterSeparator.empty()) {
            start = text.find_first_not_of(rules.SkipAfterSeparator, start);
            if (start == std::string_view::npos) {
                return pieces;
            }
        }
    }
}

}  // namespace tavrin
