// The wait for the game's window before the launcher leaves: when it began,
// when it ended (the window seen or the wait given up), and how often the
// desktop's windows may be searched.
#pragma once

#include <atomic>
#include <cstdint>

namespace tavrin::launcher {

inline constexpr int64_t kExitDeferTimeNs = 60'000'000'000;

class cWindowWait {
public:
    explicit cWindowWait(int64_t exitDeferNs = kExitDeferTimeNs) : ExitDeferNs(exitDeferNs) {}

    void Begin(int64_t nowNs) { Start.store(nowNs); }
    bool Begun() const { return Start.load() != 0; }
    // Longer than the exit defer time since the wait began.
    bool DeferCrossed(int64_t nowNs) const { return nowNs - Start.load() > ExitDeferNs; }
    // True when no search ran within the last search period; a true answer
    // counts as a search at nowNs.
    bool SearchDue(int64_t nowNs);
    void End(int64_t nowNs) { Ended.store(nowNs); }
    // When the wait ended; 0 while it has not.
    int64_t EndTime() const { return Ended.load(); }
    // From the beginning to the end; -1 while it has not ended.
    int64_t WaitNs() const;

private:
    int64_t ExitDeferNs;
    std::atomic<int64_t> Start{0};
    std::atomic<int64_t> Ended{0};
    int64_t LastSearch = 0;
};

}  // namespace tavrin::launcher
