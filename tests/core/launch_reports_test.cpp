// Reports from the game launcher's and the module's threads reaching the
// main thread. Built with ThreadSanitizer as well: the threads really race.
#include "core/launch_reports.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tavrin::launcher {
namespace {

TEST(LaunchReports, ProgressKeepsTheLargestFiguresAndOnlyARiseCounts)
{
    cLaunchReports reports;
    EXPECT_TRUE(reports.RecordProgress(5, 10, 1).Rose);
    EXPECT_FALSE(reports.RecordProgress(5, 10, 2).Rose);
    const cProgressStep back = reports.RecordProgress(0, 0, 3);
    EXPECT_EQ(back.Percent, 0u);
    EXPECT_FALSE(back.Rose);
    EXPECT_EQ(reports.BytesCompleted(), 5u);
    EXPECT_EQ(reports.BytesTotal(), 10u);
    EXPECT_EQ(reports.DownloadEnd(), kTimeNotSet);
    reports.RecordProgress(10, 10, 4);
    EXPECT_EQ(reports.DownloadEnd(), 4);
    // A result keeps an end already seen and fills the percentage.
    reports.RecordResult(204, nullptr, 9);
    EXPECT_EQ(reports.DownloadEnd(), 4);
    EXPECT_EQ(reports.Percent(), 100u);
    EXPECT_EQ(reports.Result(), 204);
    EXPECT_EQ(reports.Message(), "");
}

TEST(LaunchReports, TasksRunOnePerCallAndRepeatAtTheBack)
{
    cMainThreadTasks tasks;
    std::vector<int> order;
    int repeats = 2;
    tasks.Post([&] {
        order.push_back(1);
        return --repeats > 0;
    });
    tasks.Post([&] {
        order.push_back(2);
        return false;
    });
    while (tasks.RunNext()) {
    }
    EXPECT_EQ(order, (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(tasks.Pending(), 0u);
}

// Progress and results arrive from two threads while the main thread reads
// them and runs the tasks they post: the pair read is always one that was
// written, and every posted task runs.
TEST(LaunchReports, ReportsFromOtherThreadsWhileTheMainThreadReads)
{
    cLaunchReports reports;
    cMainThreadTasks tasks;
    std::atomic<int> ran{0};
    std::atomic<bool> done{false};
    constexpr int kRounds = 2000;

    std::thread loader([&] {
        for (uint32_t i = 1; i <= kRounds; ++i) {
            if (reports.RecordProgress(i, kRounds, i).Rose)
                tasks.Post([&] { return ++ran, false; });
        }
    });
    std::thread module([&] {
        for (int i = 0; i < kRounds; ++i) {
            const bool even = i % 2 == 0;
            reports.RecordResult(even ? 301 : 204, even ? "even" : "odd", i);
            tasks.Post([&] { return ++ran, false; });
        }
        done.store(true);
    });

    int posted = 0;
    while (!done.load() || tasks.Pending() != 0) {
        KZV_ProtectedGameLaunchResult result = 0;
        std::string message;
        reports.ReadResult(result, message);
        if (result != 0) {
            EXPECT_EQ(message, result == 301 ? "even" : "odd");
        }
        if (tasks.RunNext())
            ++posted;
    }
    loader.join();
    module.join();
    while (tasks.RunNext())
        ++posted;
    EXPECT_EQ(ran.load(), posted);
    EXPECT_EQ(reports.BytesCompleted(), static_cast<uint32_t>(kRounds));
}

}  // namespace
}  // namespace tavrin::launcher
