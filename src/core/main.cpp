// The launcher's entry routine: process guards, the main loop and the exit code.
#include <SDL.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/files_win.h"
#include "core/command_line.h"
#include "core/crash_handler_win.h"
#include "core/entry_win.h"
#include "core/globals.h"
#include "core/launch_lock_win.h"
#include "core/launcher_win.h"
#include "loader/wine_helper_page_win.h"
#include "logging/logger.h"
#include "ui/embedded_decoding_win.h"

using namespace tavrin;
using namespace tavrin::launcher;

namespace {

// The test build TavrinLauncherPe takes the Windows module path (verify, map,
// initialize) and the real window watch under Wine, which otherwise takes the
// native path; the product executable keeps its real Wine detection.
cHostFacts LauncherHostFacts()
{
    cHostFacts facts = DetectHostFacts();
#ifdef TAVRIN_WINDOWS_MODULE_PATH
    facts.Wine = false;
#endif
    return facts;
}

#ifdef TAVRIN_WINDOWS_MODULE_PATH
// Tests only: a fault in the launcher's own code, once its log is open.
void FaultWhenTestsAsk()
{
    static volatile int* volatile nowhere = nullptr;
    if (EnvironmentSwitchIsOn(L"TAVRIN_TEST_LAUNCHER_FAULT")) {
        *nowhere = 1;
    }
}

// Tests only: the exit waits until every upload posted so far has begun, so
// a test of the upload does not depend on how the threads were scheduled. A
// begun upload is never dropped: stopping the worker waits for it.
void HoldExitForUploadsWhenTestsAsk(const cBackgroundWorker& worker)
{
    if (!EnvironmentSwitchIsOn(L"TAVRIN_TEST_HOLD_EXIT_FOR_UPLOADS"))
        return;
    for (int waited = 0; waited < 30'000 && worker.StartedCount() < worker.PostedCount(); waited += 5)
        Sleep(5);
}
#endif

// Everything from the launch lock to the exit code. Returns through
// TerminateLauncher while the launcher and SDL still exist, so the exit line
// is logged and the lock released before anything is torn down.
int32_t RunLauncher(cLogger& logger, const std::vector<std::string>& arguments)
{
    std::string message;
    if (!AcquireLaunchLock(message)) {
        ShowErrorBox(message);
        return TerminateLauncher(ExitLaunchLockFailed, logger);
    }

    // Declared before the launcher: destroyed after it.
    cSdlGuard sdl;
    auto launcher = std::make_unique<AntiCheatLauncher>(logger, arguments, LauncherHostFacts());

    // The built-in pictures decode while the settings load and SDL starts.
    if (!gHeadlessMode)
        StartEmbeddedTextureDecoding();
    if (!launcher->LoadSettingsLogAndLocale(message)) {
        ShowErrorBox(message);
        return TerminateLauncher(ExitInitializeFailed, logger);
    }
    if (!gHeadlessMode && !sdl.Initialize()) {
        ShowErrorBox("Failed to initialize dependencies.");
        return TerminateLauncher(ExitDependencyInitFailed, logger);
    }
    // The download runs while the window is made. Started before SDL, it
    // took the second core from SDL's start and delayed the first frame more
    // than it gained.
    launcher->BeginLaunch();
    if (!launcher->Initialize(message)) {
        ShowErrorBox(message);
        return TerminateLauncher(ExitInitializeFailed, logger);
    }
#ifdef TAVRIN_WINDOWS_MODULE_PATH
    FaultWhenTestsAsk();
#endif
    if (!launcher->Start()) {
        ShowErrorBox("Failed to start the anti-cheat module download.");
        return TerminateLauncher(ExitStartFailed, logger);
    }
    launcher->RunMainLoop();
    int32_t exitCode = ChooseExitCode(*launcher);
#ifdef TAVRIN_WINDOWS_MODULE_PATH
    HoldExitForUploadsWhenTestsAsk(*launcher);
#endif
    return TerminateLauncher(exitCode, logger);
}

}  // namespace

int main(int, char**)
{
    // First, so a fault anywhere later ends with its code, never with 0.
    InstallCrashHandler(ReleaseLaunchLock);
    cLogger logger;
    std::vector<std::string> arguments = GetProcessArguments();
    gImmediateExitOnError = EnvironmentSwitchIsOn(L"QRV_ANTICHEAT_BOOTSTRAPPER_IMMEDIATE_EXIT_ON_ERROR");
    gHeadlessMode = EnvironmentSwitchIsOn(L"QRV_ANTICHEAT_BOOTSTRAPPER_RUN_IN_HEADLESS_MODE");

    if (IsWine() && !PlaceWineHelperPage()) {
        ShowErrorBox("Failed to initialize Wine helper buffer");
        return TerminateLauncher(ExitWineHelperFailed, logger);
    }
    logger.Worker.Start();
    SetEnvironmentVariableW(L"SteamNoOverlayUIDrawing", L"1");

    try {
        return RunLauncher(logger, arguments);
    } catch (...) {
        ShowErrorBox("The Tavrin launcher encountered an internal error.");
        return TerminateLauncher(ExitInternalError, logger);
    }
}
