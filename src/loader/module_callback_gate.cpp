#include "loader/module_callback_gate.h"

namespace tavrin::launcher {

namespace {

// Contexts are generation numbers, not addresses: a module may keep one
// forever, and nothing it points at could outlive the loader anyway.
uint64_t GenerationOf(void* context) { return reinterpret_cast<uintptr_t>(context); }
void* ContextOf(uint64_t generation) { return reinterpret_cast<void*>(static_cast<uintptr_t>(generation)); }

}  // namespace

cModuleCallbackGate& cModuleCallbackGate::Instance()
{
    static cModuleCallbackGate* gate = new cModuleCallbackGate;
    return *gate;
}

void* cModuleCallbackGate::Open(void* target)
{
    std::lock_guard<std::mutex> guard(Lock);
    const uint64_t generation = ++LastGeneration;
    Openings[generation] = Opening{target};
    return ContextOf(generation);
}

void cModuleCallbackGate::Close(void* context)
{
    std::unique_lock<std::mutex> guard(Lock);
    auto found = Openings.find(GenerationOf(context));
    if (found == Openings.end()) {
        return;
    }
    found->second.Closing = true;
    Idle.wait(guard, [&] { return found->second.InFlight == 0; });
    Openings.erase(found);
}

bool cModuleCallbackGate::Pass(void* context, const std::function<void(void* target)>& deliver)
{
    const uint64_t generation = GenerationOf(context);
    void* target = nullptr;
    {
        std::lock_guard<std::mutex> guard(Lock);
        auto found = Openings.find(generation);
        if (found == Openings.end() || found->second.Closing) {
            return false;
        }
        ++found->second.InFlight;
        target = found->second.Target;
    }
    deliver(target);
    std::lock_guard<std::mutex> guard(Lock);
    // The opening stays while a callback is in flight: Close erases it at zero.
    --Openings.find(generation)->second.InFlight;
    Idle.notify_all();
    return true;
}

}  // namespace tavrin::launcher
