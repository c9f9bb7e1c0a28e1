#include "ui/input.h"

#include <algorithm>

namespace tavrin::launcher {

void cPointerState::MoveTo(int32_t x, int32_t y)
{
    PointerX = x;
    PointerY = y;
}

void cPointerState::RecordButton(uint8_t button, bool pressed)
{
    if (button == kLeftMouseButton) {
        ButtonStates[button] = pressed ? kPressed : kReleased;
    }
}

bool cPointerState::LeftHeld() const
{
    auto state = ButtonStates.find(kLeftMouseButton);
    return state != ButtonStates.end() && state->second == kPressed;
}

int32_t HoverTarget(bool enabled, bool over)
{
    if (!enabled) {
        return 0;
    }
    return over ? 255 : 150;
}

bool DisplayExtent(const std::vector<cDisplayBounds>& displays, int32_t& right, int32_t& bottom)
{
    right = 0;
    bottom = 0;
    for (const cDisplayBounds& display : displays) {
        right = std::max(right, display.X + display.Width);
        bottom = std::max(bottom, display.Y + display.Height);
    }
    return !displays.empty();
}

void DraggedWindowPosition(int32_t windowX, int32_t windowY, int32_t relativeX, int32_t relativeY,
                           int32_t width, int32_t height, const std::vector<cDisplayBounds>& displays,
                           int32_t& x, int32_t& y)
{
    x = std::max(-width / 2, windowX + relativeX);
    y = std::max(-height / 2, windowY + relativeY);
    int32_t right = 0;
    int32_t bottom = 0;
    // With no measurable display the lower limits would pin the window to the
    // top-left corner; let it move instead.
    if (DisplayExtent(displays, right, bottom)) {
        x = std::min(right - width / 2, x);
        y = std::min(bottom - height / 2, y);
    }
}

}  // namespace tavrin::launcher
