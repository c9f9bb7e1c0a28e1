// Loading the splash assets: the built-in ones from this executable's
// resources, a custom splash from real files, and system fonts named by a
// language file.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "localization/localization.h"
#include "ui/assets_support_win.h"
#include "test_support/png_file.h"
#include "ui/assets_win.h"
#include "ui/embedded_decoding_win.h"

namespace tavrin::launcher {
namespace {

using tavrin::test::cCapturedLog;
using tavrin::test::cScratchFolder;
using test::cSoftwareCanvas;

constexpr uint32_t kRed = 0xFFFF0000u;

// A PNG filled with one colour, optionally padded with zero bytes after its
// end (decoders stop at the end chunk) to reach an exact file size.
bool WritePng(const std::string& path, int width, int height, uint32_t argb, size_t padTo = 0)
{
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr)
        return false;
    SDL_FillRect(surface, nullptr, argb);
    const bool saved = IMG_SavePNG(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    if (!saved || padTo == 0)
        return saved;
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path.c_str(), bytes, padTo + 1) || bytes.size() > padTo)
        return false;
    bytes.resize(padTo, 0);
    return tavrin::test::WriteBytes(path, bytes.data(), bytes.size());
}

// The centre pixel of a texture drawn over the whole canvas.
uint32_t CentreOf(cSoftwareCanvas& canvas, SDL_Texture* texture)
{
    SDL_SetRenderDrawColor(canvas.Renderer, 0, 0, 0, 255);
    SDL_RenderClear(canvas.Renderer);
    SDL_RenderCopy(canvas.Renderer, texture, nullptr, nullptr);
    return canvas.Pixel(canvas.Surface->w / 2, canvas.Surface->h / 2);
}

std::string StyleOf(TTF_Font* font)
{
    const char* style = font != nullptr ? TTF_FontFaceStyleName(font) : nullptr;
    return style != nullptr ? style : "";
}

// The style name of a built-in face, read from the embedded file itself.
std::string EmbeddedStyle(FontFace face)
{
    const int32_t keyOfFace[] = {0, 1, 2};
    const void* data = nullptr;
    size_t size = 0;
    if (!GetEmbeddedFont(keyOfFace[face], data, size))
        return "";
    TTF_Font* font = TTF_OpenFontRW(SDL_RWFromConstMem(data, static_cast<int>(size)), 1, 12);
    const std::string style = StyleOf(font);
    if (font != nullptr)
        TTF_CloseFont(font);
    return style;
}

bool CopyEmbeddedFont(FontFace face, const std::string& path)
{
    const int32_t keyOfFace[] = {0, 1, 2};
    const void* data = nullptr;
    size_t size = 0;
    return GetEmbeddedFont(keyOfFace[face], data, size) && tavrin::test::WriteBytes(path, data, size);
}

std::string FontsSection(const std::string& regular, const std::string& bold, const std::string& light)
{
    return "windows_fonts:\n{\n  regular = \"" + regular + "\";\n  bold = \"" + bold + "\";\n  light = \"" +
           light + "\";\n}\n";
}

class AssetsTest : public ::testing::Test {
protected:
    cSoftwareCanvas Canvas;
    cScratchFolder Folder{L"tavrin_ui_"};
    cCapturedLog Log;
};

