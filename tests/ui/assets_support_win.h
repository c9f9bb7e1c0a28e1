// Helpers of the Windows UI asset, icon and input tests: SDL/TTF set-up, and
// the shared scratch folder, file helpers and log capture.
#pragma once

#include <windows.h>

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "test_support/captured_log.h"
#include "test_support/scratch_folder_win.h"

namespace tavrin::launcher::test {

// SDL_image and SDL_ttf, and a software renderer drawing into a memory surface.
class cSoftwareCanvas {
public:
    cSoftwareCanvas(int width = 800, int height = 450)
    {
        IMG_Init(IMG_INIT_PNG);
        TTF_Init();
        Surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
        Renderer = Surface != nullptr ? SDL_CreateSoftwareRenderer(Surface) : nullptr;
    }
    ~cSoftwareCanvas()
    {
        if (Renderer != nullptr)
            SDL_DestroyRenderer(Renderer);
        if (Surface != nullptr)
            SDL_FreeSurface(Surface);
        TTF_Quit();
        IMG_Quit();
    }
    cSoftwareCanvas(const cSoftwareCanvas&) = delete;
    cSoftwareCanvas& operator=(const cSoftwareCanvas&) = delete;

    // The colour at (x, y) after the last draw, as 0xAARRGGBB.
    uint32_t Pixel(int x, int y) const
    {
        const auto* row = static_cast<const uint8_t*>(Surface->pixels) + y * Surface->pitch;
        return reinterpret_cast<const uint32_t*>(row)[x];
    }

    SDL_Surface* Surface = nullptr;
    SDL_Renderer* Renderer = nullptr;
};

}  // namespace tavrin::launcher::test
