// The platform-free rules of the splash assets.
#include <gtest/gtest.h>

#include "ui/assets.h"

namespace tavrin::launcher {
namespace {

TEST(SplashRules, PathJoinsTheLauncherDirectoryWithBackslashes)
{
    EXPECT_EQ(BuildSplashPath("C:\\Games\\X\\", "art/splash.png"), "C:\\Games\\X\\art\\splash.png");
    EXPECT_EQ(BuildSplashPath("C:/Games/", "a/b/c.png"), "C:\\Games\\a\\b\\c.png");
    EXPECT_EQ(BuildSplashPath("D:\\", "splash.png"), "D:\\splash.png");
}

TEST(SplashRules, OnlyLowerCasePngIsSupported)
{
    struct Case {
        const char* extension;
        bool accepted;
    } cases[] = {{".png", true}, {".PNG", false}, {".Png", false}, {".jpg", false},
                 {"", false},    {"png", false},  {".png ", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(IsSupportedSplashExtension(c.extension), c.accepted) << '"' << c.extension << '"';
    }
}

TEST(SplashRules, SizeLimits)
{
    EXPECT_TRUE(IsSplashSizeAccepted(800, 450));
    EXPECT_FALSE(IsSplashSizeAccepted(800, 451));
    EXPECT_FALSE(IsSplashSizeAccepted(799, 450));
    EXPECT_FALSE(IsSplashSizeAccepted(450, 800));
    EXPECT_TRUE(IsSplashFileSizeAccepted(1048576));
    EXPECT_FALSE(IsSplashFileSizeAccepted(1048577));
    EXPECT_TRUE(IsSplashFileSizeAccepted(0));
    EXPECT_FALSE(IsSplashFileSizeAccepted(-1));  // size unknown
}

TEST(BuiltInFonts, FacesAndSizesPerKey)
{
    struct Case {
        int32_t key;
        FontFace face;
        int32_t size;
    } cases[] = {{0, FontRegular, 20}, {1, FontBold, 20},    {2, FontLight, 20},
                 {3, FontLight, 30},   {4, FontRegular, 14}, {5, FontBold, 12}};
    for (const Case& c : cases) {
        FontFace face;
        int32_t size = 0;
        ASSERT_TRUE(GetFontFace(c.key, face)) << c.key;
        ASSERT_TRUE(GetFontPointSize(c.key, size)) << c.key;
        EXPECT_EQ(face, c.face) << c.key;
        EXPECT_EQ(size, c.size) << c.key;
    }
    FontFace face;
    int32_t size = 0;
    EXPECT_FALSE(GetFontFace(6, face));
    EXPECT_FALSE(GetFontFace(-1, face));
    EXPECT_FALSE(GetFontPointSize(6, size));
}

TEST(BuiltInFonts, SystemFontNamesBecomePathsInTheFontsFolder)
{
    std::map<uint32_t, std::string> names = {{0, "a.ttf"}, {1, "b.ttf"}, {2, "c.ttf"}};
    ResolveFontPaths("C:\\Windows\\Fonts\\", names);
    EXPECT_EQ(names[0], "C:\\Windows\\Fonts\\a.ttf");
    EXPECT_EQ(names[1], "C:\\Windows\\Fonts\\b.ttf");
    EXPECT_EQ(names[2], "C:\\Windows\\Fonts\\c.ttf");
}

TEST(PngHeader, SizeIsReadWithoutDecoding)
{
    const std::string header("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x03\x20\0\0\x01\xC2", 24);
    const struct {
        std::string Bytes;
        bool Read;
        int32_t Width, Height;
    } cases[] = {
        {header, true, 800, 450},
        {header.substr(0, 23), false, 0, 0},                               // cut inside the height
        {"\x88" + header.substr(1), false, 0, 0},                          // not the signature
        {header.substr(0, 12) + "IDAT" + header.substr(16), false, 0, 0},  // IHDR must come first
        {header.substr(0, 16) + std::string("\x80\0\0\0", 4) + header.substr(20), false, 0, 0},  // 2^31
        {header.substr(0, 20) + std::string(4, '\0'), false, 0, 0},  // zero height
    };
    for (const auto& c : cases) {
        int32_t width = -1;
        int32_t height = -1;
        EXPECT_EQ(
            ReadPngSize(reinterpret_cast<const uint8_t*>(c.Bytes.data()), c.Bytes.size(), width, height),
            c.Read);
        EXPECT_EQ(width, c.Width);
        EXPECT_EQ(height, c.Height);
    }
    int32_t width = 0;
    int32_t height = 0;
    EXPECT_FALSE(ReadPngSize(nullptr, 24, width, height));
}

}  // namespace
}  // namespace tavrin::launcher
