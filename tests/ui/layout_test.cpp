// The splash layout arithmetic and the screen group of each launcher state.
#include <gtest/gtest.h>

#include <vector>

#include "ui/layout.h"

namespace tavrin::launcher {
namespace {

TEST(LayoutMetrics, SplashOf800By450)
{
    cLayoutMetrics m = ComputeLayoutMetrics(800, 450);
    EXPECT_EQ(m.BarHeight, 10);
    EXPECT_EQ(m.BarTop, 440);
    EXPECT_EQ(m.LogoTop, 327);
    EXPECT_EQ(m.TextMargin, 33);
    EXPECT_EQ(m.TextBase, 424);
    EXPECT_EQ(m.ErrorTitleOffset, 103);
    EXPECT_EQ(m.ErrorGap, 45);
}

TEST(LayoutMetrics, ExitButtonIs160By40NearTheOverlayBottom)
{
    EXPECT_EQ(PlaceExitButton(800, {0, 0, 800, 450}), (cUiBounds{320, 370, 160, 40}));
}

TEST(LayoutMetrics, StatusTextsShareTheBaseLineLeftOfThePercentColumn)
{
    cLayoutMetrics m = ComputeLayoutMetrics(800, 450);
    cStatusPlacement p = PlaceStatusTexts(800, m, 50, 28, 120, 28);
    EXPECT_EQ(p.Percent, (cPoint{800 - 50 - 33, 424 - 28}));
    // 11 pixels between the status text's end and the percentage.
    EXPECT_EQ(p.Status.X + 120 + 11, p.Percent.X);
    EXPECT_EQ(p.Status.Y, p.Percent.Y);
    EXPECT_EQ(440 - (p.Status.Y + 28), 16);
}

TEST(LayoutMetrics, ErrorScreenStacksTitleMessageAndExit)
{
    cLayoutMetrics m = ComputeLayoutMetrics(800, 450);
    cErrorPlacement p = PlaceErrorScreen(800, 450, m, 200, 42, 300, 20, 36);
    EXPECT_EQ(p.Title, (cPoint{300, 21 + 103}));
    EXPECT_EQ(p.Message, (cPoint{250, 124 + 42 + 45}));
    EXPECT_EQ(p.ExitY, 211 + 20 + 45);
}

TEST(LayoutMetrics, LongMessageLiftsTheStackAndKeepsExitInside)
{
    cLayoutMetrics m = ComputeLayoutMetrics(800, 450);
    // Exit would start at 211 + 150 + 45 = 406, two below its lowest place 450 - 36 - 10.
    cErrorPlacement lifted = PlaceErrorScreen(800, 450, m, 200, 42, 300, 150, 36);
    EXPECT_EQ(lifted.ExitY, 404);
    EXPECT_EQ(lifted.Title.Y, 124 - 2);
    EXPECT_EQ(lifted.Message.Y, 211 - 2);
    // Taller than the window: the title reaches the top, the button stays inside.
    cErrorPlacement tall = PlaceErrorScreen(800, 450, m, 200, 42, 300, 2000, 36);
    EXPECT_EQ(tall.Title.Y, 0);
    EXPECT_EQ(tall.ExitY, 404);
}

TEST(Progress, TargetAndStepFollowTheTrack)
{
    struct Case {
        uint32_t Percent;
        int32_t Current;
        int32_t Target, Step;
    } cases[] = {{5, 0, 40, 1},      {50, 40, 400, 10}, {10, 0, 80, 1},  {11, 0, 88, 10},
                 {100, 790, 800, 1}, {0, 0, 0, 1},      {33, 0, 264, 10}};
    for (const Case& c : cases) {
        cProgressPlan plan = PlanProgress(c.Percent, 800, c.Current);
        EXPECT_EQ(plan.Target, c.Target) << c.Percent;
        EXPECT_EQ(plan.Step, c.Step) << c.Percent;
    }
}

TEST(Sheets, LayoutAndFrameCountFromTheSheetSize)
{
    struct Case {
        int32_t Width, Height;
        int32_t Layout, Frames;
    } cases[] = {{1000, 1968, SheetGrid, 64}, {250, 1230, SheetColumn, 10}, {1000, 123, SheetRow, 4},
                 {250, 123, SheetColumn, 1},  {0, 0, SheetRow, 0},          {100, 100, SheetGrid, 0}};
    for (const Case& c : cases) {
        cSheetPlan plan = PlanSheet(c.Width, c.Height, 250, 123);
        EXPECT_EQ(plan.Layout, c.Layout) << c.Width << "x" << c.Height;
        EXPECT_EQ(plan.FrameCount, c.Frames) << c.Width << "x" << c.Height;
    }
}

TEST(StateGroups, HideOptionsShrinkEveryGroupButTheErrorScreen)
{
    using Ids = std::vector<int32_t>;
    const Ids full = {1001, 2001, 2002, 3001, 3002, 4001, 4002, 5001};
    EXPECT_EQ(StateGroupIds(GroupLoading, false, false), full);
    EXPECT_EQ(StateGroupIds(GroupLoading, true, false), (Ids{1001, 5001}));
    EXPECT_EQ(StateGroupIds(GroupLoading, true, true), Ids{});
    EXPECT_EQ(StateGroupIds(GroupInitializing, false, false), (Ids{1001, 2001, 2002, 3001, 3002, 4001}));
    EXPECT_EQ(StateGroupIds(GroupInitializing, true, false), (Ids{1001}));
    EXPECT_EQ(StateGroupIds(GroupWaiting, false, false), (Ids{1001, 2001, 2002, 3001, 3002, 4001, 4002}));
    EXPECT_EQ(StateGroupIds(GroupWaiting, false, true), Ids{});
    const Ids error = {1001, 2001, 2002, 3003, 4003, 4004, 5001, 5002};
    for (bool hideGui : {false, true})
        for (bool hideBootstrapper : {false, true})
            EXPECT_EQ(StateGroupIds(GroupError, hideGui, hideBootstrapper), error);
}

TEST(StateGroups, StatesMapToTheirGroups)
{
    StateGroup group = GroupError;
    struct Case {
        int32_t State;
        bool Known;
        StateGroup Group;
    } cases[] = {{1, true, GroupLoading}, {2, true, GroupLoading}, {3, true, GroupInitializing},
                 {4, true, GroupWaiting}, {5, true, GroupError},   {0, false, GroupLoading},
                 {9, false, GroupLoading}};
    for (const Case& c : cases) {
        EXPECT_EQ(GroupForState(c.State, group), c.Known) << c.State;
        EXPECT_EQ(group, c.Group) << c.State;
    }
}

}  // namespace
}  // namespace tavrin::launcher
