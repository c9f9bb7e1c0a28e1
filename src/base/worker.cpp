#include "base/worker.h"

#include <chrono>
#include <system_error>
#include <utility>

#include "base/strings.h"

namespace tavrin {

namespace {

constexpr int64_t kNsPerMs = 1000000;

std::atomic<uint32_t> gNextThreadId{1};

}  // namespace

// --- cThread -------------------------------------------------------------------

cThread::~cThread()
{
    // Virtual dispatch is over here; only the base's own stop applies.
    cThread::RequestStop();
    std::lock_guard<std::mutex> guard(ThreadLock);
    JoinLocked();
}

bool cThread::Start()
{
    std::lock_guard<std::mutex> guard(ThreadLock);
    if (Thread.joinable()) {
        return false;
    }
    StopFlag.exchange(0);
    try {
        Thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    ThreadId = gNextThreadId.fetch_add(1);
    return true;
}

void cThread::Stop()
{
    RequestStop();
    std::lock_guard<std::mutex> guard(ThreadLock);
    JoinLocked();
}

void cThread::RequestStop() { StopFlag.exchange(1); }

bool cThread::HasThread()
{
    std::lock_guard<std::mutex> guard(ThreadLock);
    return Thread.joinable();
}

void cThread::JoinLocked()
{
    if (!Thread.joinable()) {
        return;
    }
    // Joining itself would never return; the thread ends on its own instead.
    if (Thread.get_id() == std::this_thread::get_id()) {
        return;
    }
    Thread.join();
    Thread = std::thread();
}

// --- cWakeEvent ----------------------------------------------------------------

void cWakeEvent::Set()
{
    {
        std::lock_guard<std::mutex> guard(Lock);
        Signalled = true;
    }
    Cond.notify_all();
}

void cWakeEvent::Reset()
{
    std::lock_guard<std::mutex> guard(Lock);
    Signalled = false;
}

void cWakeEvent::Wait(int64_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(Lock);
    if (timeoutMs < 0) {
        Cond.wait(lock, [this] { return Signalled; });
        return;
    }
    // A zero wait is a poll; a timed wait would still sleep out the timer slack.
    if (timeoutMs == 0) {
        return;
    }
    Cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return Signalled; });
}

// --- cBackgroundWorker -----------------------------------------------------------

cBackgroundWorker::~cBackgroundWorker()
{
    Stop();
    std::lock_guard<std::mutex> guard(QueueLock);
    Queue.clear();
    DueTimes.clear();
}

void cBackgroundWorker::Stop() { cThread::Stop(); }

void cBackgroundWorker::RequestStop()
{
    cThread::RequestStop();
    WakeEvent.Set();
}

void cBackgroundWorker::PostTask(const WorkerTask& task, bool oneShot, uint32_t delayMs, uint32_t intervalMs)
{
    if (!task.Callable || DrainFlag.load() != 0) {
        return;
    }
    WorkerTask copy = task;
    copy.OneShot = oneShot;
    copy.Delay = delayMs;
    copy.Interval = intervalMs;
    copy.DueTime = MonotonicNow() + static_cast<int64_t>(delayMs) * kNsPerMs;
    // Counted before it is visible, so the executed count never overtakes it.
    Posted.fetch_add(1);
    std::lock_guard<std::mutex> guard(QueueLock);
    DueTimes.insert(copy.DueTime);
    Queue.emplace(copy.Priority, std::move(copy));
    WakeEvent.Set();
}

void cBackgroundWorker::Drain()
{
    DrainFlag.exchange(1);
    WakeEvent.Set();
    std::lock_guard<std::mutex> guard(ThreadLock);
    JoinLocked();
}

size_t cBackgroundWorker::QueuedCount()
{
    std::lock_guard<std::mutex> guard(QueueLock);
    return Queue.size();
}

int64_t cBackgroundWorker::WaitMsUntilNextDue()
{
    std::lock_guard<std::mutex> guard(QueueLock);
    if (DueTimes.empty()) {
        return -1;
    }
    const int64_t waitMs = (*DueTimes.begin() - MonotonicNow()) / kNsPerMs;
    return waitMs > 0 ? waitMs : 0;
}

bool cBackgroundWorker::TakeDueTask(WorkerTask& out)
{
    std::lock_guard<std::mutex> guard(QueueLock);
    const int64_t now = MonotonicNow();
    for (auto it = Queue.begin(); it != Queue.end(); ++it) {
        if (it->second.DueTime <= now) {
            DueTimes.erase(DueTimes.find(it->second.DueTime));
            out = std::move(it->second);
            Queue.erase(it);
            return true;
        }
    }
    return false;
}

void cBackgroundWorker::RunTask(WorkerTask& task)
{
    if (!task.Callable(task.Context())) {
        task.OneShot = true;
    }
    if (!task.OneShot) {
        task.Priority = 1;
        PostTask(task, false, task.Interval, task.Interval);
    }
    Executed.fetch_add(1);
}

void cBackgroundWorker::Run()
{
    if (StopFlag.load() != 0) {
        return;
    }
    for (;;) {
        if (DrainFlag.load() != 0 && Executed.load() == Posted.load()) {
            return;
        }
        WakeEvent.Wait(WaitMsUntilNextDue());
        WakeEvent.Reset();
        {
            std::lock_guard<std::mutex> guard(ExecutionLock);
            // A stop leaves every queued task queued (and counted) for a later
            // Start or Drain; taking one and dropping it would strand the count.
            if (StopFlag.load() != 0) {
                return;
            }
            WorkerTask task;
            if (TakeDueTask(task)) {
                Started.fetch_add(1);
                RunTask(task);
            }
        }
        if (StopFlag.load() != 0) {
            return;
        }
    }
}

}  // namespace tavrin
