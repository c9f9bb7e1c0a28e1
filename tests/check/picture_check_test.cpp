#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "check/picture_check.h"

namespace tavrin::check {
namespace {

using Bytes = std::vector<uint8_t>;

// Signature and IHDR chunk (8-bit RGB) with a correct checksum.
const Bytes kPng800x450 = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00,
                           0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x03, 0x20, 0x00, 0x00,
                           0x01, 0xC2, 0x08, 0x02, 0x00, 0x00, 0x00, 0x98, 0x01, 0x3A, 0x9F};
const Bytes kPng800x451 = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00,
                           0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x03, 0x20, 0x00, 0x00,
                           0x01, 0xC3, 0x08, 0x02, 0x00, 0x00, 0x00, 0x53, 0x5D, 0xE9, 0x3A};

// A decoder that gives this size, or (0x0) fails.
PictureDecoder DecodesTo(uint32_t width, uint32_t height)
{
    return [width, height](const uint8_t*, size_t, uint32_t& w, uint32_t& h) {
        w = width;
        h = height;
        return width != 0;
    };
}

struct SplashCase {
    const char* Setting;
    uint64_t FileSize;
    Bytes Data;
    const char* Fragment;  // empty: accepted
};

TEST(PictureCheck, SplashFollowsTheLauncherLimits)
{
    Bytes corrupted = kPng800x450;
    corrupted[20] ^= 1;  // the checksum no longer matches
    const SplashCase cases[] = {
        {"art/splash.png", 2000, kPng800x450, ""},
        {"art/splash.png", 1048576, kPng800x450, ""},
        {"art/splash.png", 1048577, kPng800x450, "more than the 1048576 allowed"},
        {"art/splash.PNG", 2000, kPng800x450, "not \".png\""},
        {"art/splash.jpg", 2000, kPng800x450, "not \".png\""},
        {"art.v2/splash", 2000, kPng800x450, "not \".png\""},
        {"splash.png", 2000, kPng800x451, "the picture is 800x451, not 800x450"},
        {"splash.png", 2000, corrupted, "not a PNG picture"},
        {"splash.png", 20, Bytes(kPng800x450.begin(), kPng800x450.begin() + 20), "not a PNG picture"},
    };
    for (const SplashCase& c : cases) {
        cReport report;
        CheckSplashPicture(c.Setting, c.FileSize, c.Data.data(), c.Data.size(), DecodesTo(800, 450), "splash",
                           report);
        const std::string fragment = c.Fragment;
        SCOPED_TRACE(std::string(c.Setting) + " " + std::to_string(c.FileSize) + " " + fragment);
        if (fragment.empty()) {
            EXPECT_EQ(report.Count(Severity::Warning), 0u) << report.Format();
        } else {
            EXPECT_EQ(report.Count(Severity::Warning, fragment), 1u) << report.Format();
            EXPECT_EQ(report.Count(Severity::Warning, "built-in splash instead"), 1u);
        }
        EXPECT_FALSE(report.HasErrors());
    }
}

// The header passing is not enough: the launcher decodes the whole picture and
// falls back when that fails (the Wine test decodes real files).
TEST(PictureCheck, SplashMustDecode)
{
    const struct {
        PictureDecoder Decode;
        const char* Fragment;  // empty: accepted
    } cases[] = {
        {DecodesTo(800, 450), ""},
        {DecodesTo(0, 0), "the picture data does not decode: the launcher shows its built-in splash instead"},
        {DecodesTo(400, 225), "the picture decodes to 400x225, not 800x450"},
        {PictureDecoder(), "the picture data does not decode"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Fragment);
        cReport report;
        CheckSplashPicture("splash.png", 2000, kPng800x450.data(), kPng800x450.size(), c.Decode, "splash", report);
        EXPECT_EQ(report.Count(Severity::Warning), c.Fragment[0] == '\0' ? 0u : 1u) << report.Format();
        EXPECT_EQ(report.Count(Severity::Warning, c.Fragment), c.Fragment[0] == '\0' ? 0u : 1u) << report.Format();
    }
    // A picture refused on its header or size is never decoded.
    int decoded = 0;
    const PictureDecoder counting = [&decoded](const uint8_t*, size_t, uint32_t&, uint32_t&) {
        ++decoded;
        return false;
    };
    cReport report;
    CheckSplashPicture("splash.png", 2000, kPng800x451.data(), kPng800x451.size(), counting, "splash", report);
    CheckSplashPicture("splash.png", 2000000, kPng800x450.data(), kPng800x450.size(), counting, "splash", report);
    EXPECT_EQ(decoded, 0);
}

// An icon file: directory, entries, then a 40-byte bitmap header per image.
Bytes IconFile(const std::vector<uint8_t>& sizes)
{
    Bytes file = {0, 0, 1, 0, static_cast<uint8_t>(sizes.size()), 0};
    const uint32_t first = static_cast<uint32_t>(6 + 16 * sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        const uint32_t offset = first + static_cast<uint32_t>(40 * i);
        Bytes entry = {sizes[i], sizes[i], 0, 0, 1, 0, 32, 0, 40, 0, 0, 0};
        for (int k = 0; k < 4; ++k) {
            entry.push_back(static_cast<uint8_t>(offset >> (8 * k)));
        }
        file.insert(file.end(), entry.begin(), entry.end());
    }
    for (size_t i = 0; i < sizes.size(); ++i) {
        Bytes header(40, 0);
        header[0] = 40;
        file.insert(file.end(), header.begin(), header.end());
    }
    return file;
}

TEST(PictureCheck, IconDirectoryIsBoundsCheckedEntryByEntry)
{
    std::vector<IconImage> images;
    std::string problem;
    const Bytes good = IconFile({16, 32, 0});
    ASSERT_TRUE(ReadIconDirectory(good.data(), good.size(), images, problem)) << problem;
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[2].Width, 256u);

    Bytes pastEnd = good;
    pastEnd[6 + 16 + 12] = 0xFF;  // second image's offset far beyond the file
    Bytes hugeCount = good;
    hugeCount[4] = 0xFF;
    Bytes wrapping = good;
    for (int k = 8; k < 16; ++k) {
        wrapping[6 + k] = 0xFF;  // size and offset whose sum wraps in 32 bits
    }
    Bytes notBitmap = good;
    notBitmap[6 + 16 * 3] = 41;
    const std::pair<Bytes, const char*> broken[] = {
        {Bytes(good.begin(), good.begin() + 5), "not an icon file"},
        {Bytes{0, 0, 2, 0, 1, 0}, "not an icon file"},
        {Bytes{0, 0, 1, 0, 0, 0}, "holds no image"},
        {hugeCount, "runs past the end"},
        {pastEnd, "image 2 lies outside the file"},
        {wrapping, "image 1 lies outside the file"},
        {notBitmap, "image 1 is neither a PNG nor a bitmap"},
    };
    for (const auto& [bytes, fragment] : broken) {
        EXPECT_FALSE(ReadIconDirectory(bytes.data(), bytes.size(), images, problem)) << fragment;
        EXPECT_NE(problem.find(fragment), std::string::npos) << problem;
    }
}

}  // namespace
}  // namespace tavrin::check
