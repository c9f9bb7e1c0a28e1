// The launcher's picture decoder (SDL_image over the file's bytes), so the
// checker accepts exactly the splash pictures the launcher shows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin::check {

// The decoded size of a whole picture file; false when it does not decode.
bool DecodePicture(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height);

}  // namespace tavrin::check
