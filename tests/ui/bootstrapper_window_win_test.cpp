// The splash window under a real display: creation with the built-in assets,
// the layout, the screen groups of each state, progress and the error screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "localization/localization.h"
#include "settings/settings.h"
#include "ui/assets_support_win.h"
#include "ui/bootstrapper_window_win.h"
#include "ui/embedded_decoding_win.h"
#include "ui/render_text_win.h"

namespace tavrin::launcher {
namespace {

using tavrin::test::cCapturedLog;

constexpr int64_t kFrameNs = 16'000'000;

class SdlSession {
public:
    SdlSession()
    {
        Ready = SDL_Init(SDL_INIT_VIDEO) == 0;
        IMG_Init(IMG_INIT_PNG);
        TTF_Init();
    }
    ~SdlSession()
    {
        TTF_Quit();
        IMG_Quit();
        SDL_Quit();
    }
    bool Ready = false;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Sdl.Ready) << SDL_GetError(); }

    bool Create() { return Window.Create(Settings, Localization, "Z:\\tmp\\", nullptr, Message); }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            Window.UpdateAndDraw(kFrameNs);
    }

    std::vector<int32_t> ActiveIds()
    {
        std::vector<int32_t> ids;
        for (const cUiElementRef& element : Window.ActiveElementsCopy())
            ids.push_back(element->Id);
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    bool Shown() const { return (SDL_GetWindowFlags(Window.Window()) & SDL_WINDOW_SHOWN) != 0; }

    SdlSession Sdl;
    cSettings Settings;
    cLocalization Localization;
    std::string Message;
    cBootstrapperWindow Window;
};

TEST_F(WindowTest, CreatesAHiddenBorderlessSplashWithTheDefaultLayout)
{
    ASSERT_TRUE(Create()) << Message;
    ASSERT_NE(Window.Window(), nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(Window.Window()), "Tavrin Bootstrapper");
    uint32_t flags = SDL_GetWindowFlags(Window.Window());
    EXPECT_TRUE(flags & SDL_WINDOW_BORDERLESS);
    EXPECT_FALSE(flags & SDL_WINDOW_SHOWN);
    int w = 0, h = 0;
    SDL_GetWindowSize(Window.Window(), &w, &h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 450);

    auto exit = Window.FindButton(ExitButton);
    EXPECT_EQ(exit->GetRect(ElementPart::ButtonRect), (cUiBounds{320, 370, 160, 40}));
    auto close = Window.FindButton(CloseButton);
    EXPECT_EQ(close->GetRect(ElementPart::ButtonImage), (cUiBounds{762, 0, 38, 38}));
    EXPECT_EQ(close->ImageChild->CurrentAlpha, 150);
    EXPECT_EQ(Window.FindRect(ProgressTrack)->GetRect(ElementPart::None), (cUiBounds{0, 440, 800, 10}));
    EXPECT_EQ(Window.FindRect(ProgressBar)->GetRect(ElementPart::None), (cUiBounds{0, 440, 0, 10}));

    auto logo = Window.FindAnimation(LogoAnimation);
    EXPECT_EQ(logo->FrameCount, 64);
    EXPECT_EQ(logo->Layout, SheetGrid);
    EXPECT_EQ(logo->GetRect(ElementPart::None), (cUiBounds{0, 327, 250, 123}));

    // The status text ends 11 pixels left of the percentage; both sit 16 pixels above the bar.
    auto status = Window.FindText(StatusText);
    auto percent = Window.FindText(PercentText);
    EXPECT_EQ(status->Mode, TextModeCycling);
    EXPECT_EQ(status->X + status->BoxWidth + 11, percent->X);
    EXPECT_EQ(status->Y + status->BoxHeight, 424);
    EXPECT_EQ(percent->Y + percent->BoxHeight, 424);
    EXPECT_TRUE(Window.ActiveElementsCopy().empty());
}

TEST_F(WindowTest, TitleSettingIsUsedAsItIs)
{
    Settings.Title = "Some Game – Launcher";
    ASSERT_TRUE(Create()) << Message;
    EXPECT_EQ(std::string(SDL_GetWindowTitle(Window.Window())), Settings.Title);
}

