#include "ui/assets.h"

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
