#include "loader/game_start_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using tavrin::launcher::cGameStartGate;

namespace {

// Pass on another thread; Passed() says whether it has returned yet.
class cPassingThread {
public:
    explicit cPassingThread(cGameStartGate& gate)
        : Thread([this, &gate] {
              Result = gate.Pass();
              Done = true;
          })
    {
    }
    ~cPassingThread() { Thread.join(); }
    bool Passed() const { return Done.load(); }
    bool Join()
    {
        Thread.join();
        Thread = std::thread([] {});
        return Result;
    }

private:
    std::atomic<bool> Done{false};
    bool Result = false;
    std::thread Thread;
};

}  // namespace

TEST(GameStartGate, OpenUnlessHeld)
{
    cGameStartGate gate;
    EXPECT_TRUE(gate.Pass());
}

TEST(GameStartGate, HeldWaitsUntilOpened)
{
    cGameStartGate gate;
    gate.Hold();
    cPassingThread passing(gate);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(passing.Passed());
    gate.Open();
    EXPECT_TRUE(passing.Join());
    EXPECT_TRUE(gate.Pass());
}

TEST(GameStartGate, RefusalReleasesTheWaiterAndIsFinal)
{
    cGameStartGate gate;
    gate.Hold();
    cPassingThread passing(gate);
    gate.Refuse();
    EXPECT_FALSE(passing.Join());
    gate.Open();
    gate.Hold();
    EXPECT_FALSE(gate.Pass());
}
