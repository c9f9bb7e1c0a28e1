// Which kernel threads are inside a call into the native module: asked from
// the module's own threads, so it must answer without locks.
#include "loader/native_call_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace tavrin::launcher;

namespace {

TEST(NativeCallThreads, OnlyThreadsInsideACallAreKnown)
{
    auto threads = std::make_unique<cNativeCallThreads>();
    EXPECT_FALSE(threads->Contains(41));
    EXPECT_TRUE(threads->Enter(41));
    EXPECT_TRUE(threads->Contains(41));
    EXPECT_FALSE(threads->Contains(42));
    // A nested call on the same thread: still inside until both have left.
    EXPECT_TRUE(threads->Enter(41));
    threads->Leave(41);
    EXPECT_TRUE(threads->Contains(41));
    threads->Leave(41);
    EXPECT_FALSE(threads->Contains(41));
    // Ids the kernel never gives are never inside.
    EXPECT_FALSE(threads->Enter(0));
    EXPECT_FALSE(threads->Enter(-3));
    EXPECT_FALSE(threads->Contains(0));
}

TEST(NativeCallThreads, WhenEverySlotIsTakenANewCallIsNotMarked)
{
    auto threads = std::make_unique<cNativeCallThreads>();
    for (int32_t id = 1; id <= static_cast<int32_t>(cNativeCallThreads::kSlots); ++id) {
        ASSERT_TRUE(threads->Enter(id));
    }
    EXPECT_FALSE(threads->Enter(1000));
    EXPECT_FALSE(threads->Contains(1000));
    threads->Leave(7);
    EXPECT_TRUE(threads->Enter(1000));
    EXPECT_TRUE(threads->Contains(1000));
}

TEST(NativeCallThreads, ThreadsEnterAndLeaveSideBySide)
{
    auto threads = std::make_unique<cNativeCallThreads>();
    std::atomic<bool> wrong{false};
    std::vector<std::thread> workers;
    for (int32_t t = 1; t <= 4; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                if (!threads->Enter(t) || !threads->Contains(t)) {
                    wrong = true;
                }
                threads->Leave(t);
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_FALSE(wrong.load());
    for (int32_t t = 1; t <= 4; ++t) {
        EXPECT_FALSE(threads->Contains(t));
    }
}

}  // namespace
