#include "ui/input_win.h"

#include <memory>
#include <vector>

#include "logging/logger.h"
#include "ui/bootstrapper_window_win.h"
#include "ui/input.h"

namespace tavrin::launcher {

namespace {

std::vector<cUiButton*> ActiveButtons(const std::vector<cUiElementRef>& active)
{
    std::vector<cUiButton*> buttons;
    for (const cUiElementRef& element : active) {
        if (element && element->IsButton()) {
            buttons.push_back(static_cast<cUiButton*>(element.get()));
        }
    }
    return buttons;
}

void WindowPosition(const cBootstrapperWindow& window, int& x, int& y)
{
    x = 0;
    y = 0;
    if (window.Window() != nullptr) {
        SDL_GetWindowPosition(window.Window(), &x, &y);
    }
}

void ClickButton(cUiButton& button)
{
    if (!button.Operation) {
        LogPrintf(Error, "Called for a button element with no specified operation!");
    } else if (button.Enabled) {
        button.Operation();
    } else {
        LogPrintf(Info, "Called for a button element that was still visible but disabled.");
    }
}

void SetDragging(cBootstrapperWindow& window, bool dragging)
{
    LogPrintf(Verbose, "Changing the BeingDragged flag to %s.", dragging ? "true" : "false");
    window.Pointer().SetDragging(dragging);
    SDL_SetRelativeMouseMode(dragging ? SDL_TRUE : SDL_FALSE);
}

std::vector<cDisplayBounds> ReadDisplayBounds()
{
    std::vector<cDisplayBounds> displays;
    const int count = SDL_GetNumVideoDisplays();
    for (int i = 0; i < count; ++i) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(i, &bounds) == 0) {
            displays.push_back({bounds.x, bounds.y, bounds.w, bounds.h});
        }
    }
    return displays;
}

void DragWindow(cBootstrapperWindow& window, int32_t relativeX, int32_t relativeY)
{
    int wx = 0;
    int wy = 0;
    WindowPosition(window, wx, wy);
    int32_t x = 0;
    int32_t y = 0;
    DraggedWindowPosition(wx, wy, relativeX, relativeY, window.ClientWidth(), window.ClientHeight(),
                          ReadDisplayBounds(), x, y);
    if (window.Window() != nullptr) {
        SDL_SetWindowPosition(window.Window(), x, y);
    }
}

void FadeButtonsForPointer(cBootstrapperWindow& window)
{
    int wx = 0;
    int wy = 0;
    WindowPosition(window, wx, wy);
    const std::vector<cUiElementRef> active = window.ActiveElementsCopy();
    const cPointerState& pointer = window.Pointer();
    for (cUiButton* button : ActiveButtons(active)) {
        const bool over = button->HitTest(pointer.X(), pointer.Y(), wx, wy);
        button->FadeTo(HoverTarget(button->Enabled, over), kHoverFadeStep);
    }
}

}  // namespace

void OnMouseButton(cBootstrapperWindow& window, uint32_t eventType, uint8_t button)
{
    const std::vector<cUiElementRef> active = window.ActiveElementsCopy();
    window.Pointer().RecordButton(button, eventType == SDL_MOUSEBUTTONDOWN);
    int wx = 0;
    int wy = 0;
    WindowPosition(window, wx, wy);
    const cPointerState& pointer = window.Pointer();
    for (cUiButton* element : ActiveButtons(active)) {
        if (element->HitTest(pointer.X(), pointer.Y(), wx, wy)) {
            ClickButton(*element);
        }
    }
    if (button == kLeftMouseButton) {
        SetDragging(window, window.Pointer().LeftHeld());
    }
}

void EndDrag(cBootstrapperWindow& window)
{
    if (!window.Pointer().Dragging()) {
        return;
    }
    window.Pointer().RecordButton(kLeftMouseButton, false);
    SetDragging(window, false);
}

void OnMouseMotion(cBootstrapperWindow& window, int32_t relativeX, int32_t relativeY)
{
    if (window.Pointer().Dragging()) {
        DragWindow(window, relativeX, relativeY);
    } else {
        FadeButtonsForPointer(window);
    }
    int x = 0;
    int y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    window.Pointer().MoveTo(x, y);
}

void HandleInputEvent(cBootstrapperWindow& window, const SDL_Event& event)
{
    switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        OnMouseButton(window, event.type, event.button.button);
        break;
    case SDL_MOUSEMOTION:
        OnMouseMotion(window, event.motion.xrel, event.motion.yrel);
        break;
    default:
        break;
    }
}

}  // namespace tavrin::launcher
