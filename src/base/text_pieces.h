// One way to cut text into lines or list entries. Each caller states its own
// rules: stored files, headers and system lists disagree on carriage
// returns, empty entries and a last line without its line feed.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace tavrin {

enum class CarriageReturn {
    Keep,
    TrimBeforeSeparator,  // one '\r' right before a separator is dropped
    TrimAtEnd,            // one '\r' ending any piece is dropped, the last one too
};

struct SplitRules {
    std::string_view Separators = "\n";  // any of these bytes ends a piece
    CarriageReturn CarriageReturns = CarriageReturn::Keep;
    bool KeepEmpty = true;
    // The text after the last separator is a piece too (possibly empty).
    bool KeepUnterminated = true;
    // Bytes skipped right after a separator, before the next piece starts.
    std::string_view SkipAfterSeparator = "";
};

struct TextPiece {
    std::string_view Text;
    size_t Offset = 0;  // where Text starts in the whole text
};

std::vector<TextPiece> SplitText(std::string_view text, const SplitRules& rules);

}  // namespace tavrin
