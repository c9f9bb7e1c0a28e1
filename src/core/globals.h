// Process-wide switches and handles, set once by the entry routine.
#pragma once

namespace tavrin::launcher {

class AntiCheatLauncher;

// From "QRV_ANTICHEAT_BOOTSTRAPPER_IMMEDIATE_EXIT_ON_ERROR": no message boxes,
// and a failed launch ends the run at once.
extern bool gImmediateExitOnError;
// From "QRV_ANTICHEAT_BOOTSTRAPPER_RUN_IN_HEADLESS_MODE": no SDL, no window,
// no drawing, no state changes.
extern bool gHeadlessMode;
extern AntiCheatLauncher* gLauncher;

}  // namespace tavrin::launcher
