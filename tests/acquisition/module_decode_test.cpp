#include "acquisition/module_decode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace tavrin::launcher {
namespace {

struct DecodeCase {
    std::vector<uint8_t> Encoded;
    std::vector<uint8_t> Decoded;
};

TEST(DecodeModule, KnownVectors)
{
    const DecodeCase cases[] = {
        {{}, {}},
        {{0x42}, {0x42}},
        {{0x05, 0x03}, {0x05, 0x00}},
        {{0x10, 0x20, 0x30}, {0x1D, 0xF3, 0x2A}},
    };
    for (const DecodeCase& c : cases) {
        std::vector<uint8_t> bytes = c.Encoded;
        DecodeModule(bytes.data(), bytes.size());
        EXPECT_EQ(bytes, c.Decoded);
    }
}

TEST(DecodeModule, NullPointerIsIgnored)
{
    DecodeModule(nullptr, 10);
    EncodeModule(nullptr, 10);
}

TEST(DecodeModule, InvertsEncodingForManyLengths)
{
    std::mt19937 random(7);
    for (size_t length : {2u, 3u, 4u, 15u, 16u, 17u, 33u, 255u, 256u, 257u, 4097u, 70000u}) {
        std::vector<uint8_t> plain(length);
        for (uint8_t& b : plain) {
            b = static_cast<uint8_t>(random());
        }
        std::vector<uint8_t> bytes = plain;
        EncodeModule(bytes.data(), bytes.size());
        EXPECT_NE(bytes, plain) << length;
        DecodeModule(bytes.data(), bytes.size());
        EXPECT_EQ(bytes, plain) << length;
    }
}

}  // namespace
}  // namespace tavrin::launcher
