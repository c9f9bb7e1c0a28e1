// Mouse input of the borderless splash window: dragging it with the left
// button, the hover highlight of its buttons, and clicks on them.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace tavrin::launcher {

class cBootstrapperWindow;

// Mouse button and motion events; other events are ignored.
void HandleInputEvent(cBootstrapperWindow& window, const SDL_Event& event);

// eventType is SDL_MOUSEBUTTONDOWN or SDL_MOUSEBUTTONUP. Every press and every
// release over an active button runs its operation (a click runs it twice);
// the left button also starts and ends a drag.
void OnMouseButton(cBootstrapperWindow& window, uint32_t eventType, uint8_t button);

// Ends a drag still in progress: the pointer is shown and free again. A click
// on Close ends the loop on the press, so the release never arrives.
void EndDrag(cBootstrapperWindow& window);

// Moves a dragged window, otherwise fades the buttons for the pointer; then
// stores the global mouse position for the next hit test.
void OnMouseMotion(cBootstrapperWindow& window, int32_t relativeX, int32_t relativeY);

}  // namespace tavrin::launcher
