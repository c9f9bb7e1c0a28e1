#include "loader/wine_callback_ring.h"

namespace tavrin::launcher {

namespace {

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Copies what fits, never half a character.
void CopyMessage(char (&to)[1024], const char* message)
{
    size_t length = 0;
    if (message) {
        while (length + 1 < sizeof(to) && message[length] != '\0') {
            to[length] = message[length];
            ++length;
        }
        while (message[length] != '\0' && length > 0 && IsUtf8Continuation(message[length])) {
            --length;
        }
    }
    to[length] = '\0';
}

}  // namespace

bool cCallbackRing::Push(void* context, int32_t code, const char* message, int32_t nativePid)
{
    if (TryPush(context, code, message, nativePid)) {
        return true;
    }
    CountDropped();
    return false;
}

bool cCallbackRing::TryPush(void* context, int32_t code, const char* message, int32_t nativePid)
{
    // Any free slot will do: the ticket keeps the order.
    const uint64_t ticket = NextTicket.fetch_add(1);
    for (size_t probe = 0; probe < kSlots; ++probe) {
        Slot& slot = Slots[(ticket + probe) % kSlots];
        uint32_t expected = kEmpty;
        if (!slot.State.compare_exchange_strong(expected, kWriting, std::memory_order_acquire)) {
            continue;
        }
        slot.Ticket = ticket;
        QueuedCallback& record = slot.Record;
        record.Context = context;
        record.Code = code;
        record.NativePid = nativePid;
        record.HasMessage = message != nullptr;
        CopyMessage(record.Message, message);
        slot.State.store(kFull, std::memory_order_release);
        Pushes.fetch_add(1);
        return true;
    }
    return false;
}

cCallbackRing::Slot* cCallbackRing::OldestFull()
{
    Slot* oldest = nullptr;
    for (Slot& slot : Slots) {
        if (slot.State.load(std::memory_order_acquire) == kFull &&
            (!oldest || slot.Ticket < oldest->Ticket)) {
            oldest = &slot;
        }
    }
    return oldest;
}

bool cCallbackRing::Pop(QueuedCallback& record)
{
    // A slot the scan passed while empty may fill behind it with an older
    // record than the one found. Once a record was seen full, every record
    // its producer pushed before it is visible to the next scan: scan again
    // until a scan confirms the oldest.
    Slot* oldest = OldestFull();
    while (oldest) {
        Slot* confirmed = OldestFull();
        if (confirmed == oldest) {
            break;
        }
        oldest = confirmed;
    }
    if (!oldest) {
        return false;
    }
    uint32_t expected = kFull;
    if (!oldest->State.compare_exchange_strong(expected, kReading, std::memory_order_acquire)) {
        return false;
    }
    record = oldest->Record;
    oldest->State.store(kEmpty, std::memory_order_release);
    Pops.fetch_add(1);
    return true;
}

}  // namespace tavrin::launcher
