#include "core/entry_win.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include "base/files_win.h"
#include "core/globals.h"
#include "core/launch_lock_win.h"
#include "core/launcher_win.h"
#include "loader/game_launcher_win.h"

namespace tavrin::launcher {

bool gImmediateExitOnError = false;
bool gHeadlessMode = false;
AntiCheatLauncher* gLauncher = nullptr;

cSdlGuard::~cSdlGuard()
{
    if (Bits & Ttf)
        TTF_Quit();
    if (Bits & Image)
        IMG_Quit();
    if (Bits & Video)
        SDL_Quit();
    Bits = 0;
}

bool cSdlGuard::Initialize()
{
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        LogPrintf(Error, "SDL could not initialize! SDL Error: '%s'.", SDL_GetError());
        return false;
    }
    if (!(IMG_Init(IMG_INIT_PNG) & IMG_INIT_PNG)) {
        LogPrintf(Error, "SDL_image could not initialize! SDL_image Error: '%s'.", SDL_GetError());
        return false;
    }
    if (TTF_Init() == -1) {
        LogPrintf(Error, "[Initialize] SDL_ttf could not initialize! SDL_ttf Error: '%s'.", SDL_GetError());
        return false;
    }
    Bits = Video | Image | Ttf;
    if (!SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "1"))
        LogPrintf(Warning, "Failed to set linear texture filtering.");
    return true;
}

void ShowErrorBox(const std::string& text)
{
    if (gImmediateExitOnError)
        return;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Tavrin Launch Error", text.c_str(), nullptr);
}

namespace {

bool IsSwitchValueOn(const std::wstring& value) { return value == L"1"; }

}  // namespace

bool EnvironmentSwitchIsOn(const wchar_t* name)
{
    std::wstring value;
    return GetEnvironmentValue(name, value) && IsSwitchValueOn(value);
}

int32_t WaitForGameExitCode(const cProcessHandle& process)
{
    if (!process)
        return ExitNoGameProcess;
    LogPrintf(Info, "Waiting for game process to exit, will return exit code upon termination.");
    // Only a process that has ended has an exit code: after a failed wait the
    // query would report STILL_ACTIVE as if the game had returned 259.
    if (WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0)
        return ExitGameExitCodeUnavailable;
    DWORD code = 0;
    if (!GetExitCodeProcess(process.Get(), &code))
        return ExitGameExitCodeUnavailable;
    return static_cast<int32_t>(code);
}

int32_t ChooseExitCode(AntiCheatLauncher& launcher)
{
    launcher.ReportTelemetry();
    KZV_ProtectedGameLaunchResult result = launcher.LaunchResult();
    if (NeedsGameExitCode(result, launcher.Settings().WaitForGameProcessExit)) {
        cGameLauncher* gameLauncher = launcher.GameLauncher();
        return WaitForGameExitCode(gameLauncher ? gameLauncher->DuplicateGameProcessHandle()
                                                : cProcessHandle());
    }
    return ExitCodeForResult(result);
}

int32_t TerminateLauncher(int32_t exitCode, tavrin::cLogger& logger)
{
    logger.Printf(Info, "Terminate", "Terminating with: %i.", exitCode);
    ReleaseLaunchLock();
    logger.Worker.Drain();
    return exitCode;
}

}  // namespace tavrin::launcher
