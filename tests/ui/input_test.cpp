// The platform-free rules of the splash window's mouse input.
#include <gtest/gtest.h>

#include "ui/input.h"

namespace tavrin::launcher {
namespace {

TEST(InputRules, HoverTargets)
{
    EXPECT_EQ(HoverTarget(true, false), 150);
    EXPECT_EQ(HoverTarget(true, true), 255);
    EXPECT_EQ(HoverTarget(false, true), 0);
    EXPECT_EQ(HoverTarget(false, false), 0);
}

// Only the left button is recorded; its last press or release says whether it is held.
TEST(InputRules, PointerKeepsOnlyTheLeftButtonsRecord)
{
    cPointerState pointer;
    EXPECT_FALSE(pointer.LeftHeld());
    pointer.RecordButton(3, true);
    EXPECT_TRUE(pointer.Presses().empty());
    EXPECT_FALSE(pointer.LeftHeld());
    pointer.RecordButton(kLeftMouseButton, true);
    EXPECT_TRUE(pointer.LeftHeld());
    pointer.RecordButton(3, false);
    EXPECT_TRUE(pointer.LeftHeld());
    pointer.RecordButton(kLeftMouseButton, false);
    EXPECT_FALSE(pointer.LeftHeld());
    EXPECT_EQ(pointer.Presses(), (std::map<uint8_t, int32_t>{{kLeftMouseButton, kReleased}}));
}

TEST(InputRules, DragKeepsHalfTheWindowOnTheDisplays)
{
    const std::vector<cDisplayBounds> one = {{0, 0, 1920, 1080}};
    struct Case {
        int32_t wx, wy, dx, dy, x, y;
    } cases[] = {
        {100, 100, 5, -3, 105, 97},                                             // free movement
        {100, 100, -5000, 0, -400, 100},                                        // left edge at -W/2
        {100, 100, 0, 5000, 100, 855},                                          // top at 1080 - 225
        {100, 100, 5000, -5000, 1520, -225}, {-400, -225, -1, -1, -400, -225},  // already at the limit
    };
    for (const Case& c : cases) {
        int32_t x = 0;
        int32_t y = 0;
        DraggedWindowPosition(c.wx, c.wy, c.dx, c.dy, 800, 450, one, x, y);
        EXPECT_EQ(x, c.x) << c.wx << "+" << c.dx;
        EXPECT_EQ(y, c.y) << c.wy << "+" << c.dy;
    }
}

TEST(InputRules, DragLimitsSpanEveryDisplay)
{
    // A second display to the right and lower than the first.
    const std::vector<cDisplayBounds> two = {{0, 0, 1920, 1080}, {1920, 200, 1280, 1024}};
    int32_t right = 0;
    int32_t bottom = 0;
    ASSERT_TRUE(DisplayExtent(two, right, bottom));
    EXPECT_EQ(right, 3200);
    EXPECT_EQ(bottom, 1224);
    int32_t x = 0;
    int32_t y = 0;
    DraggedWindowPosition(0, 0, 9000, 9000, 800, 450, two, x, y);
    EXPECT_EQ(x, 2800);
    EXPECT_EQ(y, 999);
}

TEST(InputRules, WithoutDisplayBoundsOnlyTheTopLeftLimitApplies)
{
    int32_t right = 1;
    int32_t bottom = 1;
    EXPECT_FALSE(DisplayExtent({}, right, bottom));
    int32_t x = 0;
    int32_t y = 0;
    DraggedWindowPosition(100, 100, 30, 40, 800, 450, {}, x, y);
    EXPECT_EQ(x, 130);
    EXPECT_EQ(y, 140);
    DraggedWindowPosition(100, 100, -3000, -3000, 800, 450, {}, x, y);
    EXPECT_EQ(x, -400);
    EXPECT_EQ(y, -225);
}

}  // namespace
}  // namespace tavrin::launcher
