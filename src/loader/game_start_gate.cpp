#include "loader/game_start_gate.h"

namespace tavrin::launcher {

void cGameStartGate::Set(eState state)
{
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (State == eState::Refused) {
            return;
        }
        State = state;
    }
    Changed.notify_all();
}

void cGameStartGate::Hold() { Set(eState::Held); }

void cGameStartGate::Open() { Set(eState::Open); }

void cGameStartGate::Refuse() { Set(eState::Refused); }

bool cGameStartGate::Pass()
{
    std::unique_lock<std::mutex> guard(Lock);
    Changed.wait(guard, [this] { return State != eState::Held; });
    return State == eState::Open;
}

}  // namespace tavrin::launcher
