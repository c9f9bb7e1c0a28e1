#include "base/worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/strings.h"

namespace tavrin {
namespace {

// Records the names of the tasks in the order the worker ran them.
class RunLog {
public:
    void Add(const std::string& name)
    {
        std::lock_guard<std::mutex> guard(Lock);
        Names.push_back(name);
    }
    std::vector<std::string> Snapshot()
    {
        std::lock_guard<std::mutex> guard(Lock);
        return Names;
    }

private:
    std::mutex Lock;
    std::vector<std::string> Names;
};

WorkerTask NamedTask(RunLog& log, std::string name, uint32_t priority = 1)
{
    WorkerTask task;
    task.Callable = [&log, name](void*) {
        log.Add(name);
        return false;
    };
    task.Priority = priority;
    return task;
}

void PostOnce(cBackgroundWorker& worker, const WorkerTask& task, uint32_t delayMs = 0)
{
    worker.PostTask(task, true, delayMs, 0);
}

// Polls without a tight deadline: the limit only keeps a broken worker from
// hanging the suite.
template <typename Predicate>
bool EventuallyTrue(Predicate predicate)
{
    for (int i = 0; i < 2000; ++i) {
        if (predicate()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return predicate();
}

using Names = std::vector<std::string>;

TEST(BackgroundWorker, StartTwiceKeepsOneThreadAndStartAfterStopMakesANewOne)
{
    cBackgroundWorker worker;
    EXPECT_FALSE(worker.HasThread());
    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.Start());
    EXPECT_TRUE(worker.HasThread());

    worker.Stop();
    EXPECT_FALSE(worker.HasThread());
    EXPECT_TRUE(worker.StopRequested());

    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.StopRequested());
    RunLog log;
    PostOnce(worker, NamedTask(log, "after restart"));
    worker.Drain();
    EXPECT_EQ(log.Snapshot(), Names{"after restart"});
}

TEST(BackgroundWorker, RunsByDescendingPriorityThenPostingOrder)
{
    cBackgroundWorker worker;
    RunLog log;
    // Queued before the thread exists, so every task is due when it starts.
    PostOnce(worker, NamedTask(log, "a1"));
    PostOnce(worker, NamedTask(log, "b1"));
    PostOnce(worker, NamedTask(log, "c5", 5));
    PostOnce(worker, NamedTask(log, "d1"));
    PostOnce(worker, NamedTask(log, "e5", 5));
    ASSERT_TRUE(worker.Start());
    worker.Drain();
    EXPECT_EQ(log.Snapshot(), (Names{"c5", "e5", "a1", "b1", "d1"}));
}

TEST(BackgroundWorker, DueLowPriorityTaskRunsWhileHigherPriorityOneWaits)
{
    cBackgroundWorker worker;
    RunLog log;
    PostOnce(worker, NamedTask(log, "high later", 9), 300);
    PostOnce(worker, NamedTask(log, "low now", 1));
    ASSERT_TRUE(worker.Start());
    worker.Drain();
    EXPECT_EQ(log.Snapshot(), (Names{"low now", "high later"}));
}

TEST(BackgroundWorker, DelayedTaskNeverRunsEarly)
{
    cBackgroundWorker worker;
    ASSERT_TRUE(worker.Start());
    std::atomic<int64_t> ranAt{0};
    WorkerTask task;
    task.Callable = [&ranAt](void*) {
        ranAt = MonotonicNow();
        return false;
    };
    const int64_t postedAt = MonotonicNow();
    worker.PostTask(task, true, 500, 0);
    // Also a wake-up in between must not make it run early.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    RunLog log;
    PostOnce(worker, NamedTask(log, "wake"));
    worker.Drain();

    ASSERT_NE(ranAt.load(), 0);
    EXPECT_GE(ranAt.load() - postedAt, int64_t{500} * 1000000);
    EXPECT_EQ(log.Snapshot(), Names{"wake"});
}

TEST(BackgroundWorker, RepeatingTaskRunsUntilItReturnsFalse)
{
    cBackgroundWorker worker;
    std::atomic<int> runs{0};
    std::vector<int64_t> times;
    WorkerTask task;
    task.Callable = [&](void*) {
        times.push_back(MonotonicNow());
        return ++runs < 4;
    };
    ASSERT_TRUE(worker.Start());
    worker.PostTask(task, false, 0, 30);
    ASSERT_TRUE(EventuallyTrue([&] { return worker.ExecutedCount() == 4; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    worker.Drain();

    EXPECT_EQ(runs.load(), 4);
    EXPECT_EQ(worker.PostedCount(), 4u);
    EXPECT_EQ(worker.ExecutedCount(), 4u);
    ASSERT_EQ(times.size(), 4u);
    for (size_t i = 1; i < times.size(); ++i) {
        EXPECT_GE(times[i] - times[i - 1], int64_t{30} * 1000000) << "run " << i;
    }
}

TEST(BackgroundWorker, RepeatedTaskIsRequeuedWithPriorityOne)
{
    cBackgroundWorker worker;
    RunLog log;
    int repeats = 0;
    WorkerTask repeating;
    repeating.Priority = 9;
    repeating.Callable = [&](void*) {
        log.Add("repeating");
        return ++repeats < 2;
    };
    worker.PostTask(repeating, false, 0, 0);
    PostOnce(worker, NamedTask(log, "five", 5));
    ASSERT_TRUE(worker.Start());
    // A drain would refuse the re-post; wait for all three runs first.
    ASSERT_TRUE(EventuallyTrue([&] { return worker.ExecutedCount() == 3; }));
    worker.Drain();
    // Had it kept priority 9, it would have run twice before "five".
    EXPECT_EQ(log.Snapshot(), (Names{"repeating", "five", "repeating"}));
}

TEST(BackgroundWorker, DrainRunsEveryQueuedTaskThenRefusesPosts)
{
    cBackgroundWorker worker;
    RunLog log;
    PostOnce(worker, NamedTask(log, "one"));
    PostOnce(worker, NamedTask(log, "delayed"), 200);
    PostOnce(worker, NamedTask(log, "three"));
    ASSERT_TRUE(worker.Start());
    worker.Drain();

    EXPECT_EQ(log.Snapshot(), (Names{"one", "three", "delayed"}));
    EXPECT_FALSE(worker.HasThread());
    EXPECT_EQ(worker.PostedCount(), 3u);
    EXPECT_EQ(worker.ExecutedCount(), 3u);

    PostOnce(worker, NamedTask(log, "too late"));
    EXPECT_EQ(worker.PostedCount(), 3u);
    EXPECT_EQ(worker.QueuedCount(), 0u);
    worker.Stop();  // the termination path: finds no thread
}

TEST(BackgroundWorker, RepeatingTaskEndsWithTheDrain)
{
    cBackgroundWorker worker;
    std::atomic<int> runs{0};
    WorkerTask forever;
    forever.Callable = [&runs](void*) {
        ++runs;
        return true;
    };
    ASSERT_TRUE(worker.Start());
    worker.PostTask(forever, false, 0, 5);
    ASSERT_TRUE(EventuallyTrue([&] { return runs.load() >= 3; }));
    worker.Drain();  // must end: the re-post is refused
    EXPECT_EQ(worker.PostedCount(), worker.ExecutedCount());
}

TEST(BackgroundWorker, StopLetsTheRunningTaskFinishAndKeepsTheRestQueued)
{
    cBackgroundWorker worker;
    RunLog log;
    std::atomic<bool> started{false};
    WorkerTask blocking;
    blocking.Callable = [&](void*) {
        started = true;
        // Finishes only once the stop has been asked for.
        while (!worker.StopRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        log.Add("running");
        return false;
    };
    ASSERT_TRUE(worker.Start());
    PostOnce(worker, blocking);
    ASSERT_TRUE(EventuallyTrue([&] { return started.load(); }));
    PostOnce(worker, NamedTask(log, "queued 1"));
    PostOnce(worker, NamedTask(log, "queued 2"));
    worker.Stop();

    EXPECT_EQ(log.Snapshot(), Names{"running"});
    EXPECT_EQ(worker.QueuedCount(), 2u);
    EXPECT_EQ(worker.ExecutedCount(), 1u);
    EXPECT_EQ(worker.StartedCount(), 1u);

    // A new thread picks up what was left, and the counts still let a drain end.
    ASSERT_TRUE(worker.Start());
    worker.Drain();
    EXPECT_EQ(log.Snapshot(), (Names{"running", "queued 1", "queued 2"}));
    EXPECT_EQ(worker.ExecutedCount(), 3u);
    EXPECT_EQ(worker.StartedCount(), 3u);
}

TEST(BackgroundWorker, StopWithoutThreadOnlySetsTheFlag)
{
    cBackgroundWorker worker;
    worker.Stop();
    EXPECT_TRUE(worker.StopRequested());
    EXPECT_FALSE(worker.HasThread());
    worker.Drain();  // no thread: returns at once
}

TEST(BackgroundWorker, ConcurrentPostsNeverLoseACount)
{
    constexpr int kThreads = 8;
    constexpr int kPostsEach = 2000;
    cBackgroundWorker worker;
    ASSERT_TRUE(worker.Start());
    std::atomic<int> ran{0};
    WorkerTask task;
    task.Callable = [&ran](void*) {
        ran.fetch_add(1);
        return false;
    };
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&] {
            for (int i = 0; i < kPostsEach; ++i) {
                worker.PostTask(task, true, 0, 0);
            }
        });
    }
    for (std::thread& poster : posters) {
        poster.join();
    }
    worker.Drain();
    EXPECT_EQ(ran.load(), kThreads * kPostsEach);
    EXPECT_EQ(worker.PostedCount(), static_cast<uint32_t>(kThreads * kPostsEach));
    EXPECT_EQ(worker.ExecutedCount(), worker.PostedCount());
}

TEST(BackgroundWorker, PostsFromInsideATaskRun)
{
    cBackgroundWorker worker;
    RunLog log;
    WorkerTask outer;
    outer.Callable = [&](void*) {
        log.Add("outer");
        PostOnce(worker, NamedTask(log, "inner"));
        return false;
    };
    PostOnce(worker, outer);
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(EventuallyTrue([&] { return worker.ExecutedCount() == 2; }));
    worker.Drain();
    EXPECT_EQ(log.Snapshot(), (Names{"outer", "inner"}));
}

TEST(BackgroundWorker, CallableGetsSharedContextElseRawContext)
{
    cBackgroundWorker worker;
    int raw = 1;
    auto shared = std::make_shared<int>(2);
    std::vector<void*> seen;
    WorkerTask task;
    task.Callable = [&seen](void* context) {
        seen.push_back(context);
        return false;
    };
    task.RawContext = &raw;
    PostOnce(worker, task);
    task.SharedContext = shared;
    PostOnce(worker, task);
    ASSERT_TRUE(worker.Start());
    worker.Drain();
    EXPECT_EQ(seen, (std::vector<void*>{&raw, shared.get()}));
}

TEST(BackgroundWorker, EmptyCallableIsNeitherQueuedNorCounted)
{
    cBackgroundWorker worker;
    PostOnce(worker, WorkerTask{});
    EXPECT_EQ(worker.PostedCount(), 0u);
    EXPECT_EQ(worker.QueuedCount(), 0u);
}

TEST(BackgroundWorker, DestructionDropsQueuedTasksAndReleasesTheirContexts)
{
    std::weak_ptr<int> context;
    std::atomic<bool> ran{false};
    {
        cBackgroundWorker worker;
        auto shared = std::make_shared<int>(7);
        context = shared;
        WorkerTask task;
        task.Callable = [&ran](void*) {
            ran = true;
            return false;
        };
        task.SharedContext = std::move(shared);
        ASSERT_TRUE(worker.Start());
        worker.PostTask(task, true, 60000, 0);
        EXPECT_FALSE(context.expired());
    }
    EXPECT_TRUE(context.expired());
    EXPECT_FALSE(ran.load());
}

// A plain thread body that polls the stop flag, as the module download does.
class PollingThread : public cThread {
public:
    ~PollingThread() override { Stop(); }
    void Run() override
    {
        while (!StopRequested()) {
            Loops.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::atomic<int> Loops{0};
};

TEST(Thread, StopEndsAPollingBodyAndAllowsARestart)
{
    PollingThread thread;
    EXPECT_FALSE(thread.Query());
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(EventuallyTrue([&] { return thread.Loops.load() > 0; }));
    thread.Stop();
    EXPECT_FALSE(thread.HasThread());
    const int loops = thread.Loops.load();
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(EventuallyTrue([&] { return thread.Loops.load() > loops; }));
}

}  // namespace
}  // namespace tavrin