TEST_F(AssetsTest, BuiltInAssetsLoadWithNothingBesideTheLauncher)
{
    cAssetStore store;
    cLocalization localization;
    int fallBacks = 0;
    ASSERT_TRUE(LoadAssetsWithSplash(
        Canvas.Renderer, "", Folder.Utf8(), localization, [&] { ++fallBacks; }, store));
    EXPECT_EQ(fallBacks, 0);
    EXPECT_EQ(store.BaseDirectory, Folder.Utf8());

    const int32_t sizes[] = {20, 20, 20, 30, 14, 12};
    const FontFace faces[] = {FontRegular, FontBold, FontLight, FontLight, FontRegular, FontBold};
    for (int32_t key = 0; key < 6; ++key) {
        ASSERT_NE(store.Font(key), nullptr) << key;
        EXPECT_EQ(store.Fonts.at(key).PointSize, sizes[key]) << key;
        EXPECT_EQ(StyleOf(store.Font(key)), EmbeddedStyle(faces[key])) << key;
    }
    EXPECT_NE(EmbeddedStyle(FontRegular), EmbeddedStyle(FontBold));
    EXPECT_GT(TTF_FontHeight(store.Font(3)), TTF_FontHeight(store.Font(2)));

    const struct {
        int32_t key, width, height;
    } pictures[] = {{0, 800, 450}, {1, 38, 38}, {2, 1000, 1968}, {3, 250, 123}};
    for (const auto& picture : pictures) {
        ASSERT_NE(store.Texture(picture.key), nullptr) << picture.key;
        EXPECT_EQ(store.TextureWidth(picture.key), picture.width) << picture.key;
        EXPECT_EQ(store.TextureHeight(picture.key), picture.height) << picture.key;
    }
    EXPECT_EQ(store.Texture(4), nullptr);
    EXPECT_EQ(store.Font(6), nullptr);
    EXPECT_EQ(Log.Count("Failed"), 0u);
}

TEST_F(AssetsTest, CloseIconBlendsOverWhatIsBelow)
{
    cAssetStore store;
    ASSERT_TRUE(LoadTextures(store, Canvas.Renderer, ""));
    SDL_SetRenderDrawColor(Canvas.Renderer, 0, 200, 0, 255);
    SDL_RenderClear(Canvas.Renderer);
    SDL_Rect where{0, 0, 38, 38};
    SDL_RenderCopy(Canvas.Renderer, store.Texture(1), nullptr, &where);
    EXPECT_EQ(Canvas.Pixel(1, 1), 0xFF00C800u);    // transparent corner
    EXPECT_NE(Canvas.Pixel(19, 19), 0xFF00C800u);  // the cross
}

TEST_F(AssetsTest, ReloadingReplacesEveryKey)
{
    cAssetStore store;
    cLocalization localization;
    ASSERT_TRUE(LoadAssetsWithSplash(Canvas.Renderer, "", Folder.Utf8(), localization, {}, store));
    ASSERT_TRUE(LoadAssetsWithSplash(Canvas.Renderer, "", Folder.Utf8(), localization, {}, store));
    EXPECT_EQ(store.Fonts.size(), 6u);
    EXPECT_EQ(store.Textures.size(), 4u);
    EXPECT_NE(store.Texture(0), nullptr);
    store.Clear();
    EXPECT_TRUE(store.Fonts.empty());
    EXPECT_TRUE(store.Textures.empty());
}