TEST_F(WindowTest, SecondCreationsFailWithTheirMessages)
{
    cCapturedLog log;
    ASSERT_TRUE(Create()) << Message;
    EXPECT_FALSE(Window.CreateElements(Settings, Localization, Message));
    EXPECT_EQ(Message, "Failed to create the user interface elements.");
    EXPECT_FALSE(Create());
    EXPECT_EQ(Message, "Failed to initialize the bootstrapper window");
    EXPECT_EQ(log.Count("Called twice!"), 1u);
}

TEST_F(WindowTest, HeadlessModeCreatesNoWindow)
{
    cBootstrapperWindow headless(cWindowOptions{true, {}});
    EXPECT_TRUE(headless.Create(Settings, Localization, "Z:\\tmp\\", nullptr, Message));
    EXPECT_EQ(headless.Window(), nullptr);
    headless.SetScreenTexts(1, "x", "y");
    headless.ShowProgress(50);
    headless.ApplyStateGroup(2, Settings);
    headless.UpdateAndDraw(kFrameNs);
}

TEST_F(WindowTest, LoadingGroupFadesInSortedByLayerAndShowsTheWindowInState2)
{
    ASSERT_TRUE(Create()) << Message;
    Window.ApplyStateGroup(1, Settings);
    EXPECT_EQ(ActiveIds(), (std::vector<int32_t>{1001, 2001, 2002, 3001, 3002, 4001, 4002, 5001}));
    std::vector<cUiElementRef> active = Window.ActiveElementsCopy();
    EXPECT_TRUE(
        std::is_sorted(active.begin(), active.end(),
                       [](const cUiElementRef& a, const cUiElementRef& b) { return a->Layer < b->Layer; }));
    EXPECT_FALSE(Shown());
    EXPECT_FALSE(Window.FindButton(CloseButton)->Enabled);

    Window.ApplyStateGroup(2, Settings);
    EXPECT_TRUE(Shown());
    EXPECT_TRUE(Window.FindButton(CloseButton)->Enabled);
    Frames(60);
    EXPECT_EQ(Window.FindImage(SplashImage)->CurrentAlpha, 255);
    EXPECT_EQ(Window.FindAnimation(LogoAnimation)->CurrentAlpha, 255);
    EXPECT_EQ(Window.FindButton(CloseButton)->ImageChild->CurrentAlpha, 150);
    // The hidden logo stays hidden until the key sequence reveals it.
    EXPECT_EQ(Window.FindImage(HiddenLogo)->CurrentAlpha, 0);

    Window.ApplyStateGroup(3, Settings);
    EXPECT_FALSE(Window.FindButton(CloseButton)->Enabled);
    Frames(40);
    EXPECT_EQ(Window.FindButton(CloseButton)->ImageChild->CurrentAlpha, 0);
}

TEST_F(WindowTest, ProgressSetsTheBarTargetAndKeepsThePercentColumnStill)
{
    ASSERT_TRUE(Create()) << Message;
    Window.ApplyStateGroup(1, Settings);
    Window.ApplyStateGroup(2, Settings);
    auto bar = Window.FindRect(ProgressBar);
    auto percent = Window.FindText(PercentText);

    Window.ShowProgress(5);
    EXPECT_EQ(bar->TargetWidth, 40);
    EXPECT_EQ(bar->WidthStep, 1);
    int32_t column = percent->X;
    Frames(45);
    EXPECT_EQ(bar->Width, 40);

    Window.ShowProgress(50);
    EXPECT_EQ(bar->TargetWidth, 400);
    EXPECT_EQ(bar->WidthStep, 10);
    EXPECT_EQ(percent->X, column);
    Window.ShowProgress(100);
    EXPECT_EQ(percent->X, column);
    Window.ShowProgress(101);
    EXPECT_EQ(bar->TargetWidth, 800);

    Window.ShowFullProgress();
    EXPECT_EQ(bar->Width, 800);
    Frames(3);
    EXPECT_EQ(bar->Width, 800);
}

