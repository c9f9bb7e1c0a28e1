// The splash window's element table and layout arithmetic: element ids, the
// screen groups of each launcher state, and where every element goes.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/elements.h"

namespace tavrin::launcher {

enum ElementId : int32_t {
    SplashImage = 1001,
    LogoAnimation = 2001,
    HiddenLogo = 2002,
    ProgressTrack = 3001,
    ProgressBar = 3002,
    ErrorOverlay = 3003,
    StatusText = 4001,
    PercentText = 4002,
    ErrorTitle = 4003,
    ErrorMessage = 4004,
    CloseButton = 5001,
    ExitButton = 5002,
};

constexpr int32_t kWindowWidth = 800;
constexpr int32_t kWindowHeight = 450;
constexpr int32_t kLogoFrameWidth = 250;
constexpr int32_t kLogoFrameHeight = 123;
constexpr uint8_t kButtonRestAlpha = 150;
constexpr uint8_t kButtonHoverAlpha = 255;
constexpr int32_t kFadeStep = 5;

constexpr cUiColor kProgressTrackColor{255, 255, 255, 114};
constexpr cUiColor kProgressBarFirstColor{51, 155, 255, 255};
constexpr cUiColor kProgressBarLastColor{119, 225, 255, 255};
constexpr cUiColor kOverlayColor{0, 0, 0, 229};
constexpr cUiColor kExitFaceColor{0, 116, 228, 150};

enum StateGroup : int32_t {
    GroupLoading = 0,       // states 1 and 2
    GroupInitializing = 1,  // state 3
    GroupError = 2,         // state 5
    GroupWaiting = 3,       // state 4
};

// The group a launcher state shows; false (and the loading group) for an
// unknown state.
bool GroupForState(int32_t state, StateGroup& group);

// Element ids of a group, in the order they join the active list.
// "hide_bootstrapper" wins over "hide_gui"; the error group ignores both.
std::vector<int32_t> StateGroupIds(StateGroup group, bool hideGui, bool hideBootstrapper);

struct cLayoutMetrics {
    int32_t BarHeight = 0;
    int32_t BarTop = 0;
    int32_t LogoTop = 0;
    int32_t TextMargin = 0;
    int32_t TextBase = 0;
    int32_t ErrorTitleOffset = 0;
    int32_t ErrorGap = 0;
};

cLayoutMetrics ComputeLayoutMetrics(int32_t width, int32_t height);

// The Exit button's face: a fifth of the overlay wide, 9 % of it high,
// centred, two heights above the overlay's bottom.
cUiBounds PlaceExitButton(int32_t windowWidth, const cUiBounds& overlay);

struct cSheetPlan {
    int32_t Layout = SheetRow;
    int32_t FrameCount = 0;
};

// A sheet exactly one frame wide is a column, exactly one frame high a row,
// anything else a grid filled column by column.
cSheetPlan PlanSheet(int32_t sheetWidth, int32_t sheetHeight, int32_t frameWidth, int32_t frameHeight);

struct cProgressPlan {
    int32_t Target = 0;
    int32_t Step = 1;
};

// Target width of the bar for a percentage, and a fast step when the bar is
// more than a tenth of the track behind.
cProgressPlan PlanProgress(uint32_t percent, int32_t trackLength, int32_t currentWidth);

struct cPoint {
    int32_t X = 0;
    int32_t Y = 0;
    bool operator==(const cPoint&) const = default;
};

struct cStatusPlacement {
    cPoint Percent;
    cPoint Status;
};

// The percentage sits right-aligned above the bar's end, the status text
// just left of the percentage column; both on the text base line.
cStatusPlacement PlaceStatusTexts(int32_t windowWidth, const cLayoutMetrics& metrics,
                                  int32_t percentColumnWidth, int32_t percentHeight, int32_t statusWidth,
                                  int32_t statusHeight);

struct cErrorPlacement {
    cPoint Title;
    cPoint Message;
    int32_t ExitY = 0;
};

// Title, message and Exit button stacked below the error title offset; when
// the stack would push the button below the window (less the bar's height),
// it moves up, and the button is kept inside in any case.
cErrorPlacement PlaceErrorScreen(int32_t windowWidth, int32_t windowHeight, const cLayoutMetrics& metrics,
                                 int32_t titleWidth, int32_t titleHeight, int32_t messageWidth,
                                 int32_t messageHeight, int32_t exitHeight);

struct cTextExtent {
    int32_t Width = 0;
    int32_t Height = 0;
};

// What the layout depends on besides the DPI. Texts are measured as rendered
// at that DPI, in window pixels; the close picture in its own pixels.
struct cSplashContent {
    int32_t CloseWidth = 0;
    int32_t CloseHeight = 0;
    cTextExtent Status;
    cTextExtent Percent;
    // The width the percentage column keeps ("100%" while downloading).
    int32_t PercentColumnWidth = 0;
    cTextExtent ErrorTitle;
    cTextExtent ErrorMessage;
    cTextExtent ExitCaption;
};

// Where every element goes, in window pixels.
struct cSplashLayout {
    cUiBounds Window;
    cUiBounds Splash;
    cUiBounds Logo;
    cUiBounds Close;
    // The progress track; the bar at full length.
    cUiBounds Track;
    cUiBounds Overlay;
    // The Exit button before an error is shown, and with the error's texts.
    cUiBounds ExitFace;
    cPoint ExitCaption;
    cUiBounds ErrorExitFace;
    cPoint ErrorExitCaption;
    cPoint Percent;
    cPoint Status;
    cPoint ErrorTitle;
    cPoint ErrorMessage;
};

// The splash at a DPI: the 96 DPI layout with every length scaled. The texts
// are placed by their size in design units, so at twice the DPI (and texts
// twice the size) every rectangle is exactly twice the one at 96 DPI.
cSplashLayout ComputeSplashLayout(int32_t dpi, const cSplashContent& content);

// The pixel size a font of the asset table (its size at 96 DPI) is opened at.
int32_t FontPixelSize(int32_t designSize, int32_t dpi);

}  // namespace tavrin::launcher
