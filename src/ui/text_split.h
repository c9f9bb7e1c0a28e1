// How a text becomes pieces: a cycle of variants ("LOADING[...]"), one line,
// or several lines for texts wider than the window allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavrin::launcher {

// For "<prefix>[<inner>]..." the variants are the prefix followed by the
// first 0, 1, ... all characters of inner (whole UTF-8 sequences); 0 (and no
// variants) when the text has no "[" with a later "]".
size_t SplitVariants(const std::string& text, std::vector<std::string>& variants);

// Splits a text measured at measuredWidth pixels into lines of about equal
// byte length, preferring to cut after a ':', '/', '\' or space in the second
// half of each chunk. False when there is nothing to split.
bool SplitLines(int32_t measuredWidth, const std::string& text, std::vector<std::string>& lines);

// Measures a text in pixels; false when the font could not measure it.
using cMeasureText = std::function<bool(const std::string& text, int32_t& width)>;

// Chooses the pieces and the mode (TextMode values) for a text. Only a text
// element that cycles reads "[...]" as variants; any other text, such as an
// error message naming "C:\Games\[Beta]\", is shown as it is and split into
// lines when too wide. False for an empty text or one that is too wide but
// cannot be split.
bool PlanTextPieces(const std::string& text, const cMeasureText& measure, bool cycles,
                    std::vector<std::string>& pieces, int32_t& mode);

}  // namespace tavrin::launcher
