// Checks of the custom splash picture and the custom window icon: what the
// launcher will accept. The splash is decoded by a decoder the caller gives
// (the checker passes the launcher's own), since a picture whose header is
// right may still not decode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

// Decodes a whole picture file; false when it does not decode, else its size.
using PictureDecoder = std::function<bool(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height)>;

// The setting "requested_splash" against the launcher's limits. fileSize is
// the whole file's size; data holds the file as read (decoded only when the
// file is within the size limit and its header is accepted).
void CheckSplashPicture(const std::string& setting, uint64_t fileSize, const uint8_t* data, size_t size,
                        const PictureDecoder& decode, const std::string& fileName, cReport& report);

void CheckIconFile(const uint8_t* data, size_t size, const std::string& fileName, cReport& report);

}  // namespace tavrin::check
