// Draws where each element of the splash window sits, as labelled rectangles
// on an 800x450 picture, for studios that paint their own splash. The
// rectangles are read from the real window after the same calls the
// launcher makes, so the pictures follow the layout code.
//
//   TavrinLayoutTemplate.exe OUT_DIR
// writes layout-progress.png (downloading, 40 %) and layout-error.png.
#include <cstdio>
#include <string>
#include <vector>

#include "offscreen_splash_win.h"

using namespace tavrin;
using namespace tavrin::launcher;

namespace {

constexpr cUiColor kBackground{36, 40, 48, 255};
constexpr cUiColor kGrid{58, 63, 74, 255};
constexpr cUiColor kLabel{255, 255, 255, 255};
constexpr int32_t kGridStep = 50;

struct cBox {
    const char* Name;
    cUiBounds Bounds;
    cUiColor Colour;
    bool BadgeAtRight = false;
};

void Fill(SDL_Renderer* renderer, const cUiBounds& b, cUiColor c)
{
    const SDL_Rect rect{b.X, b.Y, b.Width, b.Height};
    SDL_SetRenderDrawColor(renderer, c.R, c.G, c.B, c.A);
    SDL_RenderFillRect(renderer, &rect);
}

void Outline(SDL_Renderer* renderer, const cUiBounds& b, cUiColor c)
{
    const SDL_Rect rect{b.X, b.Y, b.Width, b.Height};
    SDL_SetRenderDrawColor(renderer, c.R, c.G, c.B, 255);
    SDL_RenderDrawRect(renderer, &rect);
}

// Draws the text with its top-left corner at x, y; its size goes to w and h.
void Text(SDL_Renderer* renderer, TTF_Font* font, const std::string& text, int32_t x, int32_t y, int32_t& w,
          int32_t& h)
{
    w = 0;
    h = 0;
    SDL_Surface* surface = TTF_RenderUTF8_Blended(font, text.c_str(), {kLabel.R, kLabel.G, kLabel.B, 255});
    if (surface == nullptr)
        return;
    w = surface->w;
    h = surface->h;
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    const SDL_Rect target{x, y, w, h};
    if (texture != nullptr) {
        SDL_RenderCopy(renderer, texture, nullptr, &target);
        SDL_DestroyTexture(texture);
    }
    SDL_FreeSurface(surface);
}

// The box's number, inside its top corner when the box is tall enough, else
// just above it.
void Badge(SDL_Renderer* renderer, TTF_Font* font, const cBox& box, int number)
{
    const std::string text = std::to_string(number);
    int32_t w = 0;
    int32_t h = 0;
    TTF_SizeUTF8(font, text.c_str(), &w, &h);
    const cUiBounds& b = box.Bounds;
    const int32_t x = box.BadgeAtRight ? b.X + b.Width - w - 4 : b.X + 3;
    const int32_t y = h + 2 <= b.Height ? b.Y + 1 : b.Y - h - 1;
    Text(renderer, font, text, x, y, w, h);
}

std::string Describe(const cBox& box, int number)
{
    const cUiBounds& b = box.Bounds;
    return std::to_string(number) + "  " + box.Name + ": " + std::to_string(b.Width) + " x " +
           std::to_string(b.Height) + " at " + std::to_string(b.X) + ", " + std::to_string(b.Y);
}

// The legend lists the boxes from the top-left corner, each behind a swatch
// of its colour; the whole-window layers come first, without a number.
void Legend(SDL_Renderer* renderer, TTF_Font* font, const std::vector<std::string>& layers,
            const std::vector<cBox>& boxes)
{
    int32_t y = 8;
    int32_t w = 0;
    int32_t h = 0;
    for (const std::string& layer : layers) {
        Text(renderer, font, layer, 10, y, w, h);
        y += h + 2;
    }
    int number = 1;
    for (const cBox& box : boxes) {
        const int32_t swatch = 10;
        Fill(renderer, {10, y + 5, swatch, swatch}, box.Colour);
        Outline(renderer, {10, y + 5, swatch, swatch}, box.Colour);
        Text(renderer, font, Describe(box, number++), 10 + swatch + 6, y, w, h);
        y += h + 2;
    }
}

bool Draw(cOffscreenSplash& splash, const std::vector<std::string>& layers, const std::vector<cBox>& boxes,
          const std::string& path)
{
    SDL_Renderer* renderer = splash.Window.Renderer();
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    Fill(renderer, {0, 0, kWindowWidth, kWindowHeight}, kBackground);
    SDL_SetRenderDrawColor(renderer, kGrid.R, kGrid.G, kGrid.B, kGrid.A);
    for (int32_t x = kGridStep; x < kWindowWidth; x += kGridStep)
        SDL_RenderDrawLine(renderer, x, 0, x, kWindowHeight - 1);
    for (int32_t y = kGridStep; y < kWindowHeight; y += kGridStep)
        SDL_RenderDrawLine(renderer, 0, y, kWindowWidth - 1, y);
    TTF_Font* font = splash.Window.Assets().Font(FontKeyErrorMessage);
    if (font == nullptr)
        return false;
    for (const cBox& box : boxes) {
        Fill(renderer, box.Bounds, box.Colour);
        Outline(renderer, box.Bounds, box.Colour);
    }
    int number = 1;
    for (const cBox& box : boxes)
        Badge(renderer, font, box, number++);
    Legend(renderer, font, layers, boxes);
    SDL_RenderPresent(renderer);
    return splash.Save(path);
}

cUiBounds BoundsOf(cOffscreenSplash& splash, int32_t id, ElementPart part = ElementPart::None)
{
    cUiElementRef element = splash.Window.FindElement(id);
    return element ? element->GetRect(part) : cUiBounds{};
}

// The splash a second into its download, as both pictures begin.
bool StartDownloading(cOffscreenSplash& splash)
{
    if (!splash.Ready)
        return false;
    splash.Enter(StateLoading);
    splash.Enter(StateDownloading);
    splash.Frames(60);
    return true;
}

bool ProgressTemplate(const std::string& path)
{
    const cSettings settings;
    cOffscreenSplash splash(settings, std::wstring());
    if (!StartDownloading(splash))
        return false;
    splash.Window.ShowProgress(40);
    splash.Frames(120);
    const std::vector<cBox> boxes = {
        {"Logo animation", BoundsOf(splash, LogoAnimation), {255, 170, 60, 70}},
        {"Progress track", BoundsOf(splash, ProgressTrack), {255, 255, 255, 60}, true},
        {"Progress bar at 40 %", BoundsOf(splash, ProgressBar), {51, 155, 255, 200}},
        {"Status text \"LOADING\"", BoundsOf(splash, StatusText, ElementPart::TextTexture), {120, 220, 120, 80}},
        {"Percentage \"40%\"", BoundsOf(splash, PercentText, ElementPart::TextTexture), {220, 120, 220, 80}},
        {"Close button", BoundsOf(splash, CloseButton, ElementPart::ButtonImage), {255, 90, 90, 90}},
    };
    return Draw(splash, {"Downloading screen, 800 x 450; the splash picture fills it all."}, boxes, path);
}

bool ErrorTemplate(const std::string& path)
{
    const cSettings settings;
    cOffscreenSplash splash(settings, std::wstring());
    if (!StartDownloading(splash))
        return false;
    splash.Finish(kLaunchNetworkError, "Connection to the Content Distribution Network failed! Curl Code: 28!");
    splash.Frames(150);
    const std::vector<cBox> boxes = {
        {"Logo, last frame, under the overlay", BoundsOf(splash, LogoAnimation), {255, 170, 60, 40}},
        {"Error title", BoundsOf(splash, ErrorTitle, ElementPart::TextTexture), {120, 220, 120, 80}},
        {"Error message", BoundsOf(splash, ErrorMessage, ElementPart::TextTexture), {220, 120, 220, 80}},
        {"Exit button", BoundsOf(splash, ExitButton, ElementPart::ButtonRect), {0, 116, 228, 160}},
        {"Close button", BoundsOf(splash, CloseButton, ElementPart::ButtonImage), {255, 90, 90, 90}},
    };
    return Draw(splash,
                {"Error screen, 800 x 450: the splash picture under a black overlay (90 % opaque)."}, boxes,
                path);
}

}  // namespace

int main(int argc, char** argv)
{
    SDL_SetMainReady();
    if (argc != 2) {
        std::fprintf(stderr, "usage: TavrinLayoutTemplate OUT_DIR\n");
        return 2;
    }
    if (SDL_Init(0) != 0 || IMG_Init(IMG_INIT_PNG) == 0 || TTF_Init() != 0) {
        std::fprintf(stderr, "layout template: SDL set-up failed: %s\n", SDL_GetError());
        return 1;
    }
    const std::string out = std::string(argv[1]) + "\\";
    const bool written = ProgressTemplate(out + "layout-progress.png") && ErrorTemplate(out + "layout-error.png");
    TTF_Quit();
    IMG_Quit();
    SDL_Quit();
    return written ? 0 : 1;
}
