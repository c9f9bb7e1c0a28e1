// Renders every screen of the splash window into PNG files, offscreen: the
// real window code draws into a software surface after a scripted sequence
// of frames, the same calls the launcher makes on each state change.
//
//   TavrinScreens.exe [--dpi=N] OUT_DIR [LOCALIZATION_DIR]
// With the localization folder, the translated screens are drawn too. With
// --dpi the window is told its monitor is at N DPI (96 is 100 %), and each
// file name ends in the percentage ("_200" for 192).
#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "core/launch_result.h"
#include "localization/localization.h"
#include "localization/messages.h"
#include "settings/files_win.h"
#include "settings/settings.h"
#include "ui/assets_win.h"
#include "ui/bootstrapper_window_win.h"
#include "ui/scale.h"

using namespace tavrin;
using namespace tavrin::launcher;

namespace {

constexpr int64_t kFrameNs = 16'000'000;
constexpr char kDots[] = "[...]";

// One splash window drawing into memory.
class cOffscreenSplash {
public:
    // languageFile: a language file to load first; empty for the built-in texts.
    cOffscreenSplash(const cSettings& settings, const std::wstring& languageFile, int32_t dpi)
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
        Window.RendererHandle = SDL_CreateSoftwareRenderer(Surface);
        if (Window.RendererHandle == nullptr)
            return;
        SDL_SetRenderDrawBlendMode(Window.RendererHandle, SDL_BLENDMODE_BLEND);
        Window.WindowWidth = client.Width;
        Window.WindowHeight = client.Height;
        std::string message;
        Ready = LoadAssetsWithSplash(Window.RendererHandle, Settings.RequestedSplash, "", Localization, {},
                                     Window.Assets, dpi) &&
                Window.CreateElements(Settings, Localization, message);
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

    void Enter(int32_t state)
    {
        Window.State = state;
        Window.ApplyStateGroup(state, Settings);
    }

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

struct cScreen {
    const char* Name;
    std::function<void(cSettings&)> Configure;
    std::function<void(cOffscreenSplash&)> Play;
    const char* LanguageFile = nullptr;  // in the localization folder
};

void Start(cOffscreenSplash& splash)
{
    splash.Enter(StateLoading);
    splash.Enter(StateDownloading);
}

// A network failure in the loaded language, its message filled in as the
// download fills it.
void TranslatedNetworkError(cOffscreenSplash& s)
{
    Start(s);
    s.Frames(60);
    s.Progress(20);
    s.Frames(30);
    s.Finish(kLaunchNetworkError,
             s.Localization.GetText(kMsgDnsConnectionFailed.Key, kMsgDnsConnectionFailed.Text, {"28"}));
    s.Frames(150);
}

const cScreen kScreens[] = {
    {"01_loading_0", nullptr,
     [](cOffscreenSplash& s) {
         Start(s);
         s.Frames(40);
     }},
    {"02_logo_settled_0", nullptr,
     [](cOffscreenSplash& s) {
         Start(s);
         s.Frames(200);
     }},
    {"03_downloading_40", nullptr,
     [](cOffscreenSplash& s) {
         Start(s);
         s.Frames(60);
         s.Window.ShowProgress(40);
         s.Frames(80);
     }},
    {"04_downloading_100", nullptr,
     [](cOffscreenSplash& s) {
         Start(s);
         s.Frames(60);
         s.Window.ShowProgress(40);
         s.Frames(60);
         s.Window.ShowProgress(100);
         s.Frames(10);
     }},
    {"05_initializing", nullptr,
     [](cOffscreenSplash& s) {
         Start(s);
         s.Frames(60);
         s.Progress(40);
         s.Frames(60);
         s.Progress(100);
         s.Frames(150);
     }},
    {"06_waiting_for_game", nullptr,
     [](cOffscreenSplash& s) {
         Start(s);
         s.Frames(60);
         s.Progress(100);
         s.Frames(60);
         s.Finish(kLaunchSuccess, "");
         s.Frames(150);
     }},
    {"07_error_short", nullptr,
     [](cOffscreenSplash& s) {
         Start(s);
         s.Frames(60);
         s.Progress(20);
         s.Frames(30);
         s.Finish(kLaunchNetworkError, "Connection failed: timed out.");
         s.Frames(150);
     }},
    {"08_error_long_path", nullptr,
     [](cOffscreenSplash& s) {
         Start(s);
         s.Frames(60);
         s.Finish(kLaunchInvalidExecutable,
                  "Could not locate the game binary: 'C:\\Program Files (x86)\\Example Studio\\Example "
                  "Game\\Binaries\\Win64\\ExampleGame-Win64-Shipping.exe'");
         s.Frames(150);
     }},
    {"09_hide_gui", [](cSettings& c) { c.HideGui = true; },
     [](cOffscreenSplash& s) {
         Start(s);
         s.Frames(120);
     }},
    {"10_hidden_logo_revealed", nullptr,
     [](cOffscreenSplash& s) {
         Start(s);
         s.Frames(200);
         s.Window.RevealHiddenLogo();
         s.Frames(80);
     }},
    {"11_error_after_hide_gui", [](cSettings& c) { c.HideGui = true; },
     [](cOffscreenSplash& s) {
         Start(s);
         s.Frames(30);
         s.Finish(kLaunchModuleRejected, "The module was rejected.");
         s.Frames(150);
     }},
    {"12_error_german", nullptr, TranslatedNetworkError, "de.cfg"},
    {"13_error_russian", nullptr, TranslatedNetworkError, "ru.cfg"},
    {"14_error_greek", nullptr, TranslatedNetworkError, "el.cfg"},
};

}  // namespace

int main(int argc, char** argv)
{
    SDL_SetMainReady();
    int32_t dpi = kBaseDpi;
    int first = 1;
    if (argc > 1 && std::strncmp(argv[1], "--dpi=", 6) == 0) {
        dpi = SaneDpi(std::atoi(argv[1] + 6));
        ++first;
    }
    if (argc - first < 1) {
        std::fprintf(stderr, "usage: TavrinScreens [--dpi=N] OUT_DIR [LOCALIZATION_DIR]\n");
        return 2;
    }
    const std::string out = std::string(argv[first]) + "\\";
    const std::wstring languages =
        argc - first > 1 ? Utf8ToUtf16(std::string(argv[first + 1]) + "\\") : std::wstring();
    const std::string suffix = dpi == kBaseDpi ? "" : "_" + std::to_string(dpi * 100 / kBaseDpi);
    if (SDL_Init(0) != 0 || IMG_Init(IMG_INIT_PNG) == 0 || TTF_Init() != 0) {
        std::fprintf(stderr, "screens: SDL set-up failed: %s\n", SDL_GetError());
        return 1;
    }
    int failures = 0;
    for (const cScreen& screen : kScreens) {
        if (screen.LanguageFile != nullptr && languages.empty())
            continue;
        cSettings settings;
        if (screen.Configure)
            screen.Configure(settings);
        cOffscreenSplash splash(settings,
                                screen.LanguageFile != nullptr ? languages + Utf8ToUtf16(screen.LanguageFile)
                                                               : std::wstring(),
                                dpi);
        if (!splash.Ready) {
            ++failures;
            continue;
        }
        screen.Play(splash);
        if (!splash.Save(out + screen.Name + suffix + ".png"))
            ++failures;
    }
    TTF_Quit();
    IMG_Quit();
    SDL_Quit();
    return failures == 0 ? 0 : 1;
}