TEST_F(AssetsTest, CustomSplashLimits)
{
    const std::string& dir = Folder.Utf8();
    ASSERT_TRUE(WritePng(dir + "good.png", 800, 450, kRed));
    ASSERT_TRUE(WritePng(dir + "tall.png", 800, 451, kRed));
    ASSERT_TRUE(WritePng(dir + "exact.png", 800, 450, kRed, 1048576));
    ASSERT_TRUE(WritePng(dir + "over.png", 800, 450, kRed, 1048577));
    ASSERT_TRUE(WritePng(dir + "caps.PNG", 800, 450, kRed));
    ASSERT_TRUE(WritePng(dir + "photo.jpg", 800, 450, kRed));
    ASSERT_TRUE(tavrin::test::WriteBytes(dir + "broken.png", "not a picture"));
    // Every chunk valid, the image data not: TavrinCheck's test uses the same file.
    ASSERT_TRUE(tavrin::test::WriteBytes(dir + "corrupt.png",
                                         tavrin::test::GreyPng(800, 450, tavrin::test::PngData::Broken)));
    // Only a header that claims 30000 x 30000 pixels: refused before decoding.
    ASSERT_TRUE(
        tavrin::test::WriteBytes(dir + "huge.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR"
                                                               "\0\0\x75\x30\0\0\x75\x30\x08\x06\0\0\0",
                                                               29)));
    ASSERT_EQ(GetFileSize((dir + "exact.png").c_str()), 1048576);
    ASSERT_EQ(GetFileSize((dir + "over.png").c_str()), 1048577);

    const struct {
        const char* name;
        bool accepted;
        const char* cause;
    } cases[] = {
        {"good.png", true, nullptr},
        {"exact.png", true, nullptr},
        {"tall.png", false, "did not meet the size requirements, the supported size is 800x450."},
        {"over.png", false, "exceeds the maximum allowed file size of 1048576 bytes."},
        {"caps.PNG", false, "was not of a supported format"},
        {"photo.jpg", false, "was not of a supported format"},
        {"missing.png", false, "Could not locate the provided custom splash screen image"},
        {"broken.png", false, "Could not create a texture from the provided custom splash screen"},
        {"corrupt.png", false, "Could not create a texture from the provided custom splash screen"},
        {"huge.png", false, "did not meet the size requirements, the supported size is 800x450."},
    };
    const uint32_t builtInCentre = [&] {
        cAssetStore store;
        EXPECT_TRUE(LoadTextures(store, Canvas.Renderer, ""));
        return CentreOf(Canvas, store.Texture(0));
    }();
    ASSERT_NE(builtInCentre, kRed);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t causes = c.cause != nullptr ? Log.Count(c.cause) : 0;
        const size_t fallBacks = Log.Count("will fall back to using the embedded one instead.");
        cAssetStore store;
        store.BaseDirectory = dir;
        ASSERT_TRUE(LoadTextures(store, Canvas.Renderer, c.name));
        EXPECT_EQ(store.TextureWidth(0), 800);
        EXPECT_EQ(store.TextureHeight(0), 450);
        EXPECT_EQ(CentreOf(Canvas, store.Texture(0)), c.accepted ? kRed : builtInCentre);
        EXPECT_EQ(Log.Count("will fall back to using the embedded one instead."),
                  fallBacks + (c.accepted ? 0 : 1));
        if (c.cause != nullptr) {
            EXPECT_EQ(Log.Count(c.cause), causes + 1);
        }
    }
}

TEST_F(AssetsTest, CustomSplashPathUsesBackslashesBelowTheLauncherDirectory)
{
    const std::string art = Folder.MakeFolder("art");
    ASSERT_TRUE(WritePng(art + "splash.png", 800, 450, kRed));
    cAssetStore store;
    cLocalization localization;
    ASSERT_TRUE(
        LoadAssetsWithSplash(Canvas.Renderer, "art/splash.png", Folder.Utf8(), localization, {}, store));
    EXPECT_EQ(CentreOf(Canvas, store.Texture(0)), kRed);
    EXPECT_EQ(Log.Count("Requested splash screen's file name '" + Folder.Utf8() +
                        "art\\splash.png', extension: '.png'."),
              1u);
}

TEST_F(AssetsTest, LoadTextureFromFileRefusesWithoutRendererOrPath)
{
    cAssetTexture record;
    EXPECT_FALSE(LoadTextureFromFile(record, nullptr, Folder.Utf8() + "x.png"));
    EXPECT_FALSE(LoadTextureFromFile(record, Canvas.Renderer, ""));
    EXPECT_FALSE(LoadCustomSplash(Canvas.Renderer, "", record));
    EXPECT_EQ(record.Texture, nullptr);
}

TEST_F(AssetsTest, TexturesNeedARenderer)
{
    cAssetStore store;
    EXPECT_FALSE(LoadTextures(store, nullptr, ""));
    EXPECT_EQ(Log.Count("Failed in loading the following texture: '0'."), 1u);
}

