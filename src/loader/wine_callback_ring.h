// Module reports from threads that may not run Windows code: a fixed ring of
// slots claimed with atomics, the message copied into the slot, so a
// producer neither allocates, locks nor calls anything. A consumer on a
// Windows thread takes the records out in the order they were pushed.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tavrin::launcher {

struct QueuedCallback {
    void* Context = nullptr;
    int32_t Code = 0;
    int32_t NativePid = 0;
    bool HasMessage = false;
    char Message[1024] = {};  // cut to fit at a whole UTF-8 character, always NUL-terminated
};

class cCallbackRing {
public:
    static constexpr size_t kSlots = 32;

    // False when every slot is taken: the record is dropped and counted.
    bool Push(void* context, int32_t code, const char* message, int32_t nativePid);
    // The same without counting, for a producer that will try again.
    bool TryPush(void* context, int32_t code, const char* message, int32_t nativePid);
    // Counts a record its producer gave up on.
    void CountDropped() { DroppedCount.fetch_add(1); }
    // Takes out the oldest record; false when none is ready.
    bool Pop(QueuedCallback& record);
    uint32_t Dropped() const { return DroppedCount.load(); }

    // A word that changes on every push, for a consumer to sleep on.
    const std::atomic<uint32_t>& Signal() const { return Pushes; }
    // A word that changes on every pop, for a producer to sleep on while
    // the ring is full.
    const std::atomic<uint32_t>& FreedSignal() const { return Pops; }
    // Changes the signal word without a record, to wake a sleeping consumer.
    void Nudge() { Pushes.fetch_add(1); }

private:
    enum : uint32_t { kEmpty, kWriting, kFull, kReading };
    struct Slot {
        std::atomic<uint32_t> State{kEmpty};
        uint64_t Ticket = 0;
        QueuedCallback Record;
    };
    // The full slot with the smallest ticket, or null.
    Slot* OldestFull();

    Slot Slots[kSlots];
    std::atomic<uint64_t> NextTicket{0};
    std::atomic<uint32_t> Pushes{0};
    std::atomic<uint32_t> Pops{0};
    std::atomic<uint32_t> DroppedCount{0};
};

}  // namespace tavrin::launcher
