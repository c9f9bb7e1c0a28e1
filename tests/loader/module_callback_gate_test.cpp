// The gate between module threads and the loader: callbacks pass only to an
// open context, closing waits for the ones in flight, and nothing reaches a
// context after it closed.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "loader/module_callback_gate.h"

using tavrin::launcher::cModuleCallbackGate;

namespace {

TEST(ModuleCallbackGate, PassesOnlyToOpenContexts)
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
    gate.Close(&context);  // a second close finds nothing
}

TEST(ModuleCallbackGate, CloseWaitsForTheCallbackInFlight)
{
    cModuleCallbackGate& gate = cModuleCallbackGate::Instance();
    int context = 0;
    gate.Open(&context);
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    std::thread module([&] {
        gate.Pass(&context, [&] {
            inside.store(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            finished.store(true);
        });
    });
    while (!inside.load()) {
        std::this_thread::yield();
    }
    gate.Close(&context);
    EXPECT_TRUE(finished.load());
    module.join();
}

// Module threads keep knocking while the loader closes: every callback either
// runs completely before Close returns or not at all.
TEST(ModuleCallbackGate, NoCallbackRunsAfterClose)
{
    cModuleCallbackGate& gate = cModuleCallbackGate::Instance();
    int context = 0;
    gate.Open(&context);
    std::atomic<bool> closed{false};
    std::atomic<int> afterClose{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            while (!stop.load()) {
                gate.Pass(&context, [&] {
                    if (closed.load()) {
                        afterClose.fetch_add(1);
                    }
                });
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    gate.Close(&context);
    closed.store(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.store(true);
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(afterClose.load(), 0);
}

}  // namespace
