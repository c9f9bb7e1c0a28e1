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
    if (window.WindowHandle != nullptr) {
        SDL_GetWindowPosition(window.WindowHandle, &x, &y);
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
    window.BeingDragged = dragging;
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
    DraggedWindowPosition(wx, wy, relativeX, relativeY, window.WindowWidth, window.WindowHeight,
                          ReadDisplayBounds(), x, y);
    if (window.WindowHandle != nullptr) {
        SDL_SetWindowPosition(window.WindowHandle, x, y);
    }
}

void FadeButtonsForPointer(cBootstrapperWindow& window)
{
    int wx = 0;
    int wy = 0;
    WindowPosition(window, wx, wy);
    const std::vector<cUiElementRef> active = window.ActiveElementsCopy();
    for (cUiButton* button : ActiveButtons(active)) {
        const bool over = button->HitTest(window.MouseX, window.MouseY, wx, wy);
        button->FadeTo(HoverTarget(button->Enabled, over), kHoverFadeStep);
    }
}

}  // namespace

void OnMouseButton(cBootstrapperWindow& window, uint32_t eventType, uint8_t button)
{
    const std::vector<cUiElementRef> active = window.ActiveElementsCopy();
    if (button == kLeftMouseButton) {
        window.ButtonStates[button] = eventType == SDL_MOUSEBUTTONDOWN ? kPressed : kReleased;
    }
    int wx = 0;
    int wy = 0;
    WindowPosition(window, wx, wy);
    for (cUiButton* element : ActiveButtons(active)) {
        if (element->HitTest(window.MouseX, window.MouseY, wx, wy)) {
            ClickButton(*element);
        }
    }
    if (button != kLeftMouseButton) {
        return;
    }
    auto state = window.ButtonStates.find(button);
    if (state != window.ButtonStates.end()) {
        SetDragging(window, state->second == kPressed);
    }
}

void EndDrag(cBootstrapperWindow& window)
{
    if (!window.BeingDragged) {
        return;
    }
    window.ButtonStates[kLeftMouseButton] = kReleased;
    SetDragging(window, false);
}

void OnMouseMotion(cBootstrapperWindow& window, int32_t relativeX, int32_t relativeY)
{
    if (window.BeingDragged) {
        DragWindow(window, relativeX, relativeY);
    } else {
        FadeButtonsForPointer(window);
    }
    SDL_GetGlobalMouseState(&window.MouseX, &window.MouseY);
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
