// The game process whose window the launcher waits for before it leaves.
#pragma once

#include <cstdint>

#include "core/window_wait.h"
#include "loader/game_process_win.h"

namespace tavrin::launcher {

class cGameWindowWatch {
public:
    explicit cGameWindowWatch(int64_t exitDeferNs = kExitDeferTimeNs) : Wait(exitDeferNs) {}

    // Watches process (a null handle or id 0: there is no game to watch).
    void Begin(cProcessHandle process, uint32_t processId, int64_t nowNs);
    // One look at the game: true while the wait goes on. It ends when the
    // game shows a visible window or the exit defer time passes (both end
    // the wait), or when the game is gone.
    bool Poll(int64_t nowNs);
    const cWindowWait& Record() const { return Wait; }

private:
    cWindowWait Wait;
    cProcessHandle Process;
    uint32_t ProcessId = 0;
};

}  // namespace tavrin::launcher
