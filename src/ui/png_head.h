// The top rows of a PNG picture, decoded without inflating the rows below
// them: the first frame of a sheet of frames reaches the screen before the
// whole sheet is decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin::launcher {

// Pictures wider or taller than this are refused before any row is decoded.
constexpr uint32_t kMaxPngSide = 16384;

struct cPngHead {
    uint32_t Width = 0;
    uint32_t Height = 0;  // of the whole picture
    uint32_t Rows = 0;    // decoded, at most Height
    // Rows x Width pixels, 4 bytes each in the order R, G, B, A; opaque for
    // a picture without alpha.
    std::vector<uint8_t> Pixels;
};

// Decodes at most the first rows rows. False, with head empty, for data that
// is not a PNG, is damaged before the last row asked for, is interlaced (its
// top rows need every pass), or has a side of 0 or above kMaxPngSide.
bool DecodePngHead(const uint8_t* data, size_t size, uint32_t rows, cPngHead& head);

}  // namespace tavrin::launcher
