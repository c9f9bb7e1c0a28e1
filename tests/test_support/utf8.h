// UTF-8 as the tests check it: code points of a text, and whether it is
// well formed. A lead byte, the right number of continuation bytes after
// it; overlong forms do not matter here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::test {

// Beyond Unicode: what a malformed sequence yields, which no font provides.
inline constexpr uint32_t kNotACodePoint = 0x110000;

inline bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Bytes of the sequence a lead byte begins; 0 when no sequence begins with it.
inline size_t Utf8SequenceLength(unsigned char lead)
{
    return lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
}

// A malformed sequence gives kNotACodePoint for its first byte; decoding
// goes on at the next byte.
inline std::vector<uint32_t> CodePoints(const std::string& text)
{
    std::vector<uint32_t> points;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = Utf8SequenceLength(lead);
        bool whole = length != 0 && i + length <= text.size();
        for (size_t k = 1; whole && k < length; ++k) {
            whole = IsUtf8Continuation(text[i + k]);
        }
        if (!whole) {
            points.push_back(kNotACodePoint);
            ++i;
            continue;
        }
        uint32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            point = (point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        points.push_back(point);
        i += length;
    }
    return points;
}

inline bool IsWellFormedUtf8(const std::string& text)
{
    for (uint32_t point : CodePoints(text)) {
        if (point == kNotACodePoint) {
            return false;
        }
    }
    return true;
}

}  // namespace tavrin::test
