#include "ui/png_head.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace tavrin::launcher;

namespace {

using Bytes = std::vector<uint8_t>;

void PutBig32(Bytes& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(Bytes& out, const char* type, const Bytes& data)
{
    PutBig32(out, static_cast<uint32_t>(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    PutBig32(out, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

struct Picture {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint8_t ColorType = 6;  // 0 gray, 2 RGB, 3 palette, 6 RGBA
    uint8_t Interlace = 0;
    Bytes Palette;
    Bytes Transparency;
    std::vector<Bytes> Rows;  // unfiltered row bytes
};

// A PNG written the plain way: 8-bit samples, filter "none" on every row.
Bytes Encode(const Picture& picture)
{
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Bytes header;
    PutBig32(header, picture.Width);
    PutBig32(header, picture.Height);
    header.insert(header.end(), {8, picture.ColorType, 0, 0, picture.Interlace});
    PutChunk(out, "IHDR", header);
    if (!picture.Palette.empty())
        PutChunk(out, "PLTE", picture.Palette);
    if (!picture.Transparency.empty())
        PutChunk(out, "tRNS", picture.Transparency);
    Bytes raw;
    for (const Bytes& row : picture.Rows) {
        raw.push_back(0);
        raw.insert(raw.end(), row.begin(), row.end());
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    Bytes packed(packedSize);
    EXPECT_EQ(compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9), Z_OK);
    packed.resize(packedSize);
    PutChunk(out, "IDAT", packed);
    PutChunk(out, "IEND", {});
    return out;
}

// Width x height RGBA pixels that differ from each other.
Picture Noisy(uint32_t width, uint32_t height)
{
    Picture picture;
    picture.Width = width;
    picture.Height = height;
    uint32_t state = 12345;
    for (uint32_t y = 0; y < height; ++y) {
        Bytes row;
        for (uint32_t i = 0; i < width * 4; ++i) {
            state = state * 1103515245u + 12345u;
            row.push_back(static_cast<uint8_t>(state >> 16));
        }
        picture.Rows.push_back(row);
    }
    return picture;
}

Bytes Flatten(const std::vector<Bytes>& rows, size_t count)
{
    Bytes flat;
    for (size_t i = 0; i < count; ++i)
        flat.insert(flat.end(), rows[i].begin(), rows[i].end());
    return flat;
}

}  // namespace

TEST(PngHead, DecodesOnlyTheRowsAskedForWithTheWholeSize)
{
    const Picture picture = Noisy(37, 90);
    const Bytes png = Encode(picture);
    for (uint32_t rows : {1u, 12u, 90u, 500u}) {
        cPngHead head;
        ASSERT_TRUE(DecodePngHead(png.data(), png.size(), rows, head)) << rows;
        const uint32_t expected = rows < 90 ? rows : 90;
        EXPECT_EQ(head.Width, 37u);
        EXPECT_EQ(head.Height, 90u);
        EXPECT_EQ(head.Rows, expected);
        EXPECT_EQ(head.Pixels, Flatten(picture.Rows, expected)) << rows;
    }
}

// The point of a head: the rows below it are never inflated, so damage down
// there does not matter, and damage up here does.
TEST(PngHead, DamageBelowTheHeadIsNotReadAndDamageInItFails)
{
    const Picture picture = Noisy(64, 200);
    const Bytes png = Encode(picture);
    const Bytes cut(png.begin(), png.begin() + static_cast<long>(png.size() * 3 / 4));
    cPngHead head;
    ASSERT_TRUE(DecodePngHead(cut.data(), cut.size(), 10, head));
    EXPECT_EQ(head.Pixels, Flatten(picture.Rows, 10));
    EXPECT_FALSE(DecodePngHead(cut.data(), cut.size(), 200, head));
    EXPECT_TRUE(head.Pixels.empty());
    EXPECT_EQ(head.Rows, 0u);
}

TEST(PngHead, OtherColorTypesBecomeRgbaWithOpaqueOrPaletteAlpha)
{
    struct Case {
        const char* Name;
        Picture Source;
        Bytes Expected;
    };
    const Case cases[] = {
        {"rgb", {2, 1, 2, 0, {}, {}, {{10, 20, 30, 40, 50, 60}}}, {10, 20, 30, 255, 40, 50, 60, 255}},
        {"gray", {2, 1, 0, 0, {}, {}, {{7, 200}}}, {7, 7, 7, 255, 200, 200, 200, 255}},
        {"palette with tRNS", {2, 1, 3, 0, {1, 2, 3, 4, 5, 6}, {128}, {{1, 0}}}, {4, 5, 6, 255, 1, 2, 3, 128}},
    };
    for (const Case& c : cases) {
        const Bytes png = Encode(c.Source);
        cPngHead head;
        ASSERT_TRUE(DecodePngHead(png.data(), png.size(), 1, head)) << c.Name;
        EXPECT_EQ(head.Pixels, c.Expected) << c.Name;
    }
}

TEST(PngHead, RefusesWhatItCannotDecodeAsAHead)
{
    Picture interlaced = Noisy(8, 8);
    interlaced.Interlace = 1;
    Picture tooWide = Noisy(1, 1);
    tooWide.Width = kMaxPngSide + 1;
    Bytes badCrc = Encode(Noisy(8, 8));
    badCrc[29] ^= 0xff;  // inside the header chunk's CRC
    const Bytes notPng = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
    const Bytes empty;
    const Bytes cases[] = {Encode(interlaced), Encode(tooWide), badCrc, notPng, empty};
    for (const Bytes& png : cases) {
        cPngHead head;
        EXPECT_FALSE(DecodePngHead(png.data(), png.size(), 4, head)) << png.size();
        EXPECT_TRUE(head.Pixels.empty());
    }
}
