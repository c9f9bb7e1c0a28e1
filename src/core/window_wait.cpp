#include "core/window_wait.h"

namespace tavrin::launcher {

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
