#include "core/launch_lock_win.h"

#include <windows.h>

namespace tavrin::launcher {

namespace {

// Created once, never closed: the system releases it with the process.
HANDLE gLaunchLock = nullptr;
// Only the launcher that took the lock may give it back, and only once: a
// release by a launcher that was refused, or a second release after another
// launcher took over, would let a further launcher in while one still runs.
bool gLaunchLockHeld = false;

}  // namespace

bool AcquireLaunchLock(std::string& message)
{
    if (gLaunchLock) {
        message = "Failed at essential procedures, please run the system repair.";
        return false;
    }
    gLaunchLock = CreateSemaphoreA(nullptr, 1, 1, "TavrinLauncherSemaphore");
    if (!gLaunchLock) {
        message = "Failed at essential procedures, please run the system repair.";
        return false;
    }
    if (WaitForSingleObject(gLaunchLock, 0) != WAIT_OBJECT_0) {
        message = "Only a single instance of Tavrin launcher is allowed to run at any given time.";
        return false;
    }
    gLaunchLockHeld = true;
    return true;
}

void ReleaseLaunchLock()
{
    if (gLaunchLock && gLaunchLockHeld) {
        gLaunchLockHeld = false;
        ReleaseSemaphore(gLaunchLock, 1, nullptr);
    }
}

}  // namespace tavrin::launcher