TEST_F(WindowTest, InitializingCrossFadesTheStatusAndCyclesDotsInThePercentPlace)
{
    ASSERT_TRUE(Create()) << Message;
    Window.ApplyStateGroup(1, Settings);
    Window.ApplyStateGroup(2, Settings);
    Frames(60);
    Window.ShowProgress(100);
    Window.ApplyStateGroup(3, Settings);
    Window.SetScreenTexts(1, "INITIALIZING", "[...]");
    auto percent = Window.FindText(PercentText);
    auto status = Window.FindText(StatusText);
    Frames(120);
    EXPECT_EQ(status->CurrentAlpha, 255);
    EXPECT_EQ(percent->CurrentAlpha, 255);
    EXPECT_EQ(percent->Mode, TextModeCycling);
    EXPECT_EQ(status->Mode, TextModeSingle);
    EXPECT_EQ(status->X + status->BoxWidth + 11, percent->X);
}

TEST_F(WindowTest, HideGuiShowsOnlyBackgroundAndCloseUntilAnError)
{
    Settings.HideGui = true;
    ASSERT_TRUE(Create()) << Message;
    Window.ApplyStateGroup(1, Settings);
    Window.ApplyStateGroup(2, Settings);
    EXPECT_EQ(ActiveIds(), (std::vector<int32_t>{1001, 5001}));
    EXPECT_TRUE(Shown());
    Window.ApplyStateGroup(5, Settings);
    EXPECT_EQ(ActiveIds(), (std::vector<int32_t>{1001, 2001, 2002, 3003, 4003, 4004, 5001, 5002}));
}

TEST_F(WindowTest, HideBootstrapperKeepsTheWindowHiddenUntilAnError)
{
    cCapturedLog log;
    Settings.HideBootstrapper = true;
    ASSERT_TRUE(Create()) << Message;
    Window.ApplyStateGroup(1, Settings);
    Window.ApplyStateGroup(2, Settings);
    EXPECT_TRUE(ActiveIds().empty());
    EXPECT_FALSE(Shown());
    Window.ApplyStateGroup(5, Settings);
    EXPECT_TRUE(Shown());
    EXPECT_EQ(ActiveIds().size(), 8u);
    EXPECT_EQ(log.Count("Will keep the bootstrapper window hidden."), 1u);
    EXPECT_EQ(
        log.Count("Making the bootstrapper window visible to display information about an occurred error."),
        1u);
}

TEST_F(WindowTest, HiddenLogoAnimationNeverAppears)
{
    Settings.HideLogoAnimation = true;
    ASSERT_TRUE(Create()) << Message;
    auto logo = Window.FindAnimation(LogoAnimation);
    for (int32_t state : {1, 2, 3, 4, 5}) {
        Window.ApplyStateGroup(state, Settings);
        Frames(60);
        EXPECT_EQ(logo->CurrentAlpha, 0) << "state " << state;
    }
}

TEST_F(WindowTest, ErrorScreenPutsTheExitButtonBelowTheMessage)
{
    ASSERT_TRUE(Create()) << Message;
    Window.ApplyStateGroup(1, Settings);
    Window.ApplyStateGroup(2, Settings);
    Window.ApplyStateGroup(5, Settings);
    Window.SetScreenTexts(2, "Launch Error",
                          "No anti-cheat module has been found for this game and platform.");
    Window.ShowErrorExtras();
    Frames(80);

    auto title = Window.FindText(ErrorTitle);
    auto message = Window.FindText(ErrorMessage);
    auto exit = Window.FindButton(ExitButton);
    EXPECT_EQ(title->X, 400 - title->BoxWidth / 2);
    EXPECT_EQ(title->Y, title->BoxHeight / 2 + 103);
    EXPECT_EQ(message->Y, title->Y + title->BoxHeight + 45);
    cUiBounds face = exit->GetRect(ElementPart::ButtonRect);
    EXPECT_EQ(face.X, 320);
    EXPECT_EQ(face.Y, message->Y + message->BoxHeight + 45);
    EXPECT_EQ(exit->GetAlpha(ElementPart::ButtonRect), 150);
    EXPECT_EQ(Window.FindRect(ErrorOverlay)->GetAlpha(ElementPart::None), 229);
    EXPECT_EQ(Window.FindRect(ProgressBar)->GetAlpha(ElementPart::None), 0);
    EXPECT_EQ(Window.FindAnimation(LogoAnimation)->FrameIndex, 63);
    EXPECT_TRUE(Shown());
}

