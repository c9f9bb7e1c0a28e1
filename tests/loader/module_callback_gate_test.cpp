// The gate between the module's threads and the loader: built with
// ThreadSanitizer as well, with callbacks racing the close.
#include "loader/module_callback_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tavrin::launcher {
namespace {

TEST(ModuleCallbackGate, OnlyOpenContextsPass)
{
    cModuleCallbackGate& gate = cModuleCallbackGate::Instance();
    int target = 0;
    int calls = 0;
    auto count = [&](void* reached) {
        EXPECT_EQ(reached, &target);
        ++calls;
    };
    // An address was never handed out as a context.
    EXPECT_FALSE(gate.Pass(&target, count));
    void* context = gate.Open(&target);
    ASSERT_NE(context, nullptr);
    EXPECT_TRUE(gate.Pass(context, count));
    gate.Close(context);
    EXPECT_FALSE(gate.Pass(context, count));
    EXPECT_EQ(calls, 1);
    gate.Close(context);  // a second close is harmless
}

// The same target opened again gets a new context; the old one stays closed.
TEST(ModuleCallbackGate, AnEarlierOpeningOfTheSameTargetStaysClosed)
{
    cModuleCallbackGate& gate = cModuleCallbackGate::Instance();
    int target = 0;
    int calls = 0;
    void* first = gate.Open(&target);
    gate.Close(first);
    void* second = gate.Open(&target);
    EXPECT_NE(first, second);
    EXPECT_FALSE(gate.Pass(first, [&](void*) { ++calls; }));
    EXPECT_TRUE(gate.Pass(second, [&](void*) { ++calls; }));
    EXPECT_EQ(calls, 1);
    gate.Close(second);
}

// Module threads keep calling while the loader closes: once Close has
// returned, the loader's state may go, and no callback touches it again.
TEST(ModuleCallbackGate, CloseWaitsForCallbacksInFlightAndDropsLaterOnes)
{
    cModuleCallbackGate& gate = cModuleCallbackGate::Instance();
    struct Loader {
        std::atomic<int> Calls{0};  // callbacks may run side by side
        bool Gone = false;          // unguarded on purpose: Close must order it after every callback
    } loader;
    void* context = gate.Open(&loader);
    std::atomic<bool> stop{false};
    std::atomic<int> passed{0};
    std::vector<std::thread> moduleThreads;
    for (int t = 0; t < 3; ++t) {
        moduleThreads.emplace_back([&] {
            while (!stop.load()) {
                if (gate.Pass(context, [&](void*) {
                        EXPECT_FALSE(loader.Gone);
                        ++loader.Calls;
                    }))
                    ++passed;
            }
        });
    }
    while (passed.load() < 100) {
        std::this_thread::yield();
    }
    gate.Close(context);
    loader.Gone = true;
    const int calls = loader.Calls.load();
    stop.store(true);
    for (std::thread& thread : moduleThreads)
        thread.join();
    EXPECT_EQ(loader.Calls.load(), calls);
    EXPECT_EQ(passed.load(), calls);
}

}  // namespace
}  // namespace tavrin::launcher
