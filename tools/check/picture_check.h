// Header checks for the custom splash picture and the custom window icon:
// what the launcher will accept, read from the bytes without decoding them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check/report.h"

namespace tavrin::check {

inline constexpr uint32_t kSplashWidth = 800;
inline constexpr uint32_t kSplashHeight = 450;
inline constexpr uint64_t kMaxSplashBytes = 1048576;

struct PngHeader {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint8_t BitDepth = 0;
    uint8_t ColorType = 0;
};

// The signature and the IHDR chunk (with its checksum); false otherwise.
bool ReadPngHeader(const uint8_t* data, size_t size, PngHeader& header);

struct IconImage {
    uint32_t Width = 0;  // 256 where the directory writes 0
    uint32_t Height = 0;
    uint32_t Bytes = 0;
    uint32_t Offset = 0;
    bool Png = false;  // a PNG image rather than a bitmap
};

// The icon directory with every image bounds-checked; problem says why not.
bool ReadIconDirectory(const uint8_t* data, size_t size, std::vector<IconImage>& images,
                       std::string& problem);

// The setting "requested_splash" against the launcher's limits. fileSize is
// the whole file's size; data holds at least its first bytes.
void CheckSplashPicture(const std::string& setting, uint64_t fileSize, const uint8_t* data, size_t size,
                        const std::string& fileName, cReport& report);

void CheckIconFile(const uint8_t* data, size_t size, const std::string& fileName, cReport& report);

}  // namespace tavrin::check
