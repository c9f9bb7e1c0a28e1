#include "acquisition/sha1_instructions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "acquisition/cache_metadata.h"

namespace tavrin::launcher {
namespace {

const uint8_t* Bytes(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

std::string Hex(const uint8_t (&digest)[cSha1Instructions::kDigestBytes])
{
    return HexLower(digest, sizeof digest);
}

class Sha1InstructionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        cSha1Instructions probe;
        if (!probe.Start()) {
            GTEST_SKIP() << "the processor has no SHA extensions";
        }
    }
};

// FIPS 180 examples: the padding lands in one block, in a second block, or
// after whole blocks.
TEST_F(Sha1InstructionsTest, KnownDigests)
{
    const std::pair<std::string, const char*> cases[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmno"
         "pqrs"
         "tnopqrstu",
         "a49b2446a02c645bf419f995b67091253a04a259"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const auto& [message, expected] : cases) {
        uint8_t digest[cSha1Instructions::kDigestBytes];
        ASSERT_TRUE(Sha1WithInstructions(Bytes(message), message.size(), digest));
        EXPECT_EQ(Hex(digest), expected) << message.size();
    }
}

// Pieces of any size, across block boundaries, hash like the whole.
TEST_F(Sha1InstructionsTest, PiecesHashLikeTheWhole)
{
    std::string message;
    for (int i = 0; i < 300; ++i) {
        message += static_cast<char>(i * 7 + 1);
    }
    uint8_t whole[cSha1Instructions::kDigestBytes];
    ASSERT_TRUE(Sha1WithInstructions(Bytes(message), message.size(), whole));
    for (size_t piece : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 128u, 299u}) {
        cSha1Instructions hash;
        ASSERT_TRUE(hash.Start());
        for (size_t at = 0; at < message.size(); at += piece) {
            hash.Update(Bytes(message) + at, std::min(piece, message.size() - at));
        }
        uint8_t pieces[cSha1Instructions::kDigestBytes];
        ASSERT_TRUE(hash.Finish(pieces));
        EXPECT_EQ(Hex(pieces), Hex(whole)) << piece;
    }
}

TEST(Sha1Instructions, NothingStartedGivesNoDigest)
{
    cSha1Instructions hash;
    hash.Update(reinterpret_cast<const uint8_t*>("abc"), 3);
    uint8_t digest[cSha1Instructions::kDigestBytes];
    EXPECT_FALSE(hash.Finish(digest));
}

}  // namespace
}  // namespace tavrin::launcher
