#include "check/picture_decode_win.h"

#include <SDL.h>
#include <SDL_image.h>

#include <climits>
#include <memory>

namespace tavrin::check {

namespace {

struct cSurfaceFree {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};

}  // namespace

bool DecodePicture(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height)
{
    if (data == nullptr || size == 0 || size > INT_MAX) {
        return false;
    }
    // As the launcher loads a custom splash: the decoder closes the stream.
    SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(size));
    std::unique_ptr<SDL_Surface, cSurfaceFree> surface(stream != nullptr ? IMG_Load_RW(stream, 1) : nullptr);
    if (!surface || surface->w <= 0 || surface->h <= 0) {
        return false;
    }
    width = static_cast<uint32_t>(surface->w);
    height = static_cast<uint32_t>(surface->h);
    return true;
}

}  // namespace tavrin::check
