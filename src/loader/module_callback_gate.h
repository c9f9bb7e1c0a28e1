// The module may call back from its own threads until its second entry point
// has returned, and a late or stray call must never reach a loader that is
// gone, nor a later loader that happens to live at the same address. Each
// opening hands out a context of its own that is never reused: the module
// passes it back, and the gate knows which opening it belongs to. The gate
// outlives every loader: a callback passes only to an opening that is still
// open, and closing waits for the callbacks inside it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace tavrin::launcher {

class cModuleCallbackGate {
public:
    // The process's gate; never destroyed, so module threads may still
    // knock while the process exits.
    static cModuleCallbackGate& Instance();

    // The context to give the module for target; never null, never reused.
    void* Open(void* target);
    // Waits until no callback through context is in flight; callbacks that
    // arrive later are dropped. Must not be called from inside a callback.
    void Close(void* context);
    // Runs deliver with the opening's target while context is open; false
    // when it was dropped (closed, or never handed out).
    bool Pass(void* context, const std::function<void(void* target)>& deliver);

private:
    struct Opening {
        void* Target = nullptr;
        int InFlight = 0;
        bool Closing = false;
    };

    std::mutex Lock;
    std::condition_variable Idle;
    uint64_t LastGeneration = 0;
    std::map<uint64_t, Opening> Openings;
};

}  // namespace tavrin::launcher
