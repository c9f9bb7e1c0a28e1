// Pieces of the entry routine: SDL start-up and shut-down, the error box,
// the environment switches and the one way out of the process.
#pragma once

#include <cstdint>
#include <string>

#include "logging/logger.h"

namespace tavrin::launcher {

// Records which SDL libraries were started; quits exactly those, TTF first.
class cSdlGuard {
public:
    enum : uint32_t { Video = 1, Image = 2, Ttf = 4 };

    cSdlGuard() = default;
    ~cSdlGuard();
    cSdlGuard(const cSdlGuard&) = delete;
    cSdlGuard& operator=(const cSdlGuard&) = delete;

    // SDL video, SDL_image PNG and SDL_ttf; records all three only when all succeed.
    bool Initialize();
    uint32_t Initialized() const { return Bits; }

private:
    uint32_t Bits = 0;
};

// "Tavrin Launch Error" message box; skipped with immediate exit on error.
void ShowErrorBox(const std::string& text);

// On only when the variable exists and is exactly "1".
bool EnvironmentSwitchIsOn(const wchar_t* name);

class AntiCheatLauncher;
class cProcessHandle;

// Waits without limit for the game; its exit code, 40759 when that cannot
// be read, 40757 without a process.
int32_t WaitForGameExitCode(const cProcessHandle& process);

// After the main loop: reports telemetry and picks the process exit code,
// waiting for the game when the settings ask for it.
int32_t ChooseExitCode(AntiCheatLauncher& launcher);

// Logs the code, releases the launch lock and drains the logger.
int32_t TerminateLauncher(int32_t exitCode, tavrin::cLogger& logger);

}  // namespace tavrin::launcher
