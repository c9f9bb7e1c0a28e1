// Renders every screen of the splash window into PNG files, offscreen: the
// real window code draws into a software surface after a scripted sequence
// of frames, the same calls the launcher makes on each state change.
//
//   TavrinScreens.exe [--dpi=N] OUT_DIR [LOCALIZATION_DIR [LANGUAGE_FILE]]
// With the localization folder, the translated screens are drawn too; with a
// language file of that folder, every screen is drawn in that language alone.
// With --dpi the window is told its monitor is at N DPI (96 is 100 %), and
// each file name ends in the percentage ("_200" for 192).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "offscreen_splash_win.h"
#include "ui/scale.h"

using namespace tavrin;
using namespace tavrin::launcher;

namespace {

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
        std::fprintf(stderr, "usage: TavrinScreens [--dpi=N] OUT_DIR [LOCALIZATION_DIR [LANGUAGE_FILE]]\n");
        return 2;
    }
    const std::string out = std::string(argv[first]) + "\\";
    const std::wstring languages =
        argc - first > 1 ? Utf8ToUtf16(std::string(argv[first + 1]) + "\\") : std::wstring();
    const char* onlyLanguage = argc - first > 2 ? argv[first + 2] : nullptr;
    const std::string suffix = dpi == kBaseDpi ? "" : "_" + std::to_string(dpi * 100 / kBaseDpi);
    if (SDL_Init(0) != 0 || IMG_Init(IMG_INIT_PNG) == 0 || TTF_Init() != 0) {
        std::fprintf(stderr, "screens: SDL set-up failed: %s\n", SDL_GetError());
        return 1;
    }
    int failures = 0;
    for (const cScreen& screen : kScreens) {
        if (screen.LanguageFile != nullptr && (languages.empty() || onlyLanguage != nullptr))
            continue;
        const char* language = onlyLanguage != nullptr ? onlyLanguage : screen.LanguageFile;
        cSettings settings;
        if (screen.Configure)
            screen.Configure(settings);
        cOffscreenSplash splash(settings,
                                language != nullptr ? languages + Utf8ToUtf16(language) : std::wstring(), dpi);
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
