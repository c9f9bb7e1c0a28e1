// The DPI Windows gives a window: the scale of the monitor it is on, for a
// per-monitor DPI aware process (the launcher's manifest declares it).
#pragma once

#include <SDL.h>

#include <cstdint>

namespace tavrin::launcher {

// The window's DPI as the system reports it (96 is 100 %); 96 when there is
// no window or the system cannot tell.
int32_t ReadWindowDpi(SDL_Window* window);

}  // namespace tavrin::launcher
