// Mouse input on a real splash window (SDL under Wine): hover fades, clicks
// on press and on release, disabled buttons, and dragging within the display.
#include <gtest/gtest.h>

#include <string>

#include "localization/localization.h"
#include "settings/settings.h"
#include "ui/assets_support_win.h"
#include "ui/bootstrapper_window_win.h"
#include "ui/input.h"
#include "ui/input_win.h"
#include "ui/layout.h"

namespace tavrin::launcher {
namespace {

using tavrin::test::cCapturedLog;
using tavrin::test::cScratchFolder;

constexpr int64_t kFrameNs = 16'000'000;
constexpr const char* kCloseMessage = "Close button pressed by the user, setting exit flag.";
constexpr const char* kExitMessage = "Exit button pressed by the user, setting exit flag.";
constexpr const char* kDisabledMessage = "Called for a button element that was still visible but disabled.";

class InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        IMG_Init(IMG_INIT_PNG);
        TTF_Init();
        std::string message;
        ASSERT_TRUE(Window.Create(Settings, Localization, Folder.Utf8(), {}, message)) << message;
        Window.SetExitHandler([this] { ++Exits; });
        SDL_SetWindowPosition(Window.Window(), 100, 80);
    }

    void TearDown() override
    {
        SDL_SetRelativeMouseMode(SDL_FALSE);
        Window.Destroy();
        TTF_Quit();
        IMG_Quit();
        SDL_Quit();
    }

    void EnterState(int32_t state) { Window.ApplyStateGroup(state, Settings); }

    // Puts the pointer on a window pixel, as the previous motion event left it.
    void PointAt(int32_t x, int32_t y)
    {
        int wx = 0;
        int wy = 0;
        SDL_GetWindowPosition(Window.Window(), &wx, &wy);
        Window.Pointer().MoveTo(wx + x, wy + y);
    }

    void PointAtCentreOf(const cUiButton& button)
    {
        const ElementPart part = button.BodyPart();
        PointAt(button.GetX(part) + button.GetWidth(part) / 2,
                button.GetY(part) + button.GetHeight(part) / 2);
    }

    void Click(uint8_t button)
    {
        OnMouseButton(Window, SDL_MOUSEBUTTONDOWN, button);
        OnMouseButton(Window, SDL_MOUSEBUTTONUP, button);
    }

    // Frames until the alpha stops changing, at most limit.
    int FramesToSettle(cUiButton& button, ElementPart part, int limit = 200)
    {
        for (int frame = 1; frame <= limit; ++frame) {
            const uint8_t before = button.GetAlpha(part);
            button.Update(kFrameNs);
            if (button.GetAlpha(part) == before)
                return frame - 1;
        }
        return limit;
    }

    cCapturedLog Log;
    cScratchFolder Folder{L"tavrin_ui_"};
    cLocalization Localization;
    cSettings Settings;
    cBootstrapperWindow Window;
    int Exits = 0;
};

TEST_F(InputTest, HoverFadesTheCloseButtonUpAndBack)
{
    EnterState(2);
    auto close = Window.FindButton(CloseButton);
    ASSERT_TRUE(close);
    FramesToSettle(*close, ElementPart::ButtonImage);
    ASSERT_EQ(close->GetAlpha(ElementPart::ButtonImage), 150);

    PointAtCentreOf(*close);
    OnMouseMotion(Window, 0, 0);
    EXPECT_EQ(FramesToSettle(*close, ElementPart::ButtonImage), 21);
    EXPECT_EQ(close->GetAlpha(ElementPart::ButtonImage), 255);

    PointAt(10, 10);
    OnMouseMotion(Window, 0, 0);
    EXPECT_EQ(FramesToSettle(*close, ElementPart::ButtonImage), 21);
    EXPECT_EQ(close->GetAlpha(ElementPart::ButtonImage), 150);
    EXPECT_EQ(Exits, 0);
}

TEST_F(InputTest, HoverFadesTheExitButtonFaceAndCaption)
{
    EnterState(5);
    auto exitButton = Window.FindButton(ExitButton);
    ASSERT_TRUE(exitButton);
    FramesToSettle(*exitButton, ElementPart::ButtonRect);
    ASSERT_EQ(exitButton->GetAlpha(ElementPart::ButtonRect), 150);

    PointAtCentreOf(*exitButton);
    OnMouseMotion(Window, 0, 0);
    EXPECT_EQ(FramesToSettle(*exitButton, ElementPart::ButtonRect), 21);
    EXPECT_EQ(exitButton->GetAlpha(ElementPart::ButtonRect), 255);
    EXPECT_EQ(exitButton->TextChild->GetAlpha(ElementPart::TextTexture), 255);
}

TEST_F(InputTest, DisabledCloseButtonFadesOutUnderThePointer)
{
    EnterState(2);  // joins the active list, which it never leaves
    EnterState(3);
    auto close = Window.FindButton(CloseButton);
    ASSERT_FALSE(close->Enabled);
    PointAtCentreOf(*close);
    OnMouseMotion(Window, 0, 0);
    FramesToSettle(*close, ElementPart::ButtonImage);
    EXPECT_EQ(close->GetAlpha(ElementPart::ButtonImage), 0);
}

