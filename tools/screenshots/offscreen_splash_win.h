// A splash window drawing into memory: the real window code on a software
// renderer, driven by the same calls the launcher makes on each state change.
#pragma once

#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <string>

#include "base/files_win.h"
#include "core/launch_result.h"
#include "localization/localization.h"
#include "localization/messages.h"
#include "settings/settings.h"
#include "ui/assets_win.h"
#include "ui/bootstrapper_window_win.h"
#include "ui/scale.h"

namespace tavrin::launcher {

constexpr int64_t kFrameNs = 16'000'000;
constexpr char kDots[] = "[...]";

// One splash window drawing into memory.
class cOffscreenSplash {
public:
    // languageFile: a language file to load first; empty for the built-in texts.
    // dpi: the monitor's scale the window is told of (96 is 100 %).
    cOffscreenSplash(const cSettings& settings, const std::wstring& languageFile, int32_t dpi = kBaseDpi)
        : Settings(settings), Window([dpi](SDL_Window*) { return dpi; })
    {
        std::wstring error;
        if (!languageFile.empty() && !Localization.LoadFile(languageFile, error)) {
            std::fprintf(stderr, "screens: %ls\n", error.c_str());
            return;
        }
        const cUiBounds client = ScaleBounds({0, 0, kWindowWidth, kWindowHeight}, dpi);
        Surface =
            SDL_CreateRGBSurfaceWithFormat(0, client.Width, client.Height, 32, SDL_PIXELFORMAT_ARGB8888);
        if (Surface == nullptr)
            return;
        SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(Surface);
        if (renderer == nullptr)
            return;
        std::string message;
        Ready = Window.CreateOffscreen(renderer, Settings, Localization, "", message);
        if (!Ready)
            std::fprintf(stderr, "screens: window set-up failed: %s\n", message.c_str());
    }
    ~cOffscreenSplash()
    {
        Window.Destroy();
        if (Surface != nullptr)
            SDL_FreeSurface(Surface);
    }
    cOffscreenSplash(const cOffscreenSplash&) = delete;
    cOffscreenSplash& operator=(const cOffscreenSplash&) = delete;

    void Enter(int32_t state) { Window.ApplyStateGroup(state, Settings); }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            Window.UpdateAndDraw(kFrameNs);
    }

    bool Save(const std::string& path)
    {
        if (IMG_SavePNG(Surface, path.c_str()) != 0) {
            std::fprintf(stderr, "screens: could not write %s: %s\n", path.c_str(), IMG_GetError());
            return false;
        }
        std::printf("screens: wrote %s\n", path.c_str());
        return true;
    }

    // The launcher's reaction to a launch result (its ApplyLaunchResult).
    void Finish(KZV_ProtectedGameLaunchResult result, const std::string& message)
    {
        const MessageText& title = LaunchResultTitleText(result);
        Window.ShowFullProgress();
        if (result == kLaunchSuccess) {
            Window.FadeHiddenLogo();
            Enter(StateWaitingForGame);
            Window.SetScreenTexts(1, Localization.GetText(title.Key, title.Text), kDots);
            return;
        }
        Enter(StateError);
        Window.SetScreenTexts(2, Localization.GetText(title.Key, title.Text), message);
        Settings.HideGui = false;
        Settings.HideBootstrapper = false;
        Window.ShowErrorExtras();
    }

    // The launcher's reaction to a download report (its UpdateProgressDisplay).
    void Progress(uint32_t percent)
    {
        Window.ShowProgress(percent);
        if (percent == 100) {
            Enter(StateInitializing);
            Window.SetScreenTexts(1, Localization.GetText(kMsgInitializing.Key, kMsgInitializing.Text),
                                  kDots);
        }
    }

    cSettings Settings;
    cLocalization Localization;
    cBootstrapperWindow Window;
    SDL_Surface* Surface = nullptr;
    bool Ready = false;
};

}  // namespace tavrin::launcher
