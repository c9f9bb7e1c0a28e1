// Launcher states, the launch-result table and the launcher's own exit codes.
#pragma once

#include <cstdint>

#include "loader/module_interface.h"
#include "localization/messages.h"

namespace tavrin::launcher {

enum LauncherState : int32_t {
    StateNone = 0,
    StateLoading = 1,
    StateDownloading = 2,
    StateInitializing = 3,
    StateWaitingForGame = 4,
    StateError = 5,
};

enum LauncherExitCode : int32_t {
    ExitLaunchLockFailed = 40753,
    ExitDependencyInitFailed = 40754,
    ExitInitializeFailed = 40755,
    ExitStartFailed = 40756,
    ExitNoGameProcess = 40757,
    ExitGameExitCodeUnavailable = 40759,
    ExitInternalError = 40760,
    ExitWineHelperFailed = 40761,
};

// The error-screen title for a launch result (key and English fallback).
const MessageText& LaunchResultTitleText(KZV_ProtectedGameLaunchResult result);

// Exit code chosen after the main loop when the game is not waited for.
// Results 0 and 301 need the game's own code when waiting was requested;
// NeedsGameExitCode reports that case.
bool NeedsGameExitCode(KZV_ProtectedGameLaunchResult result, bool waitForGame);
int32_t ExitCodeForResult(KZV_ProtectedGameLaunchResult result);

// Download percentage, rounded down; 0 when the total is 0.
uint32_t ProgressPercent(uint32_t completed, uint32_t total);

}  // namespace tavrin::launcher
