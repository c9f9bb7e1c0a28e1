// The splash layout arithmetic and the screen group of each launcher state.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "ui/assets.h"
#include "ui/layout.h"
#include "ui/scale.h"

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

// Texts of odd sizes in design pixels: a layout that halved pixel sizes
// before scaling would be off by one at 200 %.
cSplashContent DesignContent(int32_t variant)
{
    cSplashContent content;
    content.CloseWidth = 38;
    content.CloseHeight = 38;
    content.Status = {121 + variant, 27};
    content.Percent = {37, 27 + variant};
    content.PercentColumnWidth = 59;
    content.ErrorTitle = {233 + 2 * variant, 41};
    content.ErrorMessage = {517, 19 + 40 * variant};
    content.ExitCaption = {27 + variant, 17};
    return content;
}

// The same texts rendered at a font twice the size.
cSplashContent Doubled(const cSplashContent& design)
{
    cSplashContent content = design;
    for (cTextExtent* text : {&content.Status, &content.Percent, &content.ErrorTitle, &content.ErrorMessage,
                              &content.ExitCaption}) {
        text->Width *= 2;
        text->Height *= 2;
    }
    content.PercentColumnWidth *= 2;
    return content;
}

cUiBounds Twice(const cUiBounds& b) { return {2 * b.X, 2 * b.Y, 2 * b.Width, 2 * b.Height}; }
cPoint Twice(const cPoint& p) { return {2 * p.X, 2 * p.Y}; }

TEST(SplashLayout, At96DpiItIsTheDesignLayout)
{
    const cSplashLayout l = ComputeSplashLayout(96, DesignContent(0));
    EXPECT_EQ(l.Window, (cUiBounds{0, 0, 800, 450}));
    EXPECT_EQ(l.Splash, l.Window);
    EXPECT_EQ(l.Overlay, l.Window);
    EXPECT_EQ(l.Logo, (cUiBounds{0, 327, 250, 123}));
    EXPECT_EQ(l.Close, (cUiBounds{762, 0, 38, 38}));
    EXPECT_EQ(l.Track, (cUiBounds{0, 440, 800, 10}));
    EXPECT_EQ(l.ExitFace, (cUiBounds{320, 370, 160, 40}));
    EXPECT_EQ(l.ExitCaption, (cPoint{320 + 80 - 13, 370 + 20 - 8}));
    const cLayoutMetrics m = ComputeLayoutMetrics(800, 450);
    const cStatusPlacement status = PlaceStatusTexts(800, m, 59, 27, 121, 27);
    EXPECT_EQ(l.Percent, status.Percent);
    EXPECT_EQ(l.Status, status.Status);
    const cErrorPlacement error = PlaceErrorScreen(800, 450, m, 233, 41, 517, 19, 40);
    EXPECT_EQ(l.ErrorTitle, error.Title);
    EXPECT_EQ(l.ErrorMessage, error.Message);
    EXPECT_EQ(l.ErrorExitFace, (cUiBounds{320, error.ExitY, 160, 40}));
}

TEST(SplashLayout, At192DpiEveryRectangleAndFontIsTheDesignOneDoubled)
{
    // Variant 7 makes the message tall enough to lift the error stack.
    for (int32_t variant : {0, 1, 2, 3, 7}) {
        const cSplashContent design = DesignContent(variant);
        const cSplashLayout at100 = ComputeSplashLayout(96, design);
        const cSplashLayout at200 = ComputeSplashLayout(192, Doubled(design));
        SCOPED_TRACE(variant);
        EXPECT_EQ(at200.Window, Twice(at100.Window));
        EXPECT_EQ(at200.Splash, Twice(at100.Splash));
        EXPECT_EQ(at200.Logo, Twice(at100.Logo));
        EXPECT_EQ(at200.Close, Twice(at100.Close));
        EXPECT_EQ(at200.Track, Twice(at100.Track));
        EXPECT_EQ(at200.Overlay, Twice(at100.Overlay));
        EXPECT_EQ(at200.ExitFace, Twice(at100.ExitFace));
        EXPECT_EQ(at200.ExitCaption, Twice(at100.ExitCaption));
        EXPECT_EQ(at200.ErrorExitFace, Twice(at100.ErrorExitFace));
        EXPECT_EQ(at200.ErrorExitCaption, Twice(at100.ErrorExitCaption));
        EXPECT_EQ(at200.Percent, Twice(at100.Percent));
        EXPECT_EQ(at200.Status, Twice(at100.Status));
        EXPECT_EQ(at200.ErrorTitle, Twice(at100.ErrorTitle));
        EXPECT_EQ(at200.ErrorMessage, Twice(at100.ErrorMessage));
    }
    for (const cBuiltInFont& font : kBuiltInFonts) {
        EXPECT_EQ(FontPixelSize(font.PointSize, 96), font.PointSize);
        EXPECT_EQ(FontPixelSize(font.PointSize, 192), 2 * font.PointSize);
    }
}

TEST(SplashLayout, FractionalScalesKeepTheEdgesTogether)
{
    for (int32_t dpi : {120, 144, 168, 240, 480}) {
        const cSplashLayout l = ComputeSplashLayout(dpi, DesignContent(0));
        SCOPED_TRACE(dpi);
        EXPECT_EQ(l.Window.Width, ScaleLength(800, dpi));
        EXPECT_EQ(l.Window.Height, ScaleLength(450, dpi));
        EXPECT_EQ(l.Track.Y + l.Track.Height, l.Window.Height);
        EXPECT_EQ(l.Track.Width, l.Window.Width);
        EXPECT_EQ(l.Logo.Y + l.Logo.Height, l.Window.Height);
        EXPECT_EQ(l.Close.X + l.Close.Width, l.Window.Width);
        EXPECT_EQ(l.Close.Y, 0);
    }
}

TEST(Scale, ReportedDpiIsKeptBetween100And500Percent)
{
    struct Case {
        int32_t Reported;
        int32_t Used;
    } cases[] = {{96, 96},   {144, 144}, {192, 192}, {480, 480},       {0, 96},
                 {-192, 96}, {72, 96},   {481, 480}, {INT32_MAX, 480}, {INT32_MIN, 96}};
    for (const Case& c : cases)
        EXPECT_EQ(SaneDpi(c.Reported), c.Used) << c.Reported;
}

TEST(Scale, LengthsRoundToTheNearestPixel)
{
    EXPECT_EQ(ScaleLength(33, 96), 33);
    EXPECT_EQ(ScaleLength(33, 192), 66);
    EXPECT_EQ(ScaleLength(33, 144), 50);  // 49.5
    EXPECT_EQ(ScaleLength(-33, 144), -50);
    EXPECT_EQ(ScaleLength(10, 120), 13);    // 12.5
    EXPECT_EQ(UnscaleLength(67, 192), 34);  // 33.5
    EXPECT_EQ(UnscaleLength(66, 192), 33);
    EXPECT_EQ(UnscaleLength(50, 0), 50);
    EXPECT_EQ(RescaleLength(400, 96, 192), 800);
    EXPECT_EQ(RescaleLength(800, 192, 144), 600);
    EXPECT_EQ(ScaleBounds({1, 1, 1, 1}, 144), (cUiBounds{2, 2, 1, 1}));  // edges 1.5 and 3
}

}  // namespace
}  // namespace tavrin::launcher