TEST_F(InputTest, ClickOnCloseRunsOnPressAndOnRelease)
{
    EnterState(2);
    PointAtCentreOf(*Window.FindButton(CloseButton));
    OnMouseButton(Window, SDL_MOUSEBUTTONDOWN, 1);
    EXPECT_EQ(Exits, 1);
    EXPECT_TRUE(Window.Pointer().Dragging());
    EXPECT_EQ(Window.Pointer().Presses(), (std::map<uint8_t, int32_t>{{1, kPressed}}));
    OnMouseButton(Window, SDL_MOUSEBUTTONUP, 1);
    EXPECT_EQ(Exits, 2);
    EXPECT_FALSE(Window.Pointer().Dragging());
    EXPECT_EQ(Window.Pointer().Presses(), (std::map<uint8_t, int32_t>{{1, kReleased}}));
    EXPECT_EQ(Log.Count(kCloseMessage), 2u);
    EXPECT_EQ(Log.Count("Changing the BeingDragged flag to true."), 1u);
    EXPECT_EQ(Log.Count("Changing the BeingDragged flag to false."), 1u);
}

TEST_F(InputTest, PressThatEndsTheRunLeavesNoHiddenPointerBehind)
{
    EnterState(2);
    PointAtCentreOf(*Window.FindButton(CloseButton));
    OnMouseButton(Window, SDL_MOUSEBUTTONDOWN, 1);
    ASSERT_EQ(Exits, 1);
    ASSERT_TRUE(Window.Pointer().Dragging());
    // The loop ends before the release arrives; the window goes with the launcher.
    Window.Destroy();
    EXPECT_FALSE(Window.Pointer().Dragging());
    EXPECT_EQ(SDL_GetRelativeMouseMode(), SDL_FALSE);
}

TEST_F(InputTest, DisabledCloseButtonIgnoresClicksButTheWindowStillDrags)
{
    EnterState(2);
    EnterState(3);
    PointAtCentreOf(*Window.FindButton(CloseButton));
    OnMouseButton(Window, SDL_MOUSEBUTTONDOWN, 1);
    EXPECT_TRUE(Window.Pointer().Dragging());
    OnMouseButton(Window, SDL_MOUSEBUTTONUP, 1);
    EXPECT_EQ(Exits, 0);
    EXPECT_EQ(Log.Count(kDisabledMessage), 2u);
    EXPECT_EQ(Log.Count(kCloseMessage), 0u);
}

TEST_F(InputTest, RightClickOnExitRunsItWithoutRecordOrDrag)
{
    EnterState(5);
    PointAtCentreOf(*Window.FindButton(ExitButton));
    Click(3);
    EXPECT_EQ(Exits, 2);
    EXPECT_EQ(Log.Count(kExitMessage), 2u);
    EXPECT_TRUE(Window.Pointer().Presses().empty());
    EXPECT_FALSE(Window.Pointer().Dragging());
}

TEST_F(InputTest, ButtonWithoutOperationIsLogged)
{
    EnterState(5);
    auto exitButton = Window.FindButton(ExitButton);
    exitButton->Operation = nullptr;
    PointAtCentreOf(*exitButton);
    Click(1);
    EXPECT_EQ(Exits, 0);
    EXPECT_EQ(Log.Count("Called for a button element with no specified operation!"), 2u);
}

TEST_F(InputTest, EdgeOfAButtonIsOutside)
{
    EnterState(2);
    auto close = Window.FindButton(CloseButton);
    const ElementPart part = close->BodyPart();
    PointAt(close->GetX(part), close->GetY(part) + 10);
    Click(1);
    PointAt(close->GetX(part) + 1, close->GetY(part) + 10);
    Click(2);
    EXPECT_EQ(Exits, 2);
}

TEST_F(InputTest, DraggingStopsAtHalfTheWindowOutsideTheDisplay)
{
    EnterState(2);
    SDL_Rect display;
    ASSERT_EQ(SDL_GetDisplayBounds(0, &display), 0);
    PointAt(200, 200);
    OnMouseButton(Window, SDL_MOUSEBUTTONDOWN, 1);
    ASSERT_TRUE(Window.Pointer().Dragging());

    int x = 0;
    int y = 0;
    OnMouseMotion(Window, 30, -20);
    SDL_GetWindowPosition(Window.Window(), &x, &y);
    EXPECT_EQ(x, 130);
    EXPECT_EQ(y, 60);
    OnMouseMotion(Window, -5000, 0);
    SDL_GetWindowPosition(Window.Window(), &x, &y);
    EXPECT_EQ(x, -400);
    OnMouseMotion(Window, 0, 5000);
    SDL_GetWindowPosition(Window.Window(), &x, &y);
    EXPECT_EQ(y, display.y + display.h - 225);

    OnMouseButton(Window, SDL_MOUSEBUTTONUP, 1);
    OnMouseMotion(Window, 50, 50);  // no longer dragged: the window stays
    int after = 0;
    SDL_GetWindowPosition(Window.Window(), &after, &y);
    EXPECT_EQ(after, -400);
}

TEST_F(InputTest, EventsReachTheHandlers)
{
    EnterState(2);
    PointAtCentreOf(*Window.FindButton(CloseButton));
    SDL_Event event{};
    event.type = SDL_MOUSEBUTTONDOWN;
    event.button.button = 1;
    event.button.x = -1000;  // the event's own position is not used
    HandleInputEvent(Window, event);
    EXPECT_EQ(Exits, 1);
    event.type = SDL_KEYUP;
    HandleInputEvent(Window, event);
    EXPECT_EQ(Exits, 1);
    event = SDL_Event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.xrel = 7;
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(Window.Window(), &x, &y);
    HandleInputEvent(Window, event);
    int moved = 0;
    SDL_GetWindowPosition(Window.Window(), &moved, &y);
    EXPECT_EQ(moved, x + 7);
}

}  // namespace
}  // namespace tavrin::launcher
