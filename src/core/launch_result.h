// Launcher states, launch results and the launcher's own process exit codes.
#pragma once

#include <cstdint>

// Launch result delivered to the launcher; 301 is success.
using KZV_ProtectedGameLaunchResult = int32_t;
// Answer of the download progress callback.
using KZV_ModuleDownloadProgressResult = uint32_t;
inline constexpr KZV_ModuleDownloadProgressResult KZV_ProgressContinue = 0;
inline constexpr KZV_ModuleDownloadProgressResult KZV_ProgressStop = 1;

namespace tavrin::launcher {

enum LauncherState : int32_t {
    StateNone = 0,
    StateLoading = 1,
    StateDownloading = 2,
    StateInitializing = 3,
    StateWaitingForGame = 4,
    StateError = 5,
};

enum LaunchResultCode : KZV_ProtectedGameLaunchResult {
    ResultNone = 0,
    ResultCancelled = 101,
    ResultInvalidExecutable = 201,
    ResultNetworkError = 202,
    ResultNoModule = 204,
    ResultOverrideFailed = 205,
    ResultModuleRejected = 206,
    ResultInvalidGameOrSettings = 207,
    ResultCreationFailed = 208,
    ResultInstallError = 209,
    ResultOtherFailure = 210,
    ResultSuccess = 301,
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

struct cLocalizedText {
    const char* Key;
    const char* Text;
};

// The error-screen title for a launch result (key and English fallback).
cLocalizedText LaunchResultTitleText(KZV_ProtectedGameLaunchResult result);

// Exit code chosen after the main loop when the game is not waited for.
// Results 0 and 301 need the game's own code when waiting was requested;
// NeedsGameExitCode reports that case.
bool NeedsGameExitCode(KZV_ProtectedGameLaunchResult result, bool waitForGame);
int32_t ExitCodeForResult(KZV_ProtectedGameLaunchResult result);

// Download percentage, rounded down; 0 when the total is 0.
uint32_t ProgressPercent(uint32_t completed, uint32_t total);

}  // namespace tavrin::launcher