TEST_F(AssetsTest, LanguageSystemFontsAreOpenedFromTheFontsFolder)
{
    // Faces swapped on purpose, so each key shows which file it came from.
    const std::string fonts = Folder.MakeFolder("Fonts");
    ASSERT_TRUE(CopyEmbeddedFont(FontBold, fonts + "sys-regular.ttf"));
    ASSERT_TRUE(CopyEmbeddedFont(FontLight, fonts + "sys-bold.ttf"));
    ASSERT_TRUE(CopyEmbeddedFont(FontRegular, fonts + "sys-light.ttf"));
    cLocalization localization;
    std::wstring error;
    ASSERT_TRUE(
        localization.LoadText(FontsSection("sys-regular.ttf", "sys-bold.ttf", "sys-light.ttf"), error));

    cAssetStore store;
    bool fallBack = true;
    ASSERT_TRUE(LoadFontsFrom(store, localization, fonts, fallBack));
    EXPECT_FALSE(fallBack);
    const FontFace fileFaceOfKey[] = {FontBold, FontLight, FontRegular, FontRegular, FontBold, FontLight};
    const int32_t sizes[] = {20, 20, 20, 30, 14, 12};
    for (int32_t key = 0; key < 6; ++key) {
        EXPECT_EQ(StyleOf(store.Font(key)), EmbeddedStyle(fileFaceOfKey[key])) << key;
        EXPECT_EQ(store.Fonts.at(key).PointSize, sizes[key]) << key;
    }
    EXPECT_EQ(Log.Count("Successfully loaded the system font: '" + fonts + "sys-bold.ttf', size: 12."), 1u);
}

TEST_F(AssetsTest, MissingSystemFontFallsBackToBuiltInFontsAndEnglish)
{
    const std::string fonts = Folder.MakeFolder("Fonts");
    ASSERT_TRUE(CopyEmbeddedFont(FontBold, fonts + "sys-regular.ttf"));
    ASSERT_TRUE(CopyEmbeddedFont(FontRegular, fonts + "sys-light.ttf"));
    cLocalization localization;
    std::wstring error;
    ASSERT_TRUE(localization.LoadText(FontsSection("sys-regular.ttf", "gone.ttf", "sys-light.ttf"), error));

    cAssetStore store;
    bool fallBack = false;
    ASSERT_TRUE(LoadFontsFrom(store, localization, fonts, fallBack));
    EXPECT_TRUE(fallBack);
    EXPECT_EQ(StyleOf(store.Font(0)), EmbeddedStyle(FontRegular));
    EXPECT_EQ(StyleOf(store.Font(1)), EmbeddedStyle(FontBold));
    EXPECT_EQ(Log.Count("Failed to load required font file for the locale: '" + fonts +
                        "gone.ttf', falling back to default locale: en_us."),
              1u);
}

TEST_F(AssetsTest, FallBackToEnglishRunsOnceWhenTheLanguageFontsAreMissing)
{
    cLocalization localization;
    std::wstring error;
    // Not in the real fonts folder under any name.
    ASSERT_TRUE(localization.LoadText(
        FontsSection("tavrin-none-1.ttf", "tavrin-none-2.ttf", "tavrin-none-3.ttf"), error));
    cAssetStore store;
    int fallBacks = 0;
    EXPECT_TRUE(LoadAssetsWithSplash(
        Canvas.Renderer, "", Folder.Utf8(), localization, [&] { ++fallBacks; }, store));
    EXPECT_EQ(fallBacks, 1);
    EXPECT_EQ(store.Fonts.size(), 6u);
}

TEST_F(AssetsTest, LanguageWithoutAllThreeFontsUsesBuiltInFontsWithoutFallBack)
{
    cLocalization localization;
    std::wstring error;
    ASSERT_TRUE(
        localization.LoadText("windows_fonts:\n{\n  regular = \"a.ttf\";\n  bold = \"b.ttf\";\n}\n", error));
    cAssetStore store;
    bool fallBack = true;
    ASSERT_TRUE(LoadFontsFrom(store, localization, Folder.Utf8(), fallBack));
    EXPECT_FALSE(fallBack);
    EXPECT_EQ(StyleOf(store.Font(1)), EmbeddedStyle(FontBold));
}

