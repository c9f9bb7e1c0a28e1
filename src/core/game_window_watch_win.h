// The game process whose window the launcher waits for before it leaves.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/foreign_windows.h"
#include "core/window_wait.h"
#include "loader/game_process_win.h"

namespace tavrin::launcher {

// Whether a process has ended, known without asking the system each frame:
// a pool thread waits for the process and leaves a flag.
class cProcessExitSignal {
public:
    cProcessExitSignal() = default;
    ~cProcessExitSignal() { Stop(); }
    cProcessExitSignal(const cProcessExitSignal&) = delete;
    cProcessExitSignal& operator=(const cProcessExitSignal&) = delete;

    // False when process cannot be waited for; nothing is watched then.
    bool Watch(HANDLE process);
    // Returns once no callback runs any more.
    void Stop();
    bool Watching() const { return Registration != nullptr; }
    bool Ended() const { return Signalled.load(); }

private:
    static void CALLBACK OnEnded(void* context, BOOLEAN timedOut);

    HANDLE Registration = nullptr;
    std::atomic<bool> Signalled{false};
};

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
    bool GameGone();
    bool GameHasVisibleWindow();

    cWindowWait Wait;
    cProcessHandle Process;
    uint32_t ProcessId = 0;
    // Declared after Process: stops waiting before the handle is closed.
    cProcessExitSignal Exit;
    bool ExitWatchTried = false;
    cForeignWindows Foreign;
};

}  // namespace tavrin::launcher
