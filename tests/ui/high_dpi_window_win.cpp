// The splash window on a screen at 200 %: run by run_at_dpi.sh in a Wine
// prefix whose DPI is 192, so the window asks the system for its scale as the
// launcher does. Each frame is compared with the same frame of a window told
// it is at 100 % (96 DPI).
#include <gtest/gtest.h>

#include <windows.h>

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_syswm.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "localization/localization.h"
#include "settings/settings.h"
#include "ui/bootstrapper_window_win.h"
#include "ui/display_scale_win.h"
#include "ui/input_win.h"

namespace tavrin::launcher {
namespace {

constexpr int64_t kFrameNs = 16'000'000;
constexpr int32_t kScreenDpi = 192;

class cSdlSession {
public:
    cSdlSession()
    {
        Ready = SDL_Init(SDL_INIT_VIDEO) == 0;
        IMG_Init(IMG_INIT_PNG);
        TTF_Init();
    }
    ~cSdlSession()
    {
        TTF_Quit();
        IMG_Quit();
        SDL_Quit();
    }
    cSdlSession(const cSdlSession&) = delete;
    cSdlSession& operator=(const cSdlSession&) = delete;
    bool Ready = false;
};

// One real splash window and the launcher's calls on it.
class cSplash {
public:
    explicit cSplash(cDpiSource dpiSource) : Window(std::move(dpiSource))
    {
        Window.SetExitHandler([this] { ++ExitRequests; });
    }

    bool Create() { return Window.Create(Settings, Localization, "Z:\\tmp\\", nullptr, Message); }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            Window.UpdateAndDraw(kFrameNs);
    }

    // From the first state to a download at 40 %, bar and texts settled.
    void Download()
    {
        Window.ApplyStateGroup(1, Settings);
        Window.ApplyStateGroup(2, Settings);
        Frames(60);
        Window.ShowProgress(40);
        Frames(80);
    }

    void Fail()
    {
        Window.ShowFullProgress();
        Window.ApplyStateGroup(5, Settings);
        Window.SetScreenTexts(2, "Launch Error", "Connection failed: timed out.");
        Window.ShowErrorExtras();
        Frames(150);
    }

    // The last frame drawn, as 0xAARRGGBB, row by row.
    std::vector<uint32_t> ReadFrame(int& width, int& height)
    {
        SDL_GetRendererOutputSize(Window.Renderer(), &width, &height);
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
        if (SDL_RenderReadPixels(Window.Renderer(), nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                                 width * 4) != 0)
            pixels.clear();
        return pixels;
    }

    void SendWindowEvent(uint8_t kind)
    {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = kind;
        event.window.windowID = SDL_GetWindowID(Window.Window());
        Window.HandleEvent(event);
    }

