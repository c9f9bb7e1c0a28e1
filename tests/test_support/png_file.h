// PNG files made byte by byte for the splash tests: a grey picture of any
// size, whole or with its image data broken under correct chunk checksums
// (the header and every chunk read as valid; only decoding fails).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>

namespace tavrin::test {

inline void AppendBigEndian32(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

inline void AppendPngChunk(std::string& png, const char* type, const std::string& data)
{
    AppendBigEndian32(png, static_cast<uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    png += typed;
    AppendBigEndian32(png, static_cast<uint32_t>(
                               crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
}

enum class PngData { Whole, Broken };

// An 8-bit grey PNG; empty when zlib fails.
inline std::string GreyPng(uint32_t width, uint32_t height, PngData data = PngData::Whole)
{
    std::string rows;
    for (uint32_t y = 0; y < height; ++y)
        rows += '\0' + std::string(width, '\x80');  // filter "none", then the row
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(rows.data()),
                  static_cast<uLong>(rows.size()), Z_BEST_COMPRESSION) != Z_OK)
        return {};
    packed.resize(packedSize);
    if (data == PngData::Broken) {
        // The zlib header stays; every deflate block after it has the
        // reserved block type.
        packed.replace(2, std::string::npos, packed.size() - 2, '\xFF');
    }
    std::string header;
    AppendBigEndian32(header, width);
    AppendBigEndian32(header, height);
    header += std::string("\x08\x00\x00\x00\x00", 5);  // 8 bits, grey, deflate, filters, not interlaced
    std::string png("\x89PNG\r\n\x1A\n", 8);
    AppendPngChunk(png, "IHDR", header);
    AppendPngChunk(png, "IDAT", packed);
    AppendPngChunk(png, "IEND", "");
    return png;
}

}  // namespace tavrin::test
