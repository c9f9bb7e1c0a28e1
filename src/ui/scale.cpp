#include "ui/scale.h"

#include <algorithm>

namespace tavrin::launcher {

namespace {

int32_t RoundedRatio(int64_t value, int64_t numerator, int64_t denominator)
{
    const int64_t product = value * numerator;
    const int64_t half = denominator / 2;
    const int64_t rounded =
        product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
    return static_cast<int32_t>(rounded);
}

}  // namespace

int32_t SaneDpi(int32_t reportedDpi) { return std::clamp(reportedDpi, kBaseDpi, kMaximumDpi); }

int32_t ScaleLength(int32_t designLength, int32_t dpi)
{
    return RoundedRatio(designLength, SaneDpi(dpi), kBaseDpi);
}

int32_t UnscaleLength(int32_t pixels, int32_t dpi) { return RoundedRatio(pixels, kBaseDpi, SaneDpi(dpi)); }

int32_t RescaleLength(int32_t pixels, int32_t fromDpi, int32_t toDpi)
{
    return RoundedRatio(pixels, SaneDpi(toDpi), SaneDpi(fromDpi));
}

cUiBounds ScaleBounds(const cUiBounds& design, int32_t dpi)
{
    const int32_t left = ScaleLength(design.X, dpi);
    const int32_t top = ScaleLength(design.Y, dpi);
    const int32_t right = ScaleLength(design.X + design.Width, dpi);
    const int32_t bottom = ScaleLength(design.Y + design.Height, dpi);
    return {left, top, right - left, bottom - top};
}

}  // namespace tavrin::launcher