    // A press and a release of the right button (no drag) at a point of the window.
    void ClickAt(int32_t x, int32_t y)
    {
        int wx = 0;
        int wy = 0;
        SDL_GetWindowPosition(Window.Window(), &wx, &wy);
        Window.Pointer().MoveTo(wx + x, wy + y);
        OnMouseButton(Window, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
        OnMouseButton(Window, SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT);
    }

    cSettings Settings;
    cLocalization Localization;
    std::string Message;
    cBootstrapperWindow Window;
    int ExitRequests = 0;
};

cUiBounds Twice(const cUiBounds& b) { return {2 * b.X, 2 * b.Y, 2 * b.Width, 2 * b.Height}; }

struct cPart {
    int32_t Id;
    ElementPart Part;
    const char* Name;
};

// Drawn from pictures and fills: exactly twice as large at 200 %.
const cPart kPictureParts[] = {
    {SplashImage, ElementPart::None, "splash"},
    {LogoAnimation, ElementPart::None, "logo animation"},
    {HiddenLogo, ElementPart::None, "hidden logo"},
    {ProgressTrack, ElementPart::None, "progress track"},
    {ProgressBar, ElementPart::None, "progress bar"},
    {ErrorOverlay, ElementPart::None, "error overlay"},
    {CloseButton, ElementPart::ButtonImage, "close button"},
    {ExitButton, ElementPart::ButtonRect, "Exit button"},
};

// Rendered from fonts twice the size: their own glyph metrics, so only about
// twice as large, and placed by their size in design units.
const cPart kTextParts[] = {
    {StatusText, ElementPart::TextTexture, "status text"},
    {PercentText, ElementPart::TextTexture, "percentage"},
    {ErrorTitle, ElementPart::TextTexture, "error title"},
    {ErrorMessage, ElementPart::TextTexture, "error message"},
    {ExitButton, ElementPart::TextTexture, "Exit caption"},
};

cUiBounds RectOf(const cBootstrapperWindow& window, const cPart& part)
{
    cUiElementRef element = window.FindElement(part.Id);
    return element ? element->GetRect(part.Part) : cUiBounds{};
}

void ExpectPicturesDoubled(const cBootstrapperWindow& at200, const cBootstrapperWindow& at100)
{
    for (const cPart& part : kPictureParts)
        EXPECT_EQ(RectOf(at200, part), Twice(RectOf(at100, part))) << part.Name;
}

// Text is rasterized by a font of twice the pixel size, whose hinted glyphs
// are not exactly twice as wide: a text is within 5 % (and a pixel of
// rounding) of twice its 100 % size. Texts are placed by their sizes and
// those of their neighbours (the status text left of the percentage column),
// so a place may move by as much.
void ExpectTextsAboutDoubled(const cBootstrapperWindow& at200, const cBootstrapperWindow& at100)
{
    for (const cPart& part : kTextParts) {
        const cUiBounds big = RectOf(at200, part);
        const cUiBounds small = RectOf(at100, part);
        SCOPED_TRACE(part.Name);
        const int widthSlack = 2 + 2 * small.Width / 20;
        const int heightSlack = 2 + 2 * small.Height / 20;
        EXPECT_NEAR(big.Width, 2 * small.Width, widthSlack);
        EXPECT_NEAR(big.Height, 2 * small.Height, heightSlack);
        EXPECT_NEAR(big.X, 2 * small.X, widthSlack);
        EXPECT_NEAR(big.Y, 2 * small.Y, heightSlack);
    }
}

bool InsideAny(const std::vector<cUiBounds>& areas, int x, int y)
{
    for (const cUiBounds& a : areas) {
        if (x >= a.X && x < a.X + a.Width && y >= a.Y && y < a.Y + a.Height)
            return true;
    }
    return false;
}

int ChannelDistance(uint32_t a, uint32_t b)
{
    int largest = 0;
    for (int shift = 0; shift < 32; shift += 8)
        largest = std::max(
            largest, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return largest;
}

// Every third pixel of the 100 % frame outside the texts against the pixel
// at twice its coordinates: pictures are drawn scaled (nearest pixel), the
// gradient may round a column one step apart.
void ExpectFrameDoubled(cSplash& at200, cSplash& at100)
{
    int w200 = 0, h200 = 0, w100 = 0, h100 = 0;
    const std::vector<uint32_t> big = at200.ReadFrame(w200, h200);
    const std::vector<uint32_t> small = at100.ReadFrame(w100, h100);
    ASSERT_EQ(w200, 1600);
    ASSERT_EQ(h200, 900);
    ASSERT_EQ(w100, 800);
    ASSERT_EQ(h100, 450);
    ASSERT_FALSE(big.empty());
    ASSERT_FALSE(small.empty());
    std::vector<cUiBounds> texts;
    for (const cPart& part : kTextParts) {
        const cUiBounds r = RectOf(at100.Window, part);
        texts.push_back({r.X - 3, r.Y - 3, r.Width + 6, r.Height + 6});
    }
    int compared = 0;
    int differing = 0;
    for (int y = 0; y < h100; y += 3) {
        for (int x = 0; x < w100; x += 3) {
            if (InsideAny(texts, x, y))
                continue;
            ++compared;
            const uint32_t expected = small[static_cast<size_t>(y) * w100 + x];
            const uint32_t actual = big[static_cast<size_t>(2 * y) * w200 + 2 * x];
            if (ChannelDistance(expected, actual) > 2 && ++differing <= 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << expected
                              << " at 100 % but " << actual << " at 200 %";
        }
    }
    EXPECT_GT(compared, 30000);
    EXPECT_EQ(differing, 0);
}

class HighDpiWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Sdl.Ready) << SDL_GetError(); }

    cSdlSession Sdl;
    // The system's answer (the launcher's own source) unless a test moves the
    // window to a monitor of another scale.
    int32_t MovedToDpi = 0;
    cSplash Screen{
        [this](SDL_Window* window) { return MovedToDpi != 0 ? MovedToDpi : ReadWindowDpi(window); }};
    cSplash Design{[](SDL_Window*) { return kBaseDpi; }};
};

TEST_F(HighDpiWindow, TheSystemScaleMakesTheClientAreaTwiceTheSplash)
{
    ASSERT_TRUE(Screen.Create()) << Screen.Message;
    EXPECT_EQ(Screen.Window.Dpi(), kScreenDpi);
    int w = 0, h = 0;
    SDL_GetWindowSize(Screen.Window.Window(), &w, &h);
    EXPECT_EQ(w, 1600);
    EXPECT_EQ(h, 900);

    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(Screen.Window.Window(), &info));
    RECT client{};
    ASSERT_TRUE(GetClientRect(info.info.win.window, &client));
    EXPECT_EQ(client.right - client.left, 1600);
    EXPECT_EQ(client.bottom - client.top, 900);
    SDL_GetRendererOutputSize(Screen.Window.Renderer(), &w, &h);
    EXPECT_EQ(w, 1600);
    EXPECT_EQ(h, 900);

