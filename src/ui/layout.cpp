#include "ui/layout.h"

#include <algorithm>

namespace tavrin::launcher {

bool GroupForState(int32_t state, StateGroup& group)
{
    switch (state) {
    case 1:
    case 2:
        group = GroupLoading;
        return true;
    case 3:
        group = GroupInitializing;
        return true;
    case 4:
        group = GroupWaiting;
        return true;
    case 5:
        group = GroupError;
        return true;
    default:
        group = GroupLoading;
        return false;
    }
}

std::vector<int32_t> StateGroupIds(StateGroup group, bool hideGui, bool hideBootstrapper)
{
    if (group == GroupError)
        return {SplashImage, LogoAnimation, HiddenLogo,  ErrorOverlay,
                ErrorTitle,  ErrorMessage,  CloseButton, ExitButton};
    if (hideBootstrapper)
        return {};
    switch (group) {
    case GroupLoading:
        if (hideGui)
            return {SplashImage, CloseButton};
        return {SplashImage, LogoAnimation, HiddenLogo,  ProgressTrack,
                ProgressBar, StatusText,    PercentText, CloseButton};
    case GroupInitializing:
        if (hideGui)
            return {SplashImage};
        return {SplashImage, LogoAnimation, HiddenLogo, ProgressTrack, ProgressBar, StatusText};
    case GroupWaiting:
        if (hideGui)
            return {SplashImage};
        return {SplashImage, LogoAnimation, HiddenLogo, ProgressTrack, ProgressBar, StatusText, PercentText};
    default:
        return {};
    }
}

cLayoutMetrics ComputeLayoutMetrics(int32_t width, int32_t height)
{
    cLayoutMetrics metrics;
    metrics.BarHeight = height / 45;
    metrics.BarTop = height - metrics.BarHeight;
    metrics.LogoTop = height - kLogoFrameHeight;
    metrics.TextMargin =
        std::min(static_cast<int32_t>(height * 0.075), static_cast<int32_t>(width * 0.04375));
    metrics.TextBase = metrics.BarTop - metrics.TextMargin / 2;
    metrics.ErrorTitleOffset = static_cast<int32_t>(height * 0.23);
    metrics.ErrorGap = static_cast<int32_t>(height * 0.1);
    return metrics;
}

cUiBounds PlaceExitButton(int32_t windowWidth, const cUiBounds& overlay)
{
    cUiBounds face;
    face.Width = static_cast<int32_t>(overlay.Width * 0.2);
    face.Height = static_cast<int32_t>(overlay.Height * 0.09);
    face.X = windowWidth / 2 - face.Width / 2;
    face.Y = overlay.Y + overlay.Height - 2 * face.Height;
    return face;
}

cSheetPlan PlanSheet(int32_t sheetWidth, int32_t sheetHeight, int32_t frameWidth, int32_t frameHeight)
{
    cSheetPlan plan;
    if (frameWidth <= 0 || frameHeight <= 0 || sheetWidth <= 0 || sheetHeight <= 0)
        return plan;
    if (sheetWidth == frameWidth) {
        plan.Layout = SheetColumn;
        plan.FrameCount = sheetHeight / frameHeight;
        return plan;
    }
    int32_t columns = sheetWidth / frameWidth;
    if (sheetHeight == frameHeight) {
        plan.Layout = SheetRow;
        plan.FrameCount = columns;
        return plan;
    }
    plan.Layout = SheetGrid;
    plan.FrameCount = (sheetHeight / frameHeight) * columns;
    return plan;
}

cProgressPlan PlanProgress(uint32_t percent, int32_t trackLength, int32_t currentWidth)
{
    cProgressPlan plan;
    plan.Target = static_cast<int32_t>(percent / 100.0 * trackLength);
    plan.Step = plan.Target > trackLength * 0.1 + currentWidth ? 10 : 1;
    return plan;
}

cStatusPlacement PlaceStatusTexts(int32_t windowWidth, const cLayoutMetrics& metrics,
                                  int32_t percentColumnWidth, int32_t percentHeight, int32_t statusWidth,
                                  int32_t statusHeight)
{
    cStatusPlacement placement;
    int32_t x = windowWidth - percentColumnWidth - metrics.TextMargin;
    placement.Percent = {x, metrics.TextBase - percentHeight};
    placement.Status = {x - metrics.TextMargin / 3 - statusWidth, metrics.TextBase - statusHeight};
    return placement;
}

cErrorPlacement PlaceErrorScreen(int32_t windowWidth, int32_t windowHeight, const cLayoutMetrics& metrics,
                                 int32_t titleWidth, int32_t titleHeight, int32_t messageWidth,
                                 int32_t messageHeight, int32_t exitHeight)
{
    cErrorPlacement placement;
    placement.Title = {windowWidth / 2 - titleWidth / 2, titleHeight / 2 + metrics.ErrorTitleOffset};
    placement.Message = {windowWidth / 2 - messageWidth / 2,
                         placement.Title.Y + titleHeight + metrics.ErrorGap};
    placement.ExitY = placement.Message.Y + messageHeight + metrics.ErrorGap;

    // The Exit button is the only way out of an error: a long message moves
    // the stack up, and the button never leaves the window.
    const int32_t lowestExitY = std::max(0, windowHeight - exitHeight - metrics.BarHeight);
    const int32_t overflow = placement.ExitY - lowestExitY;
    if (overflow > 0) {
        const int32_t lift = std::min(overflow, std::max(0, placement.Title.Y));
        placement.Title.Y -= lift;
        placement.Message.Y -= lift;
        placement.ExitY = std::min(placement.ExitY - lift, lowestExitY);
    }
    return placement;
}

}  // namespace tavrin::launcher
