// Thread base and task-queue worker that carry all background work.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace tavrin {

// Owns one thread that runs Run(). A subclass must Stop() in its own
// destructor: by the time ~cThread runs, the subclass's Run is gone.
class cThread {
public:
    cThread() = default;
    virtual ~cThread();
    cThread(const cThread&) = delete;
    cThread& operator=(const cThread&) = delete;

    // True when a new thread was created; false when one exists or creation failed.
    bool Start();
    // Requests the stop and joins the thread (without limit).
    virtual void Stop();
    // Asks the thread body to end; returns at once.
    virtual void RequestStop();
    // The thread body.
    virtual void Run() = 0;
    virtual bool Query() { return false; }

    bool StopRequested() const { return StopFlag.load() != 0; }
    bool HasThread();

protected:
    // Joins and clears the thread; the caller holds ThreadLock.
    void JoinLocked();

    uint32_t ThreadId = 0;
    std::thread Thread;
    std::atomic<uint8_t> StopFlag{0};
    std::mutex ThreadLock;
};

struct WorkerTask {
    std::function<bool(void*)> Callable;
    std::shared_ptr<void> SharedContext;
    void* RawContext = nullptr;
    bool OneShot = true;
    uint32_t Delay = 0;     // ms
    uint32_t Interval = 0;  // ms
    uint32_t Priority = 1;
    int64_t DueTime = 0;  // monotonic ns

    void* Context() const { return SharedContext ? SharedContext.get() : RawContext; }
};

// A manual-reset event: stays signalled until Reset, so a Set that comes
// before the Wait is never lost.
class cWakeEvent {
public:
    void Set();
    void Reset();
    // A negative timeout waits without limit.
    void Wait(int64_t timeoutMs);

private:
    std::mutex Lock;
    std::condition_variable Cond;
    bool Signalled = false;
};

class cBackgroundWorker : public cThread {
public:
    cBackgroundWorker() = default;
    ~cBackgroundWorker() override;

    void Stop() override;
    void RequestStop() override;
    void Run() override;

    // Queues a copy of the task with these flags; due after delayMs. Callable
    // from any thread, a running task included. Refused after Drain.
    void PostTask(const WorkerTask& task, bool oneShot, uint32_t delayMs, uint32_t intervalMs);
    // Refuses new tasks, runs every queued one when due, then joins the thread.
    // Never from the worker's own thread.
    void Drain();

    uint32_t PostedCount() const { return Posted.load(); }
    uint32_t ExecutedCount() const { return Executed.load(); }
    // Tasks the thread has taken to run: a stop can no longer drop them.
    uint32_t StartedCount() const { return Started.load(); }
    size_t QueuedCount();

private:
    int64_t WaitMsUntilNextDue();
    bool TakeDueTask(WorkerTask& out);
    void RunTask(WorkerTask& task);

    // Descending priority; equal priorities keep posting order.
    std::multimap<uint32_t, WorkerTask, std::greater<uint32_t>> Queue;
    // Due times of the queued tasks, so the earliest one costs no queue walk.
    std::multiset<int64_t> DueTimes;
    std::mutex QueueLock;
    cWakeEvent WakeEvent;
    std::mutex ExecutionLock;
    std::atomic<uint32_t> Posted{0};
    std::atomic<uint32_t> Executed{0};
    std::atomic<uint32_t> Started{0};
    std::atomic<uint8_t> DrainFlag{0};
};

}  // namespace tavrin
