// Drawing elements with a software renderer into a memory surface and reading
// the pixels back: gradients, fills, opacity, drop shadows and text.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ui/assets_support_win.h"
#include "ui/elements.h"
#include "ui/render_text_win.h"
#include "ui/render_win.h"

namespace tavrin::launcher {
namespace {

using test::cSoftwareCanvas;

constexpr const char* kFontPath = "Z:\\usr\\share\\fonts\\truetype\\open-sans\\OpenSans-Regular.ttf";

uint8_t Red(uint32_t argb) { return static_cast<uint8_t>(argb >> 16); }
uint8_t Green(uint32_t argb) { return static_cast<uint8_t>(argb >> 8); }

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(Canvas.Renderer, nullptr) << SDL_GetError();
        SDL_SetRenderDrawBlendMode(Canvas.Renderer, SDL_BLENDMODE_BLEND);
        Clear(0, 0, 0);
    }

    void Clear(uint8_t r, uint8_t g, uint8_t b)
    {
        SDL_SetRenderDrawColor(Canvas.Renderer, r, g, b, 255);
        SDL_RenderClear(Canvas.Renderer);
    }

    // A white square texture owned by the returned record.
    std::shared_ptr<cSdlTexture> WhiteSquare(int size)
    {
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, size, size, 32, SDL_PIXELFORMAT_ARGB8888);
        SDL_FillRect(surface, nullptr, 0xFFFFFFFFu);
        SDL_Texture* texture = SDL_CreateTextureFromSurface(Canvas.Renderer, surface);
        SDL_FreeSurface(surface);
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
        return std::make_shared<cSdlTexture>(texture, size, size, true);
    }

    void ExpectDrawColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a)
    {
        uint8_t cr = 0, cg = 0, cb = 0, ca = 0;
        ASSERT_EQ(SDL_GetRenderDrawColor(Canvas.Renderer, &cr, &cg, &cb, &ca), 0);
        EXPECT_EQ(cr, r);
        EXPECT_EQ(cg, g);
        EXPECT_EQ(cb, b);
        EXPECT_EQ(ca, a);
    }

    cSoftwareCanvas Canvas{200, 120};
};

TEST_F(RenderTest, GradientColumnsStartOneStepInAndEndOnTheLastColour)
{
    cUiRect bar(ElementType::GradientRect, 1, 3002, 255, 0, false);
    bar.Colors = {{51, 155, 255, 255}, {119, 225, 255, 255}};
    bar.SetPosition(10, 10);
    bar.SetSize(4, 5);
    SDL_SetRenderDrawColor(Canvas.Renderer, 1, 2, 3, 4);

    ASSERT_TRUE(DrawElement(Canvas.Renderer, &bar));
    const uint8_t reds[] = {68, 85, 102, 119};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Red(Canvas.Pixel(10 + i, 12)), reds[i]) << "column " << i;
    EXPECT_EQ(Canvas.Pixel(13, 14), 0xFF77E1FFu);
    EXPECT_EQ(Canvas.Pixel(14, 12), 0xFF000000u);
    EXPECT_EQ(Canvas.Pixel(10, 15), 0xFF000000u);
    ExpectDrawColor(1, 2, 3, 4);
}

TEST_F(RenderTest, FullWidthGradientLandsExactlyOnTheLastColour)
{
    cUiRect bar(ElementType::GradientRect, 1, 3002, 255, 0, false);
    bar.Colors = {{51, 155, 255, 255}, {119, 225, 255, 255}};
    bar.SetSize(199, 2);
    ASSERT_TRUE(DrawElement(Canvas.Renderer, &bar));
    EXPECT_EQ(Canvas.Pixel(198, 1), 0xFF77E1FFu);
}

TEST_F(RenderTest, EmptyOrOneColourGradientsDrawNothing)
{
    cUiRect bar(ElementType::GradientRect, 1, 3002, 255, 0, false);
    bar.Colors = {{255, 0, 0, 255}, {255, 0, 0, 255}};
    bar.SetSize(0, 5);
    DrawElement(Canvas.Renderer, &bar);
    EXPECT_EQ(Canvas.Pixel(0, 0), 0xFF000000u);

    bar.Colors = {{255, 0, 0, 255}};
    bar.SetSize(10, 5);
    EXPECT_FALSE(DrawElement(Canvas.Renderer, &bar));
    EXPECT_EQ(Canvas.Pixel(0, 0), 0xFF000000u);
}

TEST_F(RenderTest, SolidFillBlendsItsAlphaAndRestoresTheDrawColour)
{
    cUiRect track(ElementType::SolidRect, 1, 3001, 114, 0, false);
    track.SetSizeAndColor(50, 10, {255, 255, 255, 114});
    track.SetPosition(0, 100);
    SDL_SetRenderDrawColor(Canvas.Renderer, 9, 8, 7, 6);
    ASSERT_TRUE(DrawElement(Canvas.Renderer, &track));
    EXPECT_NEAR(Red(Canvas.Pixel(25, 105)), 114, 1);
    EXPECT_EQ(Canvas.Pixel(25, 99), 0xFF000000u);
    ExpectDrawColor(9, 8, 7, 6);
}

