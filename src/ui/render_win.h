// Draws one element with the splash window's renderer: rectangles, gradients,
// textures, text lines and drop shadows.
#pragma once

#include <SDL.h>

#include "ui/elements.h"

namespace tavrin::launcher {

// True when everything of the element was drawn. Failures are logged and the
// frame goes on; the renderer's draw colour is restored after every fill. A
// drop shadow lies shadowOffset pixels right and down (one at 100 %).
bool DrawElement(SDL_Renderer* renderer, const cUiElement* element, int32_t shadowOffset = 1);

}  // namespace tavrin::launcher