TEST_F(AssetsTest, SystemFontThatCannotBeOpenedFailsTheLoad)
{
    const std::string fonts = Folder.MakeFolder("Fonts");
    ASSERT_TRUE(tavrin::test::WriteBytes(fonts + "r.ttf", "not a font"));
    ASSERT_TRUE(CopyEmbeddedFont(FontBold, fonts + "b.ttf"));
    ASSERT_TRUE(CopyEmbeddedFont(FontLight, fonts + "l.ttf"));
    cLocalization localization;
    std::wstring error;
    ASSERT_TRUE(localization.LoadText(FontsSection("r.ttf", "b.ttf", "l.ttf"), error));
    cAssetStore store;
    bool fallBack = false;
    EXPECT_FALSE(LoadFontsFrom(store, localization, fonts, fallBack));
    EXPECT_FALSE(fallBack);
    EXPECT_EQ(Log.Count("Failed in loading font from file: '" + fonts + "r.ttf'."), 1u);
}

// Every pixel differs from its neighbours and the alpha varies; the column
// and row just past partWidth x partHeight are opaque white, so a draw of the
// part that filtered beyond it would show.
SDL_Surface* NoisyPicture(int width, int height, int partWidth, int partHeight)
{
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ABGR8888);
    if (picture == nullptr)
        return nullptr;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(picture->pixels) + y * picture->pitch);
        for (int x = 0; x < width; ++x) {
            const uint32_t n = static_cast<uint32_t>(x * 73 + y * 151) * 2654435761u;
            const bool band = x == partWidth || y == partHeight;
            row[x] = band ? 0xFFFFFFFFu
                          : SDL_MapRGBA(picture->format, n >> 24, n >> 16, n >> 8,
                                        static_cast<uint8_t>(64 * (x % 4) + 63));
        }
    }
    return picture;
}

// The canvas after the picture's top-left part is drawn from texture, scaled
// and faded as the window draws the logo, over grey.
std::vector<uint32_t> DrawPart(cSoftwareCanvas& canvas, SDL_Texture* texture, SDL_Rect part, int scalePercent,
                               uint8_t alpha)
{
    SDL_SetRenderDrawColor(canvas.Renderer, 90, 90, 90, 255);
    SDL_RenderClear(canvas.Renderer);
    SDL_SetTextureAlphaMod(texture, alpha);
    // The launcher's textures are filtered linearly when scaled.
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
    SDL_Rect where{3, 5, part.w * scalePercent / 100, part.h * scalePercent / 100};
    SDL_RenderCopy(canvas.Renderer, texture, &part, &where);
    SDL_RenderFlush(canvas.Renderer);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < canvas.Surface->h; ++y)
        for (int x = 0; x < canvas.Surface->w; ++x)
            pixels.push_back(canvas.Pixel(x, y));
    return pixels;
}

size_t DifferingPixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    size_t count = a.size() == b.size() ? 0 : std::max(a.size(), b.size());
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        count += a[i] != b[i];
    return count;
}

