#include "core/launch_reports.h"

namespace tavrin::launcher {

namespace {

void KeepLarger(std::atomic<uint32_t>& field, uint32_t value)
{
    uint32_t seen = field.load();
    while (value > seen && !field.compare_exchange_weak(seen, value)) {
    }
}

}  // namespace

void cMainThreadTasks::Post(MainThreadTask task)
{
    std::lock_guard<std::mutex> lock(Lock);
    Tasks.push_back(std::move(task));
}

bool cMainThreadTasks::RunNext()
{
    MainThreadTask task;
    {
        std::lock_guard<std::mutex> lock(Lock);
        if (Tasks.empty())
            return false;
        task = std::move(Tasks.front());
        Tasks.pop_front();
    }
    if (task())
        Post(std::move(task));
    return true;
}

size_t cMainThreadTasks::Pending() const
{
    std::lock_guard<std::mutex> lock(Lock);
    return Tasks.size();
}

void cMainThreadTasks::Clear()
{
    std::deque<MainThreadTask> dropped;
    {
        std::lock_guard<std::mutex> lock(Lock);
        dropped.swap(Tasks);
    }
}

cProgressStep cLaunchReports::RecordProgress(uint32_t completed, uint32_t total, int64_t nowNs)
{
    cProgressStep step;
    step.Percent = ProgressPercent(completed, total);
    KeepLarger(Completed, completed);
    KeepLarger(Total, total);
    if (completed != 0 && completed == total)
        DownloadEndNs.store(nowNs);
    step.Rose = step.Percent > LastPercent.exchange(step.Percent);
    return step;
}

void cLaunchReports::RecordResult(KZV_ProtectedGameLaunchResult result, const char* message, int64_t nowNs)
{
    {
        std::lock_guard<std::mutex> lock(MessageLock);
        ResultMessage = message ? message : "";
        LaunchResult.store(result);
    }
    int64_t unset = kTimeNotSet;
    DownloadEndNs.compare_exchange_strong(unset, nowNs);
    LastPercent.store(100);
}

void cLaunchReports::ReadResult(KZV_ProtectedGameLaunchResult& result, std::string& message) const
{
    std::lock_guard<std::mutex> lock(MessageLock);
    result = LaunchResult.load();
    message = ResultMessage;
}

std::string cLaunchReports::Message() const
{
    std::lock_guard<std::mutex> lock(MessageLock);
    return ResultMessage;
}

}  // namespace tavrin::launcher
