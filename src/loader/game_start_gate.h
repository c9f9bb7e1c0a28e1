// Holds the game's creation until the launcher can show what becomes of it.
// The module may ask for the game while the splash window is still being
// made; the game then starts once the window exists, or never when the
// launcher ends first.
#pragma once

#include <condition_variable>
#include <mutex>

namespace tavrin::launcher {

class cGameStartGate {
public:
    // From now on Pass waits for Open or Refuse. No effect once refused.
    void Hold();
    void Open();
    // Final: every waiting and later Pass returns false.
    void Refuse();
    // True when the game may be created; waits while the gate is held.
    bool Pass();

private:
    enum class eState { Open, Held, Refused };

    void Set(eState state);

    std::mutex Lock;
    std::condition_variable Changed;
    eState State = eState::Open;
};

}  // namespace tavrin::launcher
