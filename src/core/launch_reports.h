// What other threads hand to the main thread: the game launcher's download
// progress and launch result (the module may report from threads of its
// own), and the queue of tasks the main thread runs one per frame.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "core/launch_result.h"

namespace tavrin::launcher {

// Work posted to the main thread; true asks to run again in a later frame.
using MainThreadTask = std::function<bool()>;

class cMainThreadTasks {
public:
    // Any thread.
    void Post(MainThreadTask task);
    // Main thread: runs the oldest task, outside the lock so that it may post;
    // a task that asks again goes to the back. False when there was none.
    bool RunNext();
    size_t Pending() const;
    void Clear();

private:
    mutable std::mutex Lock;
    std::deque<MainThreadTask> Tasks;
};

struct cProgressStep {
    uint32_t Percent = 0;
    // Higher than the percentage reported before.
    bool Rose = false;
};

inline constexpr int64_t kTimeNotSet = INT64_MIN;

class cLaunchReports {
public:
    // Any thread. Keeps the largest figures seen; a complete download marks its end.
    cProgressStep RecordProgress(uint32_t completed, uint32_t total, int64_t nowNs);
    // Any thread. Result and message change together; the download ends now
    // unless it ended before.
    void RecordResult(KZV_ProtectedGameLaunchResult result, const char* message, int64_t nowNs);

    // Result and message as one pair.
    void ReadResult(KZV_ProtectedGameLaunchResult& result, std::string& message) const;
    KZV_ProtectedGameLaunchResult Result() const { return LaunchResult.load(); }
    std::string Message() const;

    uint32_t Percent() const { return LastPercent.load(); }
    void SetPercent(uint32_t percent) { LastPercent.store(percent); }
    uint32_t BytesCompleted() const { return Completed.load(); }
    uint32_t BytesTotal() const { return Total.load(); }
    int64_t DownloadEnd() const { return DownloadEndNs.load(); }

private:
    std::atomic<uint32_t> LastPercent{0};
    std::atomic<uint32_t> Completed{0};
    std::atomic<uint32_t> Total{0};
    std::atomic<int64_t> DownloadEndNs{kTimeNotSet};
    std::atomic<KZV_ProtectedGameLaunchResult> LaunchResult{0};
    std::string ResultMessage;
    mutable std::mutex MessageLock;
};

}  // namespace tavrin::launcher
