// The top-level windows a search of the desktop found to belong to other
// processes, carried to the next search. A window's owner never changes, and
// asking the window server who owns each window is most of what a search
// costs; only windows new since the last search are asked about.
#pragma once

#include <cstdint>
#include <unordered_set>

namespace tavrin::launcher {

class cForeignWindows {
public:
    // Starts a search: a window not met again before the next one is
    // forgotten, so a handle the system gives out again is asked about anew.
    void BeginSearch();
    // True when window belonged to another process in the last search; it is
    // kept for the next.
    bool Known(uintptr_t window);
    // window belongs to another process.
    void Remember(uintptr_t window);

private:
    std::unordered_set<uintptr_t> Previous;
    std::unordered_set<uintptr_t> Current;
};

}  // namespace tavrin::launcher
