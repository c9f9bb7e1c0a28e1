// What a frame of the active elements puts on the screen, read through the
// getters the drawing uses. Two equal signatures draw the same pixels, so the
// window draws and presents a frame only when its signature changes.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/elements.h"

namespace tavrin::launcher {

using cFrameSignature = std::vector<int64_t>;

// In list order: every element's id, type, drop shadow and, for the parts it
// is drawn with, the rectangle, opacity, colours, source rectangle and the
// texture records (by serial and size) that would be copied.
cFrameSignature SignFrame(const std::vector<cUiElementRef>& elements);

}  // namespace tavrin::launcher
