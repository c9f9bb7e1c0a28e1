// The launcher's last word on an unhandled exception, on whichever thread
// it happens (the launcher's own, the loader's, or one the module created):
// one Error line in the log (code, address, module and offset, thread), the
// log on disk, a minidump beside it, and the exception code as the process
// exit code, so a crash never looks like success.
#pragma once

namespace tavrin::launcher {

// Runs just before the process ends; it must take no lock that the crashed
// thread may hold.
using CrashExitHook = void (*)();

// Sets the process-wide top-level exception filter; called by the entry
// routine before any other thread starts.
void InstallCrashHandler(CrashExitHook beforeExit);

}  // namespace tavrin::launcher