TEST_F(RenderTest, ImageOpacityComesFromItsAlphaModulation)
{
    cUiImage image(0, 1001, 255, 0, false);
    image.AttachTexture(WhiteSquare(8));
    image.SetPosition(4, 4);
    image.SetAlpha(128);
    ASSERT_TRUE(DrawElement(Canvas.Renderer, &image));
    EXPECT_NEAR(Red(Canvas.Pixel(6, 6)), 128, 1);

    image.SetAlpha(0);
    Clear(0, 0, 0);
    ASSERT_TRUE(DrawElement(Canvas.Renderer, &image));
    EXPECT_EQ(Canvas.Pixel(6, 6), 0xFF000000u);
}

TEST_F(RenderTest, DropShadowIsBlackOnePixelRightAndDownUnderTheImage)
{
    Clear(128, 128, 128);
    cUiImage image(1, 2001, 255, 255, true);
    auto square = WhiteSquare(4);
    image.AttachTexture(square);
    image.SetPosition(10, 10);
    ASSERT_TRUE(DrawElement(Canvas.Renderer, &image));
    EXPECT_EQ(Canvas.Pixel(13, 13), 0xFFFFFFFFu);
    EXPECT_EQ(Canvas.Pixel(14, 14), 0xFF000000u);
    EXPECT_EQ(Canvas.Pixel(14, 11), 0xFF000000u);
    EXPECT_EQ(Canvas.Pixel(14, 10), 0xFF808080u);
    EXPECT_EQ(Canvas.Pixel(10, 14), 0xFF808080u);
    uint8_t r = 0, g = 0, b = 0;
    SDL_GetTextureColorMod(square->Texture, &r, &g, &b);
    EXPECT_EQ(r + g + b, 3 * 255);
}

TEST_F(RenderTest, MissingTextureFailsAndSaysSo)
{
    cUiImage image(0, 1001, 255, 255, true);
    image.SetSize(10, 10);
    EXPECT_FALSE(DrawElement(Canvas.Renderer, &image));
    EXPECT_STREQ(SDL_GetError(), "Submit called with an invalid SDL texture!");
    EXPECT_FALSE(DrawElement(Canvas.Renderer, nullptr));
}

class TextRenderTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        Font = TTF_OpenFont(kFontPath, 20);
        ASSERT_NE(Font, nullptr) << TTF_GetError();
    }
    void TearDown() override
    {
        if (Font)
            TTF_CloseFont(Font);
    }

    std::shared_ptr<cUiText> MakeText(bool shadow)
    {
        auto text = std::make_shared<cUiText>(1, 4001, 255, 255, shadow);
        text->Font = std::make_shared<cSdlFont>(Font, Canvas.Renderer);
        return text;
    }

    TTF_Font* Font = nullptr;
};

TEST_F(TextRenderTest, RenderTextLineMakesABlendedTextureOfTheLineSize)
{
    cSdlTexture record;
    EXPECT_FALSE(RenderTextLine(Canvas.Renderer, "", Font, {255, 255, 255, 0}, record));
    ASSERT_TRUE(RenderTextLine(Canvas.Renderer, "Exit", Font, {255, 255, 255, 0}, record));
    ASSERT_NE(record.Texture, nullptr);
    int w = 0, h = 0;
    TTF_SizeUTF8(Font, "Exit", &w, &h);
    EXPECT_EQ(record.Width, w);
    EXPECT_EQ(record.Height, h);
    SDL_BlendMode mode = SDL_BLENDMODE_NONE;
    SDL_GetTextureBlendMode(record.Texture, &mode);
    EXPECT_EQ(mode, SDL_BLENDMODE_BLEND);
}

TEST_F(TextRenderTest, TextShadowSitsOnePixelRightAndDownOfTheGlyphs)
{
    Clear(128, 128, 128);
    auto plain = MakeText(false);
    ASSERT_TRUE(plain->SetTextNow("L"));
    plain->SetPosition(20, 20);
    ASSERT_TRUE(DrawElement(Canvas.Renderer, plain.get()));
    // The bottom-right pixel of the glyph "L".
    int lastX = -1, lastY = -1;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x)
            if (Red(Canvas.Pixel(x, y)) > 250 && (y > lastY || (y == lastY && x > lastX))) {
                lastX = x;
                lastY = y;
            }
    ASSERT_GE(lastX, 0);
    EXPECT_EQ(Canvas.Pixel(lastX + 1, lastY + 1), 0xFF808080u);

    Clear(128, 128, 128);
    auto shadowed = MakeText(true);
    ASSERT_TRUE(shadowed->SetTextNow("L"));
    shadowed->SetPosition(20, 20);
    ASSERT_TRUE(DrawElement(Canvas.Renderer, shadowed.get()));
    EXPECT_LT(Red(Canvas.Pixel(lastX + 1, lastY + 1)), 20);
    EXPECT_GT(Red(Canvas.Pixel(lastX, lastY)), 250);
}

