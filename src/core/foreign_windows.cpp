#include "core/foreign_windows.h"

namespace tavrin::launcher {

void cForeignWindows::BeginSearch()
{
    Previous.swap(Current);
    Current.clear();
}

bool cForeignWindows::Known(uintptr_t window)
{
    if (Previous.count(window) == 0)
        return false;
    Current.insert(window);
    return true;
}

void cForeignWindows::Remember(uintptr_t window) { Current.insert(window); }

}  // namespace tavrin::launcher
