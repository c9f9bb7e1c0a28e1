#include "loader/native_call_threads.h"

namespace tavrin::launcher {

bool cNativeCallThreads::Enter(int32_t threadId)
{
    if (threadId <= 0) {
        return false;
    }
    for (std::atomic<int32_t>& slot : Slots) {
        int32_t expected = 0;
        if (slot.compare_exchange_strong(expected, threadId)) {
            return true;
        }
    }
    return false;
}

void cNativeCallThreads::Leave(int32_t threadId)
{
    // A nested call took a slot of its own: free one of them.
    for (std::atomic<int32_t>& slot : Slots) {
        int32_t expected = threadId;
        if (threadId > 0 && slot.compare_exchange_strong(expected, 0)) {
            return;
        }
    }
}

bool cNativeCallThreads::Contains(int32_t threadId) const
{
    if (threadId <= 0) {
        return false;
    }
    for (const std::atomic<int32_t>& slot : Slots) {
        if (slot.load() == threadId) {
            return true;
        }
    }
    return false;
}

}  // namespace tavrin::launcher