TEST_F(TextRenderTest, CyclingTextHasFourVariantsAndTheEmptyOneDrawsNothing)
{
    auto dots = MakeText(false);
    dots->Cycles = true;
    ASSERT_TRUE(dots->SetTextNow("[...]"));
    ASSERT_EQ(dots->CurrentTextures.size(), 4u);
    EXPECT_FALSE(dots->CurrentTextures[0]->HasTexture());
    EXPECT_FALSE(DrawElement(Canvas.Renderer, dots.get()));
    dots->VariantIndex = 3;
    EXPECT_TRUE(DrawElement(Canvas.Renderer, dots.get()));
}

TEST_F(TextRenderTest, WideMessageIsDrawnAsCentredLines)
{
    auto message = MakeText(false);
    const std::string text =
        "Could not locate the game binary: 'C:\\Program Files (x86)\\Some Publisher\\Some Studio\\"
        "A Rather Long Game Title\\Binaries\\Win64\\Shipping\\game.exe'";
    ASSERT_TRUE(message->SetTextNow(text));
    ASSERT_EQ(message->Mode, TextModeLines);
    std::vector<cUiTextureRef> lines = message->CurrentTexturesCopy();
    ASSERT_GE(lines.size(), 2u);
    int32_t h0 = lines[0]->Height;
    int32_t total = 0;
    for (const cUiTextureRef& line : lines)
        total += line->Height;
    EXPECT_EQ(message->GetHeight(ElementPart::TextTexture),
              total + static_cast<int32_t>(lines.size() - 1) * (h0 / 2));

    cSoftwareCanvas wide(800, 300);
    auto onWide = std::make_shared<cUiText>(3, 4004, 255, 255, false);
    onWide->Font = std::make_shared<cSdlFont>(Font, wide.Renderer);
    ASSERT_TRUE(onWide->SetTextNow(text));
    onWide->SetPosition(100, 10);
    ASSERT_TRUE(DrawElement(wide.Renderer, onWide.get()));
    // Something is drawn in the band of the second line.
    int32_t top = 10 + (h0 / 2 + h0);
    bool lit = false;
    for (int y = top; y < top + h0 && !lit; ++y)
        for (int x = 0; x < 800 && !lit; ++x)
            lit = Red(wide.Pixel(x, y)) > 200;
    EXPECT_TRUE(lit);
}

TEST_F(TextRenderTest, ShadowOfSeveralLinesFollowsEachLine)
{
    // The same wide text drawn without and with its shadow on grey: every
    // dark pixel of the shadowed picture must lie one pixel right and down
    // of a glyph pixel, on every line.
    const std::string content = std::string(60, 'W') + " " + std::string(60, 'W');
    cSoftwareCanvas plain(800, 300);
    cSoftwareCanvas shadowed(800, 300);
    auto draw = [&](cSoftwareCanvas& canvas, bool shadow) {
        SDL_SetRenderDrawBlendMode(canvas.Renderer, SDL_BLENDMODE_BLEND);
        SDL_SetRenderDrawColor(canvas.Renderer, 128, 128, 128, 255);
        SDL_RenderClear(canvas.Renderer);
        auto text = std::make_shared<cUiText>(1, 4001, 255, 255, shadow);
        text->Font = std::make_shared<cSdlFont>(Font, canvas.Renderer);
        EXPECT_TRUE(text->SetTextNow(content));
        EXPECT_EQ(text->Mode, TextModeLines);
        text->SetPosition(10, 10);
        EXPECT_TRUE(DrawElement(canvas.Renderer, text.get()));
        return text->GetHeight(ElementPart::TextTexture);
    };
    draw(plain, false);
    int32_t height = draw(shadowed, true);
    int orphans = 0;
    int lastLineShadow = 0;
    for (int y = 1; y < 300; ++y)
        for (int x = 1; x < 800; ++x) {
            if (Red(shadowed.Pixel(x, y)) >= 60)
                continue;
            orphans += Red(plain.Pixel(x - 1, y - 1)) <= 150 ? 1 : 0;
            lastLineShadow += y > 10 + height - 30 ? 1 : 0;
        }
    EXPECT_EQ(orphans, 0);
    EXPECT_GT(lastLineShadow, 0);
}

TEST_F(TextRenderTest, TextButtonDrawsItsFaceAndCentredCaption)
{
    cUiButton exit(ElementType::TextButton, 4, 5002, nullptr, 255);
    exit.TextChild->Font = std::make_shared<cSdlFont>(Font, Canvas.Renderer);
    exit.RectChild->SetSizeAndColor(160, 40, {0, 116, 228, 255});
    ASSERT_TRUE(exit.TextChild->SetTextNow("Exit"));
    exit.SetPosition(20, 40);
    ASSERT_TRUE(DrawElement(Canvas.Renderer, &exit));
    EXPECT_EQ(Canvas.Pixel(21, 41), 0xFF0074E4u);
    EXPECT_EQ(Green(Canvas.Pixel(19, 41)), 0);
}

}  // namespace
}  // namespace tavrin::launcher
