// Which native threads are Windows threads running a call into the native
// module right now. Only such a thread may run the launcher's Windows code
// when the module reports on it; any other thread the module reports from is
// one Wine knows nothing about, however it looks (a thread the module starts
// inherits its creator's GS base, so it carries a borrowed thread block).
// Lock-free and allocation-free: native threads ask it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tavrin::launcher {

class cNativeCallThreads {
public:
    static constexpr size_t kSlots = 64;

    // Marks the kernel thread id as inside a native call; false when every
    // slot is taken (its reports then take the queue, which is always safe).
    bool Enter(int32_t threadId);
    void Leave(int32_t threadId);
    bool Contains(int32_t threadId) const;

private:
    std::atomic<int32_t> Slots[kSlots] = {};
};

}  // namespace tavrin::launcher