// The error screen stays up until the player acts: once its fades are done,
// frames are neither drawn nor presented until something changes.
TEST_F(WindowTest, SettledScreenIsPresentedOnceUntilItChangesOrIsInvalidated)
{
    ASSERT_TRUE(Create()) << Message;
    Window.ApplyStateGroup(1, Settings);
    Window.ApplyStateGroup(2, Settings);
    Window.ApplyStateGroup(5, Settings);
    Window.SetScreenTexts(2, "Launch Error", "No anti-cheat module has been found.");
    Window.ShowErrorExtras();
    // A slow fade may leave one frame unchanged between two steps: settled
    // means a whole second without a change.
    int frames = 0;
    int presented = 0;
    for (int quiet = 0; frames < 1000 && quiet < 60; ++frames) {
        const bool drawn = Window.UpdateAndDraw(kFrameNs);
        presented += drawn;
        quiet = drawn ? 0 : quiet + 1;
    }
    ASSERT_LT(frames, 1000) << "the error screen never settles";
    EXPECT_GT(presented, 10) << "the fades were not presented";
    for (int i = 0; i < 30; ++i)
        EXPECT_FALSE(Window.UpdateAndDraw(kFrameNs)) << "frame " << i;

    Window.InvalidateFrame();
    EXPECT_TRUE(Window.UpdateAndDraw(kFrameNs));
    EXPECT_FALSE(Window.UpdateAndDraw(kFrameNs));

    Window.SetScreenTexts(2, "Launch Error", "Connection failed.");
    EXPECT_TRUE(Window.UpdateAndDraw(kFrameNs));
}

// The sheet's last frame is on the logo's texture only once the whole sheet is.
bool LogoSheetIsWhole(const cAssetStore& assets)
{
    return assets.TextureCovers(TextureLogoSheet, 750, 1845, 250, 123);
}

// The first frame draws the logo's first frame from a texture of that frame
// alone; the whole sheet is made once a frame is on the screen, or before the
// first one when it shows a later frame (an error before the first frame).
TEST_F(WindowTest, LogoSheetIsMadeWholeAfterTheFirstFrameOrWhenAFrameNeedsIt)
{
    for (bool errorFirst : {false, true}) {
        cBootstrapperWindow window;
        ASSERT_TRUE(window.Create(Settings, Localization, "Z:\\tmp\\", nullptr, Message)) << Message;
        const cAssetStore& assets = window.Assets();
        auto whole = [&] { return LogoSheetIsWhole(assets); };
        window.ApplyStateGroup(1, Settings);
        window.ApplyStateGroup(2, Settings);
        if (errorFirst) {
            window.ApplyStateGroup(5, Settings);
            window.ShowErrorExtras();
        }
        EXPECT_FALSE(whole()) << errorFirst;
        window.UpdateAndDraw(kFrameNs);
        EXPECT_EQ(whole(), errorFirst);
        window.UpdateAndDraw(kFrameNs);
        EXPECT_TRUE(whole()) << errorFirst;

        auto logo = window.FindAnimation(LogoAnimation);
        EXPECT_EQ(NativeTexture(logo->Texture.get()), assets.Texture(TextureLogoSheet)) << errorFirst;
        EXPECT_EQ(logo->FrameCount, 64);
        EXPECT_EQ(logo->FrameIndex, errorFirst ? 63 : 0);
    }
}

