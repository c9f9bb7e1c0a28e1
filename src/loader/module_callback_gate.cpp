#include "loader/module_callback_gate.h"

namespace tavrin::launcher {

cModuleCallbackGate& cModuleCallbackGate::Instance()
{
    static cModuleCallbackGate* gate = new cModuleCallbackGate;
    return *gate;
}

void cModuleCallbackGate::Open(const void* context)
{
    std::lock_guard<std::mutex> guard(Lock);
    Contexts[context] = Context{};
}

void cModuleCallbackGate::Close(const void* context)
{
    std::unique_lock<std::mutex> guard(Lock);
    auto found = Contexts.find(context);
    if (found == Contexts.end()) {
        return;
    }
    found->second.Closing = true;
    Idle.wait(guard, [&] { return found->second.InFlight == 0; });
    Contexts.erase(found);
}

bool cModuleCallbackGate::Pass(const void* context, const std::function<void()>& deliver)
{
    {
        std::lock_guard<std::mutex> guard(Lock);
        auto found = Contexts.find(context);
        if (found == Contexts.end() || found->second.Closing) {
            return false;
        }
        ++found->second.InFlight;
    }
    deliver();
    std::lock_guard<std::mutex> guard(Lock);
    // The entry stays while a callback is in flight: Close erases it at zero.
    --Contexts.find(context)->second.InFlight;
    Idle.notify_all();
    return true;
}

}  // namespace tavrin::launcher
