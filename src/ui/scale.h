// The monitor's scale: the splash is designed at 96 DPI (100 %), and every
// length, font size and picture is drawn at the monitor's DPI.
#pragma once

#include <cstdint>

#include "ui/elements.h"

namespace tavrin::launcher {

constexpr int32_t kBaseDpi = 96;
// Windows offers at most 500 %.
constexpr int32_t kMaximumDpi = 480;

// A DPI the host reported, made safe to size a window with: anything below
// 100 % or unknown draws at 100 %, anything beyond the largest scale at it.
int32_t SaneDpi(int32_t reportedDpi);

// A design length (96 DPI) in pixels at dpi, rounded to nearest.
int32_t ScaleLength(int32_t designLength, int32_t dpi);

// A length in pixels at dpi back in design units, rounded to nearest.
int32_t UnscaleLength(int32_t pixels, int32_t dpi);

// A length in pixels at fromDpi, in pixels at toDpi.
int32_t RescaleLength(int32_t pixels, int32_t fromDpi, int32_t toDpi);

// Scales the edges, not the size: neighbours stay neighbours at any scale.
cUiBounds ScaleBounds(const cUiBounds& design, int32_t dpi);

}  // namespace tavrin::launcher
