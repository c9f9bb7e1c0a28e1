// The native module's callback entry and the Windows thread that delivers
// what it queued. A native module reports with the System V convention and
// possibly from a thread Wine knows nothing about: on such a thread no
// Windows code may run, so the report waits in a ring for the delivery
// thread. Only a Windows thread that is inside a call into the module
// delivers its own reports directly.
#pragma once

#include <cstdint>

#include "loader/module_interface.h"

namespace tavrin::launcher {

// Where a report ends up, on a thread that may run Windows code.
using NativeReportSink = void (*)(void* context, int32_t code, const char* message, int32_t nativePid);

// The System V entry for the init record. Starts the delivery thread on
// first use.
KZV_NativeCallback StartNativeCallbackDelivery(NativeReportSink sink);
// Delivers what is queued, then ends the delivery thread. Reports that
// arrive later wait for the next start.
void StopNativeCallbackDelivery();
// Reports lost because the ring stayed full.
uint32_t DroppedNativeCallbacks();
// The Windows thread id of the running delivery thread, 0 when none runs.
uint32_t NativeCallbackDeliveryThreadId();

// Marks the calling Windows thread as inside a native call for the scope's
// life: reports the module makes on this thread meanwhile run here directly.
class cNativeCallScope {
public:
    cNativeCallScope();
    ~cNativeCallScope();
    cNativeCallScope(const cNativeCallScope&) = delete;
    cNativeCallScope& operator=(const cNativeCallScope&) = delete;

private:
    int32_t ThreadId;
    bool Entered;
};

}  // namespace tavrin::launcher
