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
    int context = 0;
    int calls = 0;
    EXPECT_FALSE(gate.Pass(&context, [&] { ++calls; }));
    gate.Open(&context);
    EXPECT_TRUE(gate.Pass(&context, [&] { ++calls; }));
    gate.Close(&context);
    EXPECT_FALSE(gate.Pass(&context, [&] { ++calls; }));
    EXPECT_EQ(calls, 1);
    gate.Close(&context);  // a second close is harmless
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
    gate.Open(&loader);
    std::atomic<bool> stop{false};
    std::atomic<int> passed{0};
    std::vector<std::thread> moduleThreads;
    for (int t = 0; t < 3; ++t) {
        moduleThreads.emplace_back([&] {
            while (!stop.load()) {
                if (gate.Pass(&loader, [&] {
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
    gate.Close(&loader);
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
