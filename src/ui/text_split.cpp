#include "ui/text_split.h"

#include <algorithm>

#include "logging/logger.h"
#include "ui/elements.h"

namespace tavrin::launcher {

namespace {

constexpr int32_t kMaximumLineWidth = 520;

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Cut after the last separator of the chunk when that keeps at least half of it.
size_t CutAfterLast(const std::string& chunk, char separator, size_t half)
{
    size_t at = chunk.rfind(separator);
    if (at == std::string::npos || at + 1 < half)
        return 0;
    return at + 1;
}

size_t FindCut(const std::string& chunk)
{
    size_t half = chunk.size() / 2;
    size_t colon = chunk.find(':');
    if (colon != std::string::npos && colon + 1 >= half)
        return colon + 1;
    for (char separator : {'/', '\\', ' '}) {
        size_t cut = CutAfterLast(chunk, separator, half);
        if (cut != 0)
            return cut;
    }
    return chunk.size();
}

// A cut at the byte limit must not fall inside a UTF-8 sequence, or both
// lines would render broken characters: back off to the sequence start, or
// move past it when the chunk holds nothing else.
size_t KeepSequenceWhole(const std::string& text, size_t position, size_t cut)
{
    size_t end = position + cut;
    while (end > position && end < text.size() && IsUtf8Continuation(text[end]))
        --end;
    if (end == position) {
        end = position + cut;
        while (end < text.size() && IsUtf8Continuation(text[end]))
            ++end;
    }
    return end - position;
}

// The end of the character that starts at position; 0 once the text is used up.
size_t NextCharacter(const std::string& text, size_t position)
{
    if (position >= text.size())
        return 0;
    ++position;
    while (position < text.size() && IsUtf8Continuation(text[position]))
        ++position;
    return position;
}

}  // namespace

size_t SplitVariants(const std::string& text, std::vector<std::string>& variants)
{
    variants.clear();
    size_t open = text.find('[');
    size_t close = text.find(']');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return 0;
    std::string prefix = text.substr(0, open);
    std::string inner = text.substr(open + 1, close - open - 1);
    variants.push_back(prefix);
    for (size_t i = NextCharacter(inner, 0); i != 0; i = NextCharacter(inner, i))
        variants.push_back(prefix + inner.substr(0, i));
    return variants.size();
}

bool SplitLines(int32_t measuredWidth, const std::string& text, std::vector<std::string>& lines)
{
    lines.clear();
    if (measuredWidth <= 0 || text.empty())
        return false;
    size_t count = static_cast<size_t>(static_cast<double>(measuredWidth) / kMaximumLineWidth + 0.5);
    if (count == 0)
        return false;
    // At least one byte per line, or a short text measured very wide would never advance.
    size_t bytesPerLine = std::max<size_t>(1, text.size() / count);
    size_t position = 0;
    while (position < text.size()) {
        std::string chunk = text.substr(position, std::min(text.size() - position, bytesPerLine));
        size_t cut = FindCut(chunk);
        if (cut == chunk.size())
            cut = KeepSequenceWhole(text, position, cut);
        // The cut may reach past the chunk to finish a character.
        lines.push_back(text.substr(position, cut));
        position += cut;
    }
    return true;
}

bool PlanTextPieces(const std::string& text, const cMeasureText& measure, bool cycles,
                    std::vector<std::string>& pieces, int32_t& mode)
{
    pieces.clear();
    mode = TextModeNone;
    if (text.empty())
        return false;
    size_t variants = cycles ? SplitVariants(text, pieces) : 0;
    if (variants != 0) {
        LogPrintf(Verbose, "Called with dynamic text element, substring count: %u.",
                  static_cast<uint32_t>(variants));
        mode = TextModeCycling;
        return true;
    }
    int32_t width = 0;
    if (!measure || !measure(text, width))
        width = 0;
    if (width <= kMaximumLineWidth) {
        pieces.push_back(text);
        mode = TextModeSingle;
        return true;
    }
    if (!SplitLines(width, text, pieces)) {
        LogPrintf(Error, "Failed at parsing the following: '%s'.", text.c_str());
        return false;
    }
    LogPrintf(Verbose, "Called with multiline text element, substring count: %u.",
              static_cast<uint32_t>(pieces.size()));
    mode = TextModeLines;
    return true;
}

}  // namespace tavrin::launcher
