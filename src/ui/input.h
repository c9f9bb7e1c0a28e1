// Platform-free rules of the splash window's mouse input: the press record,
// the hover opacity of a button and the limits of a window drag.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace tavrin::launcher {

constexpr uint8_t kLeftMouseButton = 1;
constexpr int32_t kPressed = 1;
constexpr int32_t kReleased = 3;
constexpr int32_t kHoverFadeStep = 5;

// Where the pointer was last seen (screen coordinates), what the left button
// last did, and whether the window is being dragged.
class cPointerState {
public:
    void MoveTo(int32_t x, int32_t y);
    int32_t X() const { return PointerX; }
    int32_t Y() const { return PointerY; }
    // Only the left button leaves a record: kPressed or kReleased.
    void RecordButton(uint8_t button, bool pressed);
    bool LeftHeld() const;
    const std::map<uint8_t, int32_t>& Presses() const { return ButtonStates; }
    bool Dragging() const { return BeingDragged; }
    void SetDragging(bool dragging) { BeingDragged = dragging; }

private:
    int32_t PointerX = 0;
    int32_t PointerY = 0;
    std::map<uint8_t, int32_t> ButtonStates;
    bool BeingDragged = false;
};

// 0 for a disabled button, else 255 under the pointer, else 150.
int32_t HoverTarget(bool enabled, bool over);

struct cDisplayBounds {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

// The right and bottom edges of all displays together; false when there is
// no display to measure.
bool DisplayExtent(const std::vector<cDisplayBounds>& displays, int32_t& right, int32_t& bottom);

// The window position after a drag by (relativeX, relativeY): at least half
// of the window stays between (0, 0) and the displays' right and bottom edges.
// Without any display bounds only the top-left limit applies.
void DraggedWindowPosition(int32_t windowX, int32_t windowY, int32_t relativeX, int32_t relativeY,
                           int32_t width, int32_t height, const std::vector<cDisplayBounds>& displays,
                           int32_t& x, int32_t& y);

}  // namespace tavrin::launcher
