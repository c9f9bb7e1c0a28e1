#include "loader/image_ranges.h"

#include <atomic>

namespace tavrin::launcher {

namespace {

enum SlotState : uint32_t { kFree = 0, kFilling = 1, kReady = 2 };

struct Slot {
    std::atomic<uint32_t> State{kFree};
    std::atomic<uintptr_t> Base{0};
    std::atomic<size_t> Size{0};
    std::atomic<const char*> Name{nullptr};
};

Slot gSlots[kMaxImageRanges];

}  // namespace

bool RegisterImageRange(const void* base, size_t size, const char* name)
{
    const uintptr_t start = reinterpret_cast<uintptr_t>(base);
    if (start == 0 || size == 0 || start + size < start) {
        return false;
    }
    for (Slot& slot : gSlots) {
        uint32_t expected = kFree;
        if (!slot.State.compare_exchange_strong(expected, kFilling)) {
            continue;
        }
        slot.Base.store(start, std::memory_order_relaxed);
        slot.Size.store(size, std::memory_order_relaxed);
        slot.Name.store(name, std::memory_order_relaxed);
        slot.State.store(kReady, std::memory_order_release);
        return true;
    }
    return false;
}

void UnregisterImageRange(const void* base)
{
    const uintptr_t start = reinterpret_cast<uintptr_t>(base);
    for (Slot& slot : gSlots) {
        if (slot.State.load(std::memory_order_acquire) == kReady &&
            slot.Base.load(std::memory_order_relaxed) == start) {
            slot.State.store(kFree, std::memory_order_release);
            return;
        }
    }
}

bool FindImageRange(uintptr_t address, ImageRange& out)
{
    for (const Slot& slot : gSlots) {
        if (slot.State.load(std::memory_order_acquire) != kReady) {
            continue;
        }
        const ImageRange range{slot.Base.load(std::memory_order_relaxed), slot.Size.load(std::memory_order_relaxed),
                               slot.Name.load(std::memory_order_relaxed)};
        // A slot reused meanwhile is skipped rather than half read.
        if (slot.State.load(std::memory_order_acquire) != kReady) {
            continue;
        }
        if (address >= range.Base && address - range.Base < range.Size) {
            out = range;
            return true;
        }
    }
    return false;
}

}  // namespace tavrin::launcher
