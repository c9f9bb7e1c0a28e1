// The borderless splash window: its twelve elements, the screen group of each
// launcher state, the layout, and the per-frame update and drawing.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "ui/assets_win.h"
#include "ui/display_scale_win.h"
#include "ui/elements.h"
#include "ui/frame_signature.h"
#include "ui/icon_win.h"
#include "ui/input.h"
#include "ui/layout.h"
#include "ui/splash_scene.h"

namespace tavrin::launcher {

class cLocalization;

// The DPI of the monitor a window is on (the window may be null).
using cDpiSource = std::function<int32_t(SDL_Window* window)>;

// What the process decided before the window exists.
struct cWindowOptions {
    // No SDL, no window and no drawing: Create succeeds without a window.
    bool Headless = false;
    // A custom icon file (UTF-8), tried before the game executable's icon.
    std::string IconPath;
};

class cBootstrapperWindow {
public:
    // dpiSource tells the window its monitor's scale; the system's by default.
    explicit cBootstrapperWindow(cDpiSource dpiSource = ReadWindowDpi);
    explicit cBootstrapperWindow(cWindowOptions options, cDpiSource dpiSource = ReadWindowDpi);
    ~cBootstrapperWindow();
    cBootstrapperWindow(const cBootstrapperWindow&) = delete;
    cBootstrapperWindow& operator=(const cBootstrapperWindow&) = delete;

    // Window, renderer, assets, elements, groups, layout and icon. In headless
    // mode there is no window and this succeeds at once. On failure message
    // holds the text for the user.
    bool Create(const cSettings& settings, cLocalization& localization, const std::string& launcherDirectory,
                std::function<void()> fallBackToEnglish, std::string& message);
    // Create without a window: draws into renderer, which it takes over (a
    // software renderer on a surface of the client size at the DPI source's
    // scale). No icon.
    bool CreateOffscreen(SDL_Renderer* renderer, const cSettings& settings, cLocalization& localization,
                         const std::string& launcherDirectory, std::string& message);
    // Elements, groups and layout for an existing renderer and loaded assets
    // (the part of Create after LoadAssets), laid out at the DPI source's
    // scale; the assets' fonts must have been opened for that DPI.
    bool CreateElements(const cSettings& settings, cLocalization& localization, std::string& message);
    // The DPI the window is drawn at (96 is 100 %).
    int32_t Dpi() const { return DrawDpi; }
    // Asks the DPI source again and, when the scale changed (the window moved
    // to another monitor), resizes the window, reopens the fonts, renders the
    // texts again and lays everything out anew. True when it rescaled.
    bool FollowMonitorScale();

    // Activates the state's group (kept sorted by layer), enables or disables
    // the close button, fades the group in and the rest out, and shows the
    // window where the state asks for it.
    void ApplyStateGroup(int32_t state, const cSettings& settings);
    // Advances every active element by one frame period and draws them in
    // order. A frame that would look like the one on the screen is neither
    // drawn nor presented; true when it was presented.
    bool UpdateAndDraw(int64_t framePeriodNs);
    // The next frame is drawn and presented whatever it shows (the window's
    // pixels were lost or uncovered).
    void InvalidateFrame() { FrameOnScreen = false; }
    // Draws the active elements as they are, without advancing them.
    void Draw();
    void HandleEvent(const SDL_Event& event);
    // Ends a drag left open by the last press (hidden, confined pointer).
    void ReleaseMouse();

    // Kind 1: status and percentage text; kind 2: error title and message.
    void SetScreenTexts(uint32_t kind, const std::string& first, const std::string& second);
    void ShowProgress(uint32_t percent);
    void ShowFullProgress();
    // Logo held on its last frame, and the window flashes until focused.
    void ShowErrorExtras();
    void FadeHiddenLogo();
    void RevealHiddenLogo();
    void Hide();
    void DestroyIcons();
    // Elements and assets first (their textures belong to the renderer), then
    // the renderer, then the window.
    void Destroy();

    SDL_Window* Window() const { return WindowHandle; }
    SDL_Renderer* Renderer() const { return RendererHandle; }
    // The client area in pixels at the drawn DPI.
    int32_t ClientWidth() const { return WindowWidth; }
    int32_t ClientHeight() const { return WindowHeight; }
    // The fonts and pictures the elements are drawn from.
    const cAssetStore& Assets() const { return AssetStore; }
    // Where the mouse input handlers keep the pointer and the drag.
    cPointerState& Pointer() { return PointerState; }
    const cPointerState& Pointer() const { return PointerState; }
    // Run by the Close and Exit buttons.
    void SetExitHandler(std::function<void()> handler) { OnExitRequested = std::move(handler); }

    // The active elements in drawing order; any thread.
    std::vector<cUiElementRef> ActiveElementsCopy() { return Scene.ActiveCopy(); }
    // Any element by id, from whichever map holds it; null for unknown ids.
    cUiElementRef FindElement(int32_t id) const { return Scene.FindElement(id); }
    std::shared_ptr<cUiText> FindText(int32_t id) const { return Scene.FindText(id); }
    std::shared_ptr<cUiRect> FindRect(int32_t id) const { return Scene.FindRect(id); }
    std::shared_ptr<cUiImage> FindImage(int32_t id) const { return Scene.FindImage(id); }
    std::shared_ptr<cUiButton> FindButton(int32_t id) const { return Scene.FindButton(id); }
    std::shared_ptr<cUiAnimation> FindAnimation(int32_t id) const { return Scene.FindAnimation(id); }

private:
    bool InitializeElements(cLocalization& localization);
    void ApplyVisibility(int32_t state, const cSettings& settings);
    std::shared_ptr<cUiFont> MakeFont(int32_t key);
    // The store's texture of key for an element; null when it has none.
    cUiTextureRef BorrowTexture(int32_t key) const;
    // The logo animation gets the whole sheet's texture, if it had only a part.
    void CompleteLogoSheet();
    // Without waiting for the decoding thread; a later frame tries again.
    void CompleteLogoSheetOnceDecoded();
    // Only when the logo's frame lies beyond the part made so far.
    void CompleteLogoSheetForItsFrame();
    void ButtonPressed(const char* message);
    // The layout at the window's DPI for the texts as they are now.
    cSplashLayout CurrentLayout() const;
    void LayoutImages();
    void LayoutProgressBar();
    void LayoutOverlay();
    void LayoutTexts();
    void LayoutExitButton(TTF_Font* font);
    void LayoutStatusTexts();
    void LayoutErrorScreen();
    // The DPI source's answer for the window, within the scales drawn.
    int32_t MonitorDpi() const;
    void PlaceImages(const cSplashLayout& layout);
    bool ReopenFontsAndTexts();
    void RescaleProgressBar(int32_t fromDpi);

    bool LoadAssetsAndElements(const cSettings& settings, cLocalization& localization,
                               const std::string& launcherDirectory, std::function<void()> fallBackToEnglish,
                               std::string& message);

    std::function<void()> OnExitRequested;

    SDL_Window* WindowHandle = nullptr;
    SDL_Renderer* RendererHandle = nullptr;
    int32_t WindowWidth = 0;
    int32_t WindowHeight = 0;
    cPointerState PointerState;
    int32_t State = 0;
    cAssetStore AssetStore;
    cIconMap Icons;

    cSplashScene Scene;

    cWindowOptions Options;
    cLocalization* Localization = nullptr;
    cDpiSource DpiSource;
    int32_t DrawDpi = 0;
    cFrameSignature LastFrame;
    bool FrameOnScreen = false;
    // A frame was presented at least once.
    bool Presented = false;
};

}  // namespace tavrin::launcher
