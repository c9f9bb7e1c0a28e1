#include "ui/assets.h"

#include <climits>
#include <cstring>

namespace tavrin::launcher {

const cBuiltInFont kBuiltInFonts[6] = {
    {0, FontRegular, 20}, {1, FontBold, 20},    {2, FontLight, 20},
    {3, FontLight, 30},   {4, FontRegular, 14}, {5, FontBold, 12},
};

std::string BuildSplashPath(const std::string& launcherDirectory, const std::string& requestedSplash)
{
    std::string path = launcherDirectory + requestedSplash;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

bool IsSupportedSplashExtension(const std::string& extension) { return extension == ".png"; }

bool IsSplashSizeAccepted(int32_t width, int32_t height)
{
    return width == kSplashWidth && height == kSplashHeight;
}

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kIhdrHeader[8] = {0, 0, 0, 13, 'I', 'H', 'D', 'R'};
constexpr size_t kIhdrSizeEnd = 24;  // signature, chunk length and type, width, height

uint32_t BigEndian32(const uint8_t* bytes)
{
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

}  // namespace

bool ReadPngSize(const uint8_t* bytes, size_t size, int32_t& width, int32_t& height)
{
    width = 0;
    height = 0;
    if (bytes == nullptr || size < kIhdrSizeEnd || std::memcmp(bytes, kPngSignature, 8) != 0 ||
        std::memcmp(bytes + 8, kIhdrHeader, 8) != 0) {
        return false;
    }
    const uint32_t w = BigEndian32(bytes + 16);
    const uint32_t h = BigEndian32(bytes + 20);
    if (w == 0 || h == 0 || w > INT32_MAX || h > INT32_MAX) {
        return false;
    }
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    return true;
}

bool IsSplashFileSizeAccepted(int64_t bytes) { return bytes >= 0 && bytes <= kMaximumSplashFileBytes; }

bool GetFontFace(int32_t key, FontFace& face)
{
    for (const cBuiltInFont& font : kBuiltInFonts) {
        if (font.Key == key) {
            face = font.Face;
            return true;
        }
    }
    return false;
}

bool GetFontPointSize(int32_t key, int32_t& pointSize)
{
    for (const cBuiltInFont& font : kBuiltInFonts) {
        if (font.Key == key) {
            pointSize = font.PointSize;
            return true;
        }
    }
    return false;
}

void ResolveFontPaths(const std::string& fontsFolder, std::map<uint32_t, std::string>& names)
{
    for (auto& entry : names) {
        entry.second = fontsFolder + entry.second;
    }
}

}  // namespace tavrin::launcher
