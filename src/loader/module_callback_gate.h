// The module may call back from its own threads until its second entry point
// has returned, and a late or stray call must never reach a loader that is
// gone. The gate outlives every loader: a callback passes only to a context
// that is open, and closing a context waits for the callbacks inside it.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

namespace tavrin::launcher {

class cModuleCallbackGate {
public:
    // The process's gate; never destroyed, so module threads may still
    // knock while the process exits.
    static cModuleCallbackGate& Instance();

    void Open(const void* context);
    // Waits until no callback to context is in flight; callbacks that
    // arrive later are dropped. Must not be called from inside a callback.
    void Close(const void* context);
    // Runs deliver while context is open; false when it was dropped.
    bool Pass(const void* context, const std::function<void()>& deliver);

private:
    std::mutex Lock;
    std::condition_variable Idle;
    struct Context {
        int InFlight = 0;
        bool Closing = false;
    };
    std::map<const void*, Context> Contexts;
};

}  // namespace tavrin::launcher
