#include "loader/wine_callback_queue_win.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "loader/native_call_threads.h"
#include "loader/wine_callback_ring.h"
#include "loader/wine_syscalls_win.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

// How long a module thread waits for a free slot while the delivery thread
// is busy (a process-id look-up takes up to 2 s per report) before its
// report is counted as lost.
constexpr int64_t kFreeSlotWaitMs = 10000;
constexpr uint32_t kFreeSlotPollMs = 100;

// Static storage: a native thread may report at any time, even while the
// launcher winds down, and must find the ring in place.
cCallbackRing gRing;
cNativeCallThreads gNativeCallThreads;
std::atomic<NativeReportSink> gSink{nullptr};
std::atomic<uint32_t> gStopRequested{0};
std::atomic<uint32_t> gDelivering{0};
std::atomic<uint32_t> gDeliveryThreadId{0};

std::mutex gThreadLock;
std::thread gDeliveryThread;
uint32_t gDropsLogged = 0;

const uint32_t* Word(const std::atomic<uint32_t>& word) { return reinterpret_cast<const uint32_t*>(&word); }

void LogNewDrops()
{
    const uint32_t dropped = gRing.Dropped();
    if (dropped != gDropsLogged) {
        LogPrintf(Error, "%u module reports were lost: the report queue stayed full.", dropped - gDropsLogged);
        gDropsLogged = dropped;
    }
}

void DeliverQueued()
{
    QueuedCallback record;
    while (gRing.Pop(record)) {
        NativeFutexWake(Word(gRing.FreedSignal()));
        if (NativeReportSink sink = gSink.load()) {
            sink(record.Context, record.Code, record.HasMessage ? record.Message : nullptr, record.NativePid);
        }
    }
    LogNewDrops();
}

void DeliveryLoop()
{
    gDeliveryThreadId.store(GetCurrentThreadId());
    for (;;) {
        // Read before draining: a push after this read changes the word,
        // and the wait below then returns at once.
        const uint32_t seen = gRing.Signal().load();
        DeliverQueued();
        if (gStopRequested.load()) {
            DeliverQueued();
            gDeliveryThreadId.store(0);
            return;
        }
        NativeFutexWait(Word(gRing.Signal()), seen);
    }
}

// On a thread Wine does not know: nothing but the ring and the kernel. While
// a delivery thread runs, wait (bounded) for it to free a slot rather than
// lose the report: the last one is often the one that confirms the launch.
void QueueFromNativeThread(const KZV_CallbackRecord& record)
{
    const int64_t start = NativeMonotonicMs();
    for (;;) {
        const uint32_t freed = gRing.FreedSignal().load();
        if (gRing.TryPush(record.Context, record.Code, record.Message, record.NativeProcessId)) {
            NativeFutexWake(Word(gRing.Signal()));
            return;
        }
        if (!gDelivering.load() || NativeMonotonicMs() - start >= kFreeSlotWaitMs) {
            gRing.CountDropped();
            // The delivery thread logs the loss.
            gRing.Nudge();
            NativeFutexWake(Word(gRing.Signal()));
            return;
        }
        NativeFutexWaitFor(Word(gRing.FreedSignal()), freed, kFreeSlotPollMs);
    }
}

void __attribute__((sysv_abi)) NativeCallbackEntry(KZV_CallbackRecord* record)
{
    if (!record || !record->Context) {
        return;
    }
    if (gNativeCallThreads.Contains(NativeThreadId())) {
        if (NativeReportSink sink = gSink.load()) {
            sink(record->Context, record->Code, record->Message, record->NativeProcessId);
        }
        return;
    }
    QueueFromNativeThread(*record);
}

}  // namespace

KZV_NativeCallback StartNativeCallbackDelivery(NativeReportSink sink)
{
    gSink.store(sink);
    std::lock_guard<std::mutex> guard(gThreadLock);
    if (!gDeliveryThread.joinable()) {
        gStopRequested.store(0);
        gDelivering.store(1);
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
    gDelivering.store(0);
    gStopRequested.store(1);
    // The stop must change the word the thread sleeps on.
    gRing.Nudge();
    NativeFutexWake(Word(gRing.Signal()));
    // Producers still waiting for a slot give up now.
    NativeFutexWake(Word(gRing.FreedSignal()));
    gDeliveryThread.join();
}

uint32_t DroppedNativeCallbacks() { return gRing.Dropped(); }

uint32_t NativeCallbackDeliveryThreadId() { return gDeliveryThreadId.load(); }

cNativeCallScope::cNativeCallScope() : ThreadId(NativeThreadId()), Entered(gNativeCallThreads.Enter(ThreadId)) {}

cNativeCallScope::~cNativeCallScope()
{
    if (Entered) {
        gNativeCallThreads.Leave(ThreadId);
    }
}

}  // namespace tavrin::launcher
