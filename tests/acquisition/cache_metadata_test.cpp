#include "acquisition/cache_metadata.h"

#include <gtest/gtest.h>

namespace tavrin::launcher {
namespace {

constexpr char kSha[] = "0123456789abcdef0123456789abcdef01234567";

struct MetadataCase {
    std::string Text;
    bool Valid;
    std::string Sha1;
    std::string ETag;
};

TEST(ParseCacheMetadata, Table)
{
    const std::string sha = kSha;
    const MetadataCase cases[] = {
        {"sha1=" + sha + "\r\netag=\"v1\"\r\n", true, sha, "\"v1\""},
        {"sha1=" + sha + "\netag=N/A\n", true, sha, "N/A"},
        {"ETAG=\"x\"\r\nSha1=" + sha, true, sha, "\"x\""},
        {"sha1=old\r\nsha1=" + sha + "\r\netag=e\r\n", true, sha, "e"},
        {"junk\r\nsha1=" + sha + "\r\nabc\r\netag=e\r\nother=1\r\n", true, sha, "e"},
        {"sha1=" + sha + "\r\n", false, sha, ""},
        {"sha1=" + sha + "\r\netag=\r\n", false, sha, ""},
        {"etag=e\r\n", false, "", "e"},
        {"", false, "", ""},
        // A value that would smuggle a second request header is refused.
        {"sha1=" + sha + "\r\netag=a\rInjected: 1\r\n", false, sha, "a\rInjected: 1"},
        {"sha1=" + sha + "\r\n" + std::string("etag=a\0b\r\n", 10), false, sha, ""},
    };
    for (const MetadataCase& c : cases) {
        CacheMetadata metadata;
        EXPECT_EQ(ParseCacheMetadata(c.Text, metadata), c.Valid) << c.Text;
        EXPECT_EQ(metadata.Sha1, c.Sha1) << c.Text;
        if (c.Text.find('\0') == std::string::npos) {
            EXPECT_EQ(metadata.ETag, c.ETag) << c.Text;
        }
    }
}

TEST(ParseCacheMetadata, ReadsWhatFormatWrites)
{
    CacheMetadata metadata;
    ASSERT_TRUE(ParseCacheMetadata(FormatCacheMetadata(kSha, "\"etag value\""), metadata));
    EXPECT_EQ(metadata.Sha1, kSha);
    EXPECT_EQ(metadata.ETag, "\"etag value\"");
    EXPECT_EQ(FormatCacheMetadata("ab", "N/A"), "sha1=ab\r\netag=N/A\r\n");
}

TEST(Sha1Matches, IgnoresCaseOfLettersOnly)
{
    EXPECT_TRUE(Sha1Matches("ABCDEF0123", "abcdef0123"));
    EXPECT_FALSE(Sha1Matches("abcdef0123", "abcdef0124"));
    EXPECT_FALSE(Sha1Matches("abc", "abcd"));
}

TEST(IsCacheAgeExpired, WholeHoursBeyond168)
{
    constexpr uint64_t kHour = 3600000;
    EXPECT_FALSE(IsCacheAgeExpired(0));
    EXPECT_FALSE(IsCacheAgeExpired(168 * kHour + 59 * 60000));
    EXPECT_FALSE(IsCacheAgeExpired(169 * kHour - 1));
    EXPECT_TRUE(IsCacheAgeExpired(169 * kHour));
}

TEST(HexLower, ByteOrderLowerCase)
{
    const uint8_t bytes[] = {0x00, 0x0F, 0xA0, 0xFF};
    EXPECT_EQ(HexLower(bytes, sizeof bytes), "000fa0ff");
}

}  // namespace
}  // namespace tavrin::launcher
