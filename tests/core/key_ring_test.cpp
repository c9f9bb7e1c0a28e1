#include <gtest/gtest.h>

#include <string>

#include "core/key_ring.h"

using tavrin::launcher::cKeyRing;

namespace {

bool TypedEndsWith(const std::string& typed, const std::string& sequence)
{
    cKeyRing ring;
    for (char c : typed)
        ring.Push(static_cast<unsigned char>(c));
    return ring.EndsWith(reinterpret_cast<const uint8_t*>(sequence.data()), sequence.size());
}

}  // namespace

TEST(KeyRing, RecognisesTheLastKeysInTypingOrder)
{
    struct Case {
        const char* Typed;
        bool Match;
    };
    const Case cases[] = {
        {"tavrn", true},
        {"xxtavrn", true},
        {"tavrnx", false},
        {"nrvat", false},
        {"tavr", false},
        {"abcdefghijklmnotavrn", true},  // wraps around the ring more than once
        {"tavrnabcdefghijk", false},     // pushed out of the ring
    };
    for (const Case& c : cases)
        EXPECT_EQ(TypedEndsWith(c.Typed, "tavrn"), c.Match) << c.Typed;
}

TEST(KeyRing, KeepsOnlyTheLowByteOfKeyCodes)
{
    cKeyRing ring;
    ring.Push(0x40000000 | 't');  // a scancode-flagged key code
    const uint8_t t = 't';
    EXPECT_TRUE(ring.EndsWith(&t, 1));
    EXPECT_FALSE(ring.EndsWith(&t, 12));  // longer than the ring
}
