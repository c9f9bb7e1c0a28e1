#include "core/window_wait.h"

namespace tavrin::launcher {

namespace {

// Enumerating every window of the desktop costs a round trip per window to
// the window server; done every frame it alone kept a waiting launcher near
// 2 % of a core under Wine. A game's window is seen at most 100 ms late.
constexpr int64_t kWindowSearchPeriodNs = 100'000'000;

}  // namespace

bool cWindowWait::SearchDue(int64_t nowNs)
{
    if (LastSearch != 0 && nowNs - LastSearch < kWindowSearchPeriodNs)
        return false;
    LastSearch = nowNs;
    return true;
}

int64_t cWindowWait::WaitNs() const
{
    const int64_t ended = Ended.load();
    return ended != 0 ? ended - Start.load() : -1;
}

}  // namespace tavrin::launcher
