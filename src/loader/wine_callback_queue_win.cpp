#include "loader/wine_callback_queue_win.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "loader/wine_callback_ring.h"
#include "loader/wine_syscalls_win.h"

namespace tavrin::launcher {

namespace {

// Static storage: a native thread may report at any time, even while the
// launcher winds down, and must find the ring in place.
cCallbackRing gRing;
std::atomic<NativeReportSink> gSink{nullptr};
std::atomic<uint32_t> gStopRequested{0};

std::mutex gThreadLock;
std::thread gDeliveryThread;

const uint32_t* SignalWord() { return reinterpret_cast<const uint32_t*>(&gRing.Signal()); }

void DeliverQueued()
{
    QueuedCallback record;
    while (gRing.Pop(record)) {
        if (NativeReportSink sink = gSink.load()) {
            sink(record.Context, record.Code, record.HasMessage ? record.Message : nullptr, record.NativePid);
        }
    }
}

void DeliveryLoop()
{
    for (;;) {
        // Read before draining: a push after this read changes the word,
        // and the wait below then returns at once.
        const uint32_t seen = gRing.Signal().load();
        DeliverQueued();
        if (gStopRequested.load()) {
            DeliverQueued();
            return;
        }
        NativeFutexWait(SignalWord(), seen);
    }
}

void __attribute__((sysv_abi)) NativeCallbackEntry(KZV_CallbackRecord* record)
{
    if (!record || !record->Context) {
        return;
    }
    if (CurrentThreadHasWineEnvironment()) {
        if (NativeReportSink sink = gSink.load()) {
            sink(record->Context, record->Code, record->Message, record->NativeProcessId);
        }
        return;
    }
    // Nothing but the ring and the kernel on this thread.
    if (gRing.Push(record->Context, record->Code, record->Message, record->NativeProcessId)) {
        NativeFutexWake(SignalWord());
    }
}

}  // namespace

KZV_NativeCallback StartNativeCallbackDelivery(NativeReportSink sink)
{
    gSink.store(sink);
    std::lock_guard<std::mutex> guard(gThreadLock);
    if (!gDeliveryThread.joinable()) {
        gStopRequested.store(0);
        gDeliveryThread = std::thread(DeliveryLoop);
    }
    return &NativeCallbackEntry;
}

void StopNativeCallbackDelivery()
{
    std::lock_guard<std::mutex> guard(gThreadLock);
    if (!gDeliveryThread.joinable()) {
        return;
    }
    gStopRequested.store(1);
    // The stop must change the word the thread sleeps on.
    gRing.Nudge();
    NativeFutexWake(SignalWord());
    gDeliveryThread.join();
}

uint32_t DroppedNativeCallbacks() { return gRing.Dropped(); }

}  // namespace tavrin::launcher
