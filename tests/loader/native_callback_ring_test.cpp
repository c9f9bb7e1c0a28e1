// The ring that carries module reports off native threads.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "loader/wine_callback_ring.h"

using namespace tavrin::launcher;

namespace {

int Context;

TEST(CallbackRing, KeepsOrderCopiesAndCutsMessages)
{
    auto ring = std::make_unique<cCallbackRing>();
    const std::string longMessage(5000, 'm');
    std::string message = "first";
    EXPECT_TRUE(ring->Push(&Context, 508, message.c_str(), 0));
    message = "changed after the push";
    EXPECT_TRUE(ring->Push(&Context, 1002, nullptr, 77));
    EXPECT_TRUE(ring->Push(nullptr, 509, longMessage.c_str(), 0));

    QueuedCallback record;
    ASSERT_TRUE(ring->Pop(record));
    EXPECT_EQ(record.Context, &Context);
    EXPECT_EQ(record.Code, 508);
    EXPECT_TRUE(record.HasMessage);
    EXPECT_STREQ(record.Message, "first");
    ASSERT_TRUE(ring->Pop(record));
    EXPECT_EQ(record.Code, 1002);
    EXPECT_FALSE(record.HasMessage);
    EXPECT_EQ(record.NativePid, 77);
    ASSERT_TRUE(ring->Pop(record));
    EXPECT_EQ(std::string(record.Message), longMessage.substr(0, sizeof(record.Message) - 1));
    EXPECT_FALSE(ring->Pop(record));
}

// A message cut to fit ends at a whole UTF-8 character, whatever its length.
TEST(CallbackRing, CutsMessagesAtWholeCharacters)
{
    auto ring = std::make_unique<cCallbackRing>();
    QueuedCallback record;
    const size_t room = sizeof(record.Message) - 1;
    struct Case {
        size_t Filler;
        std::string Tail;
        size_t Kept;
    };
    const Case cases[] = {
        {room - 1, "\xE2\x82\xAC", room - 1},          // a three-byte character that would not fit
        {room - 2, "\xF0\x9F\x98\x80", room - 2},      // four bytes, one short
        {room - 3, "\xE2\x82\xAC!", room},             // fits exactly, then cut after it
        {room - 1, "\xC3\xA9", room - 1},               // two bytes, the second would not fit
    };
    for (const Case& c : cases) {
        const std::string message = std::string(c.Filler, 'm') + c.Tail;
        ASSERT_TRUE(ring->Push(&Context, 1, message.c_str(), 0));
        ASSERT_TRUE(ring->Pop(record));
        EXPECT_EQ(std::string(record.Message), message.substr(0, c.Kept)) << c.Filler;
    }
}

TEST(CallbackRing, AFullRingDropsAndCountsThenTakesMoreOnceDrained)
{
    auto ring = std::make_unique<cCallbackRing>();
    for (size_t i = 0; i < cCallbackRing::kSlots; ++i) {
        ASSERT_TRUE(ring->Push(&Context, static_cast<int32_t>(i), nullptr, 0));
    }
    EXPECT_FALSE(ring->Push(&Context, -1, nullptr, 0));
    EXPECT_EQ(ring->Dropped(), 1u);
    QueuedCallback record;
    for (size_t i = 0; i < cCallbackRing::kSlots; ++i) {
        ASSERT_TRUE(ring->Pop(record));
        EXPECT_EQ(record.Code, static_cast<int32_t>(i));
    }
    EXPECT_TRUE(ring->Push(&Context, 7, nullptr, 0));
    ASSERT_TRUE(ring->Pop(record));
    EXPECT_EQ(record.Code, 7);
}

TEST(CallbackRing, ManyProducersOneConsumerLoseNothingButDrops)
{
    auto ring = std::make_unique<cCallbackRing>();
    constexpr int kProducers = 4;
    constexpr int kEach = 2000;
    std::atomic<int> done{0};
    std::vector<std::thread> producers;
    std::atomic<int> pushed{0};
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&, p] {
            for (int i = 0; i < kEach; ++i) {
                if (ring->Push(&Context, p * kEach + i, "x", p)) {
                    pushed.fetch_add(1);
                }
            }
            done.fetch_add(1);
        });
    }
    int received = 0;
    std::vector<int> last(kProducers, -1);
    QueuedCallback record;
    const auto take = [&] {
        ++received;
        // Each producer's reports come out in the order it made them.
        EXPECT_GT(record.Code, last[record.NativePid]);
        last[record.NativePid] = record.Code;
    };
    while (done.load() < kProducers) {
        if (ring->Pop(record)) {
            take();
        } else {
            std::this_thread::yield();
        }
    }
    while (ring->Pop(record)) {
        take();
    }
    for (std::thread& producer : producers) {
        producer.join();
    }
    EXPECT_EQ(received, pushed.load());
    EXPECT_EQ(static_cast<uint32_t>(kProducers * kEach - received), ring->Dropped());
}

}  // namespace
