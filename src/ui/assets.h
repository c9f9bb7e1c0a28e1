// Platform-free rules of the splash assets: the built-in tables, the custom
// splash limits and path, and which system font file serves which key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace tavrin::launcher {

enum FontFace : uint32_t {
    FontRegular = 0,
    FontBold = 1,
    FontLight = 2,
};

struct cBuiltInFont {
    int32_t Key;
    FontFace Face;
    int32_t PointSize;
};

// What each key of the asset store holds, as the window uses it.
enum FontKey : int32_t {
    FontKeyRegular = 0,
    FontKeyPercent = 1,
    FontKeyStatus = 2,
    FontKeyErrorTitle = 3,
    FontKeyErrorMessage = 4,
    FontKeyExitCaption = 5,
};

enum TextureKey : int32_t {
    TextureSplash = 0,
    TextureClose = 1,
    TextureLogoSheet = 2,
    TextureLogo = 3,
};

// Keys 0-5, ascending.
extern const cBuiltInFont kBuiltInFonts[6];
constexpr int32_t kBuiltInTextureCount = 4;  // keys 0-3

constexpr int32_t kSplashWidth = 800;
constexpr int32_t kSplashHeight = 450;
constexpr int64_t kMaximumSplashFileBytes = 1048576;

// launcherDirectory + requestedSplash, every '/' turned into '\'.
std::string BuildSplashPath(const std::string& launcherDirectory, const std::string& requestedSplash);

// Only ".png", case-sensitive.
bool IsSupportedSplashExtension(const std::string& extension);

bool IsSplashSizeAccepted(int32_t width, int32_t height);

// The picture size from a PNG's signature and leading IHDR chunk, without
// decoding anything. False when the bytes do not start that way or a side
// is zero or beyond 2^31 - 1.
bool ReadPngSize(const uint8_t* bytes, size_t size, int32_t& width, int32_t& height);
bool IsSplashFileSizeAccepted(int64_t bytes);

// The face of a font key, or false for keys outside the table.
bool GetFontFace(int32_t key, FontFace& face);
bool GetFontPointSize(int32_t key, int32_t& pointSize);

// Turns the language's file names (0 regular, 1 bold, 2 light) into paths in
// fontsFolder.
void ResolveFontPaths(const std::string& fontsFolder, std::map<uint32_t, std::string>& names);

}  // namespace tavrin::launcher