    // Text is rasterized at twice the size, not enlarged afterwards.
    ASSERT_TRUE(Design.Create()) << Design.Message;
    for (const auto& [key, font] : Design.Window.Assets().Fonts)
        EXPECT_EQ(Screen.Window.Assets().Fonts.at(key).PointSize, 2 * font.PointSize) << "font " << key;
}

TEST_F(HighDpiWindow, DownloadAndErrorFramesAreThe100PercentFramesDoubled)
{
    ASSERT_TRUE(Screen.Create()) << Screen.Message;
    ASSERT_TRUE(Design.Create()) << Design.Message;
    ASSERT_EQ(Screen.Window.Dpi(), kScreenDpi);

    Screen.Download();
    Design.Download();
    ASSERT_EQ(RectOf(Design.Window, kPictureParts[4]).Width, 320);
    ExpectPicturesDoubled(Screen.Window, Design.Window);
    ExpectTextsAboutDoubled(Screen.Window, Design.Window);
    ExpectFrameDoubled(Screen, Design);

    Screen.Fail();
    Design.Fail();
    ExpectPicturesDoubled(Screen.Window, Design.Window);
    ExpectTextsAboutDoubled(Screen.Window, Design.Window);
    ExpectFrameDoubled(Screen, Design);
}

TEST_F(HighDpiWindow, ClicksHitTheButtonsWhereTheyAreDrawn)
{
    ASSERT_TRUE(Screen.Create()) << Screen.Message;
    Screen.Download();
    Screen.Fail();
    const cUiBounds close = RectOf(Screen.Window, kPictureParts[6]);
    const cUiBounds exit = RectOf(Screen.Window, kPictureParts[7]);
    ASSERT_EQ(close, (cUiBounds{1524, 0, 76, 76}));

    // Where the buttons would be at 100 %: nothing there now.
    Screen.ClickAt(781, 19);
    Screen.ClickAt(exit.X / 2 + exit.Width / 4, exit.Y / 2 + exit.Height / 4);
    EXPECT_EQ(Screen.ExitRequests, 0);

    // Near the far corners of the drawn buttons.
    Screen.ClickAt(close.X + 2, close.Y + close.Height - 2);
    EXPECT_EQ(Screen.ExitRequests, 2);
    Screen.ClickAt(exit.X + exit.Width - 2, exit.Y + exit.Height - 2);
    EXPECT_EQ(Screen.ExitRequests, 4);
}

TEST_F(HighDpiWindow, MovingToAMonitorOfAnotherScaleRedrawsAtThatScale)
{
    ASSERT_TRUE(Screen.Create()) << Screen.Message;
    ASSERT_TRUE(Design.Create()) << Design.Message;
    Screen.Download();
    Design.Download();

    // Moving within the monitor changes nothing.
    Screen.SendWindowEvent(SDL_WINDOWEVENT_MOVED);
    EXPECT_EQ(Screen.Window.Dpi(), kScreenDpi);

    MovedToDpi = kBaseDpi;
    Screen.SendWindowEvent(SDL_WINDOWEVENT_DISPLAY_CHANGED);
    Screen.Frames(40);
    Design.Frames(40);
    EXPECT_EQ(Screen.Window.Dpi(), kBaseDpi);
    int w = 0, h = 0;
    SDL_GetWindowSize(Screen.Window.Window(), &w, &h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 450);
    for (const auto& [key, font] : Design.Window.Assets().Fonts)
        EXPECT_EQ(Screen.Window.Assets().Fonts.at(key).PointSize, font.PointSize) << "font " << key;
    for (const cPart& part : kPictureParts)
        EXPECT_EQ(RectOf(Screen.Window, part), RectOf(Design.Window, part)) << part.Name;
    for (const cPart& part : kTextParts)
        EXPECT_EQ(RectOf(Screen.Window, part), RectOf(Design.Window, part)) << part.Name;

    // Back, and on to the error screen: as if it had been at 200 % all along.
    MovedToDpi = 0;
    Screen.SendWindowEvent(SDL_WINDOWEVENT_MOVED);
    EXPECT_EQ(Screen.Window.Dpi(), kScreenDpi);
    Screen.Fail();
    Design.Fail();
    ExpectPicturesDoubled(Screen.Window, Design.Window);
    ExpectTextsAboutDoubled(Screen.Window, Design.Window);
    ExpectFrameDoubled(Screen, Design);
}

}  // namespace
}  // namespace tavrin::launcher