// Decoded ahead, the rest of the sheet waits for the first frame; until the
// whole sheet is on its texture the logo holds its first frame, and no frame
// waits for the decoding.
TEST_F(WindowTest, LogoHoldsItsFirstFrameUntilTheSheetDecodedAheadIsWhole)
{
    StartEmbeddedTextureDecoding();
    {
        cBootstrapperWindow window;
        ASSERT_TRUE(window.Create(Settings, Localization, "Z:\\tmp\\", nullptr, Message)) << Message;
        const cAssetStore& assets = window.Assets();
        auto whole = [&] { return LogoSheetIsWhole(assets); };
        window.ApplyStateGroup(1, Settings);
        window.ApplyStateGroup(2, Settings);
        auto logo = window.FindAnimation(LogoAnimation);
        ASSERT_TRUE(logo);
        EXPECT_TRUE(assets.CompletionWouldWait(TextureLogoSheet));
        // Each step is longer than the logo's frame period: a logo that is
        // not held moves on at every one.
        const int64_t step = logo->FramePeriodNs * 2;
        // The first frame neither waits for the sheet nor moves the logo.
        window.UpdateAndDraw(step);
        EXPECT_FALSE(whole());
        EXPECT_EQ(logo->FrameIndex, 0);
        for (int frames = 0; frames < 3000 && !whole(); ++frames) {
            window.UpdateAndDraw(step);
            if (!whole())
                EXPECT_EQ(logo->FrameIndex, 0) << "frame " << frames;
            Sleep(1);
        }
        ASSERT_TRUE(whole());
        EXPECT_EQ(NativeTexture(logo->Texture.get()), assets.Texture(TextureLogoSheet));
        window.UpdateAndDraw(step);
        EXPECT_GT(logo->FrameIndex, 0);
    }
    DiscardDecodedEmbeddedTextures();
}

TEST_F(WindowTest, ErrorTextsWithBracketsStayWholeAndInsideTheWindow)
{
    ASSERT_TRUE(Create()) << Message;
    Window.ApplyStateGroup(5, Settings);
    const std::string path = "Could not start the game executable 'C:\\Games\\[Beta]\\Studio Title\\Binaries"
                             "\\Win64\\game-shipping.exe', the file may be missing or blocked.";
    // Enough lines to push a naively stacked Exit button below the window.
    std::string message;
    for (int i = 0; i < 6; ++i)
        message += path + " ";
    Window.SetScreenTexts(2, "Launch [Error]", message);
    Frames(80);

    auto title = Window.FindText(ErrorTitle);
    auto text = Window.FindText(ErrorMessage);
    EXPECT_EQ(title->Mode, TextModeSingle);
    EXPECT_EQ(text->Mode, TextModeLines);
    EXPECT_GT(text->CurrentTextures.size(), 1u);
    for (const cUiTextureRef& line : text->CurrentTextures)
        EXPECT_LE(line->Width, 800);
    cUiBounds face = Window.FindButton(ExitButton)->GetRect(ElementPart::ButtonRect);
    EXPECT_GE(face.Y, 0);
    EXPECT_LE(face.Y + face.Height, 450);
}

TEST_F(WindowTest, HiddenLogoFadesOnlyAfterTheRevealAndInvalidKindsChangeNothing)
{
    cCapturedLog log;
    ASSERT_TRUE(Create()) << Message;
    Window.ApplyStateGroup(1, Settings);
    Window.FadeHiddenLogo();
    Frames(60);
    EXPECT_EQ(Window.FindImage(HiddenLogo)->CurrentAlpha, 0);
    Window.RevealHiddenLogo();
    Frames(60);
    EXPECT_EQ(Window.FindImage(HiddenLogo)->CurrentAlpha, 255);

    Window.SetScreenTexts(7, "a", "b");
    EXPECT_EQ(log.Count("Called with an invalid value: 7."), 1u);
}

TEST_F(WindowTest, EmptyActiveListAndMissingWindowAreLogged)
{
    cCapturedLog log;
    cBootstrapperWindow bare;
    bare.UpdateAndDraw(kFrameNs);
    bare.ShowErrorExtras();
    EXPECT_EQ(log.Count("Called without active elements to update."), 1u);
    EXPECT_EQ(log.Count("Called with a null window!"), 1u);
}

}  // namespace
}  // namespace tavrin::launcher
