// The single-instance launch lock, the named semaphore "TavrinLauncherSemaphore".
#pragma once

#include <string>

namespace tavrin::launcher {

// Creates (once) and takes the lock without waiting. On failure the text for
// the error box is written to message.
bool AcquireLaunchLock(std::string& message);
// Releases by one; a release beyond the maximum count of 1 has no effect.
void ReleaseLaunchLock();

}  // namespace tavrin::launcher
