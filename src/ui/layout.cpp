#include "ui/layout.h"

#include <algorithm>

#include "ui/scale.h"

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

namespace {

cTextExtent ToDesign(const cTextExtent& extent, int32_t dpi)
{
    return {UnscaleLength(extent.Width, dpi), UnscaleLength(extent.Height, dpi)};
}

cPoint ScalePoint(const cPoint& design, int32_t dpi)
{
    return {ScaleLength(design.X, dpi), ScaleLength(design.Y, dpi)};
}

// The caption's place when centred on the face (the text element's CenterIn).
cPoint CentreOn(const cUiBounds& face, const cTextExtent& caption)
{
    return {face.X + face.Width / 2 - caption.Width / 2, face.Y + face.Height / 2 - caption.Height / 2};
}

}  // namespace

cSplashLayout ComputeSplashLayout(int32_t dpi, const cSplashContent& content)
{
    const cLayoutMetrics metrics = ComputeLayoutMetrics(kWindowWidth, kWindowHeight);
    const cTextExtent status = ToDesign(content.Status, dpi);
    const cTextExtent percent = ToDesign(content.Percent, dpi);
    const cTextExtent title = ToDesign(content.ErrorTitle, dpi);
    const cTextExtent message = ToDesign(content.ErrorMessage, dpi);
    const cTextExtent caption = ToDesign(content.ExitCaption, dpi);
    const int32_t percentColumn = UnscaleLength(content.PercentColumnWidth, dpi);

    const cUiBounds window{0, 0, kWindowWidth, kWindowHeight};
    const cUiBounds exitFace = PlaceExitButton(kWindowWidth, window);
    const cStatusPlacement statusTexts =
        PlaceStatusTexts(kWindowWidth, metrics, percentColumn, percent.Height, status.Width, status.Height);
    const cErrorPlacement error =
        PlaceErrorScreen(kWindowWidth, kWindowHeight, metrics, title.Width, title.Height, message.Width,
                         message.Height, exitFace.Height);
    cUiBounds errorExitFace = exitFace;
    errorExitFace.Y = error.ExitY;

    cSplashLayout layout;
    layout.Window = ScaleBounds(window, dpi);
    layout.Splash = layout.Window;
    layout.Logo = ScaleBounds({0, metrics.LogoTop, kLogoFrameWidth, kLogoFrameHeight}, dpi);
    layout.Close =
        ScaleBounds({kWindowWidth - content.CloseWidth, 0, content.CloseWidth, content.CloseHeight}, dpi);
    layout.Track = ScaleBounds({0, metrics.BarTop, kWindowWidth, metrics.BarHeight}, dpi);
    layout.Overlay = layout.Window;
    layout.ExitFace = ScaleBounds(exitFace, dpi);
    layout.ExitCaption = ScalePoint(CentreOn(exitFace, caption), dpi);
    layout.ErrorExitFace = ScaleBounds(errorExitFace, dpi);
    layout.ErrorExitCaption = ScalePoint(CentreOn(errorExitFace, caption), dpi);
    layout.Percent = ScalePoint(statusTexts.Percent, dpi);
    layout.Status = ScalePoint(statusTexts.Status, dpi);
    layout.ErrorTitle = ScalePoint(error.Title, dpi);
    layout.ErrorMessage = ScalePoint(error.Message, dpi);
    return layout;
}

int32_t FontPixelSize(int32_t designSize, int32_t dpi) { return ScaleLength(designSize, dpi); }

}  // namespace tavrin::launcher