TEST_F(AssetsTest, PartialTextureDrawsItsPartAsTheWholeTextureDoes)
{
    constexpr int32_t kKey = 7;
    const SDL_Rect part{0, 0, 16, 12};
    cAssetStore store;
    ASSERT_TRUE(LoadPartialTexture(store, Canvas.Renderer, kKey, NoisyPicture(40, 30, 16, 12), 16, 12));
    EXPECT_EQ(store.TextureWidth(kKey), 40);
    EXPECT_EQ(store.TextureHeight(kKey), 30);
    EXPECT_TRUE(store.TextureCovers(kKey, 0, 0, 16, 12));
    EXPECT_FALSE(store.TextureCovers(kKey, 0, 12, 16, 12));
    EXPECT_FALSE(store.TextureCovers(kKey, 1, 0, 16, 12));

    const struct {
        int scalePercent;
        uint8_t alpha;
    } draws[] = {{100, 5}, {100, 255}, {200, 5}, {150, 130}, {50, 255}};
    std::vector<std::vector<uint32_t>> fromPart;
    for (const auto& draw : draws)
        fromPart.push_back(DrawPart(Canvas, store.Texture(kKey), part, draw.scalePercent, draw.alpha));

    ASSERT_TRUE(store.CompleteTexture(kKey, Canvas.Renderer));
    EXPECT_FALSE(store.CompleteTexture(kKey, Canvas.Renderer));
    EXPECT_TRUE(store.TextureCovers(kKey, 24, 18, 16, 12));
    EXPECT_EQ(store.TextureWidth(kKey), 40);
    EXPECT_EQ(store.TextureHeight(kKey), 30);
    const std::vector<uint32_t> grey = DrawPart(Canvas, store.Texture(kKey), part, 0, 255);
    for (size_t i = 0; i < std::size(draws); ++i) {
        const auto& draw = draws[i];
        EXPECT_GT(DifferingPixels(fromPart[i], grey), 0u) << draw.scalePercent << "% " << int(draw.alpha);
        EXPECT_EQ(DifferingPixels(DrawPart(Canvas, store.Texture(kKey), part, draw.scalePercent, draw.alpha),
                                  fromPart[i]),
                  0u)
            << draw.scalePercent << "% " << int(draw.alpha);
    }

    // A picture no larger than the part is whole at once.
    ASSERT_TRUE(LoadPartialTexture(store, Canvas.Renderer, kKey, NoisyPicture(16, 12, 16, 12), 16, 12));
    EXPECT_TRUE(store.TextureCovers(kKey, 0, 0, 16, 12));
    EXPECT_FALSE(store.CompleteTexture(kKey, Canvas.Renderer));
    EXPECT_EQ(Log.Count("Unable"), 0u);
}

// The first frame is made from the sheet's top rows alone (decoded here, or
// ahead on the decoding thread); the whole sheet follows and draws that frame
// the same.
TEST_F(AssetsTest, LogoSheetStartsWithATextureOfItsFirstFrameOnly)
{
    for (bool ahead : {false, true}) {
        SCOPED_TRACE(ahead ? "decoded ahead" : "decoded here");
        if (ahead)
            StartEmbeddedTextureDecoding();
        cAssetStore store;
        ASSERT_TRUE(LoadTextures(store, Canvas.Renderer, ""));
        EXPECT_EQ(store.TextureWidth(TextureLogoSheet), 1000);
        EXPECT_EQ(store.TextureHeight(TextureLogoSheet), 1968);
        EXPECT_TRUE(store.TextureCovers(TextureLogoSheet, 0, 0, 250, 123));
        EXPECT_FALSE(store.TextureCovers(TextureLogoSheet, 0, 123, 250, 123));
        for (int32_t key : {TextureSplash, TextureClose, TextureLogo})
            EXPECT_TRUE(store.TextureCovers(key, 0, 0, store.TextureWidth(key), store.TextureHeight(key))) << key;
        // Ahead, the rest of the sheet waits until it is asked for.
        EXPECT_EQ(store.CompletionWouldWait(TextureLogoSheet), ahead);
        const SDL_Rect frame{0, 0, 250, 123};
        const std::vector<uint32_t> fromHead = DrawPart(Canvas, store.Texture(TextureLogoSheet), frame, 100, 255);

        ASSERT_TRUE(store.CompleteTexture(TextureLogoSheet, Canvas.Renderer));
        EXPECT_FALSE(store.CompletionWouldWait(TextureLogoSheet));
        EXPECT_TRUE(store.TextureCovers(TextureLogoSheet, 750, 1845, 250, 123));
        int width = 0;
        int height = 0;
        ASSERT_EQ(SDL_QueryTexture(store.Texture(TextureLogoSheet), nullptr, nullptr, &width, &height), 0);
        EXPECT_EQ(width, 1000);
        EXPECT_EQ(height, 1968);
        EXPECT_EQ(DifferingPixels(DrawPart(Canvas, store.Texture(TextureLogoSheet), frame, 100, 255), fromHead),
                  0u);
        DiscardDecodedEmbeddedTextures();
    }
    EXPECT_EQ(Log.Count("Unable"), 0u);
}

TEST_F(AssetsTest, SystemFontsFolderEndsWithASeparator)
{
    const std::string folder = GetSystemFontsFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_GT(folder.size(), 1u);
}

}  // namespace
}  // namespace tavrin::launcher
