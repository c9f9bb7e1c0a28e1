// The element model's per-frame rules: fades, moves, resizes, frame
// animation, text cross-fades, buttons and hit tests.
#include <gtest/gtest.h>

#include <memory>

#include "ui/element_fakes.h"
#include "ui/elements.h"

namespace tavrin::launcher {
namespace {

using test::cFakeFont;
using test::cFakeTexture;
using test::cLineCapture;

constexpr int64_t kFrameNs = 16'000'000;

void UpdateTimes(cUiElement& element, int count, int64_t frameNs = kFrameNs)
{
    for (int i = 0; i < count; ++i)
        element.Update(frameNs);
}

TEST(ApproachRule, StepsTowardTheTargetAndReportsArrivalWithoutChange)
{
    struct Case {
        int32_t Value, Target, Step;
        bool Reached;
        int32_t After;
    } cases[] = {
        {5, 5, 3, true, 5},
        {0, 10, 3, false, 3},
        {9, 10, 3, false, 10},
        {10, 0, 4, false, 6},
        {2, 0, 4, false, 0},
        {-5, 5, 20, false, 5},
        {0, INT32_MAX, INT32_MAX, false, INT32_MAX},
        {0, INT32_MIN, INT32_MAX, false, -INT32_MAX},
    };
    for (const Case& c : cases) {
        int32_t value = c.Value;
        EXPECT_EQ(cUiElement::StepValue(value, c.Target, c.Step), c.Reached) << c.Value << "->" << c.Target;
        EXPECT_EQ(value, c.After) << c.Value << "->" << c.Target;
    }
    uint8_t alpha = 250;
    EXPECT_FALSE(cUiElement::StepAlpha(alpha, 255, 10));
    EXPECT_EQ(alpha, 255);
    alpha = 3;
    EXPECT_FALSE(cUiElement::StepAlpha(alpha, 0, 10));
    EXPECT_EQ(alpha, 0);
}

TEST(Fading, ImageReachesFullOpacityIn51UpdatesAndStopsOnThe52nd)
{
    cUiImage image(0, 1001, 255, 0, false);
    auto texture = std::make_shared<cFakeTexture>(800, 450);
    image.AttachTexture(texture);
    image.FadeTo(255, 5);

    UpdateTimes(image, 50);
    EXPECT_EQ(image.CurrentAlpha, 250);
    UpdateTimes(image, 1);
    EXPECT_EQ(image.CurrentAlpha, 255);
    EXPECT_TRUE(image.Flags & AnimFading);
    UpdateTimes(image, 1);
    EXPECT_FALSE(image.Flags & AnimFading);
    ASSERT_FALSE(texture->Alphas.empty());
    EXPECT_EQ(texture->Alphas.back(), 255);
}

TEST(Fading, MaximumAlphaCapsTheTargetAndDisabledAnimationsIgnoreFades)
{
    cUiRect track(ElementType::SolidRect, 1, 3001, 114, 0, false);
    track.FadeTo(255, 5);
    EXPECT_EQ(track.TargetAlpha, 114);
    UpdateTimes(track, 40);
    EXPECT_EQ(track.GetAlpha(ElementPart::None), 114);
    EXPECT_FALSE(track.Flags & AnimFading);

    cUiImage hidden(1, 2002, 255, 0, false);
    hidden.AnimationsEnabled = 0;
    hidden.FadeTo(255, 5);
    UpdateTimes(hidden, 60);
    EXPECT_EQ(hidden.CurrentAlpha, 0);
    EXPECT_EQ(hidden.Flags, 0u);
}

TEST(Moving, XArrivesFirstThenYAndTheBitClearsOneUpdateLater)
{
    cUiRect rect(ElementType::SolidRect, 1, 1, 255, 0, false);
    rect.MoveTo(100, 50, 10, 10);
    UpdateTimes(rect, 10);
    EXPECT_EQ(rect.X, 100);
    EXPECT_EQ(rect.Y, 0);
    UpdateTimes(rect, 5);
    EXPECT_EQ(rect.Y, 50);
    EXPECT_TRUE(rect.Flags & AnimMoving);
    UpdateTimes(rect, 1);
    EXPECT_FALSE(rect.Flags & AnimMoving);
}

TEST(Resizing, RectangleGrowsWidthThenHeightAndImagesIgnoreResizes)
{
    cUiRect bar(ElementType::GradientRect, 1, 3002, 255, 0, false);
    bar.SetSize(0, 10);
    bar.ResizeTo(40, 12, 10, 1);
    UpdateTimes(bar, 4);
    EXPECT_EQ(bar.Width, 40);
    EXPECT_EQ(bar.Height, 10);
    UpdateTimes(bar, 3);
    EXPECT_EQ(bar.Height, 12);
    EXPECT_FALSE(bar.Flags & AnimResizing);

    cUiImage image(0, 1, 255, 0, false);
    image.SetSize(5, 5);
    image.ResizeTo(50, 50, 5, 5);
    UpdateTimes(image, 20);
    EXPECT_EQ(image.Width, 5);
}

class LogoSheet : public ::testing::Test {
protected:
    void SetUp() override
    {
        Logo.AttachTexture(std::make_shared<cFakeTexture>(1000, 1968));
        Logo.FrameWidth = 250;
        Logo.FrameHeight = 123;
        Logo.Layout = SheetGrid;
        Logo.FrameCount = 64;
    }
    cUiAnimation Logo{1, 2001, 255, 0, true};
};

TEST_F(LogoSheet, GridIsWalkedColumnByColumnWith16Rows)
{
    EXPECT_EQ(Logo.SourceForFrame(17), (cUiBounds{250, 123, 250, 123}));
    EXPECT_EQ(Logo.SourceForFrame(15), (cUiBounds{0, 15 * 123, 250, 123}));
    EXPECT_EQ(Logo.SourceForFrame(63), (cUiBounds{750, 15 * 123, 250, 123}));
    EXPECT_EQ(Logo.GetRect(ElementPart::None), (cUiBounds{0, 0, 250, 123}));
}

TEST_F(LogoSheet, PlaysOnceAndHoldsTheLastFrameUnlessLooping)
{
    UpdateTimes(Logo, 63, Logo.FramePeriodNs);
    EXPECT_EQ(Logo.FrameIndex, 63);
    UpdateTimes(Logo, 5, Logo.FramePeriodNs);
    EXPECT_EQ(Logo.FrameIndex, 63);
    EXPECT_EQ(*Logo.GetSourceRect(), Logo.SourceForFrame(63));

    Logo.Loop = true;
    UpdateTimes(Logo, 1, Logo.FramePeriodNs);
    EXPECT_EQ(Logo.FrameIndex, 0);
}

TEST_F(LogoSheet, SixteenMillisecondUpdatesShowANewFrameEveryThirdUpdate)
{
    UpdateTimes(Logo, 2);
    EXPECT_EQ(Logo.FrameIndex, 0);
    UpdateTimes(Logo, 1);
    EXPECT_EQ(Logo.FrameIndex, 1);
    UpdateTimes(Logo, 3);
    EXPECT_EQ(Logo.FrameIndex, 2);
}

TEST_F(LogoSheet, ShowFrameJumpsAtOnceAndStaysOnTheSheet)
{
    Logo.ShowFrame(63);
    EXPECT_EQ(Logo.Source, Logo.SourceForFrame(63));
    Logo.ShowFrame(500);
    EXPECT_EQ(Logo.FrameIndex, 63);
    Logo.FrameCount = 0;
    Logo.ShowFrame(-1);
    EXPECT_EQ(Logo.FrameIndex, 0);
}

TEST(Animation, NoFramesOrNoRowsChangeNothing)
{
    cUiAnimation empty(1, 2001, 255, 0, false);
    UpdateTimes(empty, 10, empty.FramePeriodNs);
    EXPECT_EQ(empty.FrameIndex, 0);

    // A grid sheet shorter than one frame must not divide by zero.
    cUiAnimation flat(1, 2001, 255, 0, false);
    flat.AttachTexture(std::make_shared<cFakeTexture>(1000, 50));
    flat.FrameWidth = 250;
    flat.FrameHeight = 123;
    flat.Layout = SheetGrid;
    flat.FrameCount = 4;
    UpdateTimes(flat, 2, flat.FramePeriodNs);
    EXPECT_EQ(flat.FrameIndex, 2);
    EXPECT_EQ(flat.Source, (cUiBounds{0, 0, 250, 123}));
}

TEST(HitTest, StrictOnEveryEdgeAndOffsetByTheWindowPosition)
{
    cUiRect rect(ElementType::SolidRect, 1, 1, 255, 0, false);
    rect.SetPosition(10, 20);
    rect.SetSize(30, 40);
    struct Case {
        int32_t X, Y;
        bool Inside;
    } cases[] = {{111, 221, true},  {110, 230, false}, {140, 230, false}, {120, 220, false},
                 {120, 260, false}, {139, 259, true},  {50, 50, false}};
    for (const Case& c : cases)
        EXPECT_EQ(rect.HitTest(c.X, c.Y, 100, 200), c.Inside) << c.X << "," << c.Y;
}

class TextElement : public ::testing::Test {
protected:
    void SetUp() override
    {
        Font = std::make_shared<cFakeFont>();
        Text.Font = Font;
    }
    std::shared_ptr<cFakeFont> Font;
    cUiText Text{1, 4001, 255, 0, true};
};

TEST_F(TextElement, FirstSetTextFadesInAndSizesTheBox)
{
    ASSERT_TRUE(Text.SetText("LOADING"));
    EXPECT_EQ(Text.Mode, TextModeSingle);
    EXPECT_EQ(Text.TargetAlpha, 255);
    EXPECT_EQ(Text.BoxWidth, 70);
    EXPECT_EQ(Text.BoxHeight, 20);
    UpdateTimes(Text, 52);
    EXPECT_EQ(Text.CurrentAlpha, 255);
    EXPECT_FALSE(Text.Flags & AnimFading);
}

TEST_F(TextElement, SecondSetTextFadesOutSwapsAndFadesBackIn)
{
    ASSERT_TRUE(Text.SetTextNow("ONE"));
    Text.SetPosition(10, 10);
    Text.CurrentAlpha = 255;
    ASSERT_TRUE(Text.SetText("SECOND"));
    EXPECT_EQ(Text.TargetAlpha, 0);
    Text.SetPosition(30, 40);
    EXPECT_EQ(Text.X, 10);

    UpdateTimes(Text, 50);
    EXPECT_EQ(Text.CurrentAlpha, 5);
    EXPECT_EQ(Text.GetWidth(ElementPart::TextTexture), 30);
    UpdateTimes(Text, 1);
    EXPECT_EQ(Text.CurrentAlpha, 0);
    EXPECT_EQ(Text.GetWidth(ElementPart::TextTexture), 60);
    EXPECT_EQ(Text.X, 30);
    EXPECT_EQ(Text.Y, 40);
    EXPECT_EQ(Text.TargetAlpha, 255);
    EXPECT_FALSE(Text.HasPendingText());

    UpdateTimes(Text, 51);
    EXPECT_EQ(Text.CurrentAlpha, 255);
    // Shown now: later positions apply at once.
    Text.SetPosition(7, 8);
    EXPECT_EQ(Text.X, 7);
}

TEST_F(TextElement, PendingPositionNeedsBothCoordinatesNonZero)
{
    ASSERT_TRUE(Text.SetTextNow("ONE"));
    Text.SetPosition(10, 10);
    ASSERT_TRUE(Text.SetText("SECOND"));
    Text.SetPosition(0, 40);
    UpdateTimes(Text, 2);
    EXPECT_EQ(Text.GetWidth(ElementPart::TextTexture), 60);
    EXPECT_EQ(Text.X, 10);
    EXPECT_EQ(Text.Y, 10);
}

TEST_F(TextElement, SetTextNowReplacesAtOnceWithoutFade)
{
    ASSERT_TRUE(Text.SetTextNow("0%"));
    ASSERT_TRUE(Text.SetTextNow("100%"));
    EXPECT_EQ(Text.Flags, 0u);
    EXPECT_EQ(Text.BoxWidth, 40);
    EXPECT_EQ(Text.GetWidth(ElementPart::TextTexture), 40);
    EXPECT_FALSE(Text.HasPendingText());
}

TEST_F(TextElement, FailedBuildKeepsThePreviousContent)
{
    ASSERT_TRUE(Text.SetTextNow("KEEP"));
    Font->FailOn = "LOST";
    EXPECT_FALSE(Text.SetTextNow("LOST"));
    EXPECT_FALSE(Text.SetText("LOST"));
    EXPECT_FALSE(Text.SetText(""));
    ASSERT_EQ(Text.CurrentTextures.size(), 1u);
    EXPECT_EQ(Text.GetWidth(ElementPart::TextTexture), 40);
    EXPECT_TRUE(Text.PendingTextures.empty());

    cUiText fontless(1, 4002, 255, 0, false);
    EXPECT_FALSE(fontless.SetTextNow("0%"));
}

// A move to a monitor at twice the scale: the font is opened at twice the
// size and every text is rendered again from what it was given.
TEST_F(TextElement, RebuildRendersShownAndWaitingTextsWithTheNewFont)
{
    ASSERT_TRUE(Text.SetTextNow("ONE"));
    Text.CurrentAlpha = 255;
    ASSERT_TRUE(Text.SetText("SECOND"));
    UpdateTimes(Text, 10);
    const uint8_t alpha = Text.CurrentAlpha;

    Font->PixelsPerByte = 20;
    Font->LineHeight = 40;
    Font->FontDpi = 192;
    ASSERT_TRUE(Text.Rebuild());
    EXPECT_EQ(Text.GetWidth(ElementPart::TextTexture), 60);
    EXPECT_EQ(Text.BoxHeight, 40);
    EXPECT_EQ(Text.CurrentAlpha, alpha);
    EXPECT_EQ(Text.TargetAlpha, 0);
    ASSERT_TRUE(Text.HasPendingText());
    ASSERT_EQ(Text.PendingTextures.size(), 1u);
    EXPECT_EQ(Text.PendingTextures[0]->Width, 120);

    UpdateTimes(Text, 60);
    EXPECT_EQ(Text.GetWidth(ElementPart::TextTexture), 120);
    // The swapped-in text is rebuilt from its own content from then on.
    Font->PixelsPerByte = 10;
    Font->FontDpi = 96;
    ASSERT_TRUE(Text.Rebuild());
    EXPECT_EQ(Text.GetWidth(ElementPart::TextTexture), 60);
}

TEST_F(TextElement, RebuildKeepsTheCycleAndTheLineBreaks)
{
    Text.Cycles = true;
    ASSERT_TRUE(Text.SetTextNow("GO[...]"));
    UpdateTimes(Text, 64);
    const uint32_t variant = Text.VariantIndex;
    Font->PixelsPerByte = 20;
    Font->FontDpi = 192;
    ASSERT_TRUE(Text.Rebuild());
    EXPECT_EQ(Text.Mode, TextModeCycling);
    EXPECT_EQ(Text.VariantIndex, variant);
    EXPECT_EQ(Text.BoxWidth, 2 * 50);

    // 110 bytes: 1100 pixels at 96 DPI, 2200 at 192; both break into the
    // same two lines, as the line width limit is a design width.
    const std::string message(55, 'a');
    cUiText lines(3, 4004, 255, 0, false);
    auto font = std::make_shared<cFakeFont>();
    lines.Font = font;
    ASSERT_TRUE(lines.SetTextNow(message + " " + message.substr(1)));
    const size_t atDesign = lines.CurrentTextures.size();
    EXPECT_EQ(atDesign, 2u);
    EXPECT_EQ(lines.Mode, TextModeLines);
    font->PixelsPerByte = 20;
    font->FontDpi = 192;
    ASSERT_TRUE(lines.Rebuild());
    EXPECT_EQ(lines.CurrentTextures.size(), atDesign);
    EXPECT_EQ(lines.Mode, TextModeLines);

    Font->FailOn = "GO";
    EXPECT_FALSE(Text.Rebuild());
    EXPECT_EQ(Text.BoxWidth, 2 * 50);
}

TEST_F(TextElement, CyclingTextShowsANewVariantEvery32Updates)
{
    Text.Cycles = true;
    ASSERT_TRUE(Text.SetTextNow("[...]"));
    EXPECT_EQ(Text.Mode, TextModeCycling);
    ASSERT_EQ(Text.CurrentTextures.size(), 4u);
    // The empty first variant has no texture: nothing is drawn for it.
    ASSERT_NE(Text.GetTexture(ElementPart::TextTexture), nullptr);
    EXPECT_FALSE(Text.GetTexture(ElementPart::TextTexture)->HasTexture());
    EXPECT_EQ(Text.BoxWidth, 30);
    UpdateTimes(Text, 31);
    EXPECT_EQ(Text.VariantIndex, 0u);
    UpdateTimes(Text, 1);
    EXPECT_EQ(Text.VariantIndex, 1u);
    UpdateTimes(Text, 32 * 3);
    EXPECT_EQ(Text.VariantIndex, 0u);
}

TEST_F(TextElement, SeveralLinesStackWithHalfALineBetween)
{
    std::string message(80, 'x');
    ASSERT_TRUE(Text.SetTextNow(message));
    EXPECT_EQ(Text.Mode, TextModeLines);
    ASSERT_EQ(Text.CurrentTextures.size(), 1u + 1u);
    EXPECT_EQ(Text.GetHeight(ElementPart::TextTexture), 20 + 20 + 10);
}

TEST_F(TextElement, CenterInUsesTheTextAboutToBeShown)
{
    ASSERT_TRUE(Text.SetTextNow("AB"));
    Text.CenterIn({100, 100, 160, 40});
    EXPECT_EQ(Text.X, 100 + 80 - 10);
    EXPECT_EQ(Text.Y, 100 + 20 - 10);
    ASSERT_TRUE(Text.SetText("ABCDEF"));
    Text.CenterIn({100, 100, 160, 40});
    EXPECT_EQ(Text.PendingX, 100 + 80 - 30);
    EXPECT_EQ(Text.X, 170);
}

TEST_F(TextElement, SeveralLinesCentreOnTheFirstLineSoCenterInUsesItsWidth)
{
    std::string message(100, 'a');
    message[40] = ' ';
    Font->FixedWidth = 1040;
    ASSERT_TRUE(Text.SetTextNow(message));
    ASSERT_EQ(Text.Mode, TextModeLines);
    ASSERT_EQ(Text.CurrentTextures.size(), 3u);
    EXPECT_EQ(Text.BoxWidth, 500);
    Text.CenterIn({0, 0, 800, 450});
    EXPECT_EQ(Text.X + Text.CurrentTextures[0]->Width / 2, 400);
    EXPECT_EQ(Text.Y, 225 - (20 * 3 + 10 * 2) / 2);
}

TEST_F(TextElement, ResetDropsThePendingTextAndSetSizeChangesNothing)
{
    cLineCapture log;
    ASSERT_TRUE(Text.SetTextNow("ONE"));
    ASSERT_TRUE(Text.SetText("TWO"));
    Text.Reset();
    EXPECT_FALSE(Text.HasPendingText());
    EXPECT_TRUE(Text.PendingTextures.empty());

    Text.SetSize(500, 500);
    EXPECT_EQ(Text.GetWidth(ElementPart::TextBox), 30);
    EXPECT_EQ(log.Count("Called for a text element, the size is dictated by the shared font!"), 1u);
}

TEST(Buttons, DisabledButtonFadesToZeroAndEnabledOneToItsTarget)
{
    cUiButton close(ElementType::ImageButton, 4, 5001, nullptr, 150);
    EXPECT_EQ(close.ImageChild->CurrentAlpha, 150);
    close.Enabled = false;
    close.FadeTo(255, 5);
    UpdateTimes(close, 40);
    EXPECT_EQ(close.ImageChild->CurrentAlpha, 0);
    close.Enabled = true;
    close.FadeTo(255, 5);
    UpdateTimes(close, 60);
    EXPECT_EQ(close.ImageChild->CurrentAlpha, 255);
}

TEST(Buttons, TextButtonFadesFaceAndCaptionAndCentresTheCaption)
{
    auto font = std::make_shared<cFakeFont>();
    cUiButton exit(ElementType::TextButton, 4, 5002, nullptr, 150);
    exit.TextChild->Font = font;
    exit.RectChild->SetSizeAndColor(160, 40, {0, 116, 228, 150});
    ASSERT_TRUE(exit.TextChild->SetTextNow("Exit"));
    exit.SetPosition(320, 370);
    EXPECT_EQ(exit.GetRect(ElementPart::ButtonRect), (cUiBounds{320, 370, 160, 40}));
    EXPECT_EQ(exit.TextChild->X, 320 + 80 - 20);
    EXPECT_EQ(exit.TextChild->Y, 370 + 20 - 10);

    exit.FadeTo(255, 5);
    UpdateTimes(exit, 21);
    EXPECT_EQ(exit.GetAlpha(ElementPart::ButtonRect), 255);
    EXPECT_EQ(exit.GetAlpha(ElementPart::TextTexture), 255);
    EXPECT_TRUE(exit.HitTest(400, 390, 0, 0));
    EXPECT_FALSE(exit.HitTest(320, 390, 0, 0));
}

TEST(Buttons, UnsupportedPartsAndTypesGiveZeroValues)
{
    cLineCapture log;
    cUiButton exit(ElementType::TextButton, 4, 5002, nullptr, 150);
    EXPECT_EQ(exit.GetX(ElementPart::None), 0);
    EXPECT_EQ(exit.GetTexture(static_cast<ElementPart>(9)), nullptr);
    EXPECT_EQ(log.Count("Called with unsupported element type: 9!"), 1u);

    cUiButton odd(ElementType::Text, 4, 5003, nullptr, 150);
    EXPECT_EQ(odd.Body, nullptr);
    EXPECT_FALSE(odd.HitTest(1, 1, 0, 0));
    odd.SetSize(10, 10);
    odd.FadeTo(255, 5);
    UpdateTimes(odd, 3);
    EXPECT_EQ(log.Count("Called with unsupported type: 5."), 1u);
}

}  // namespace
}  // namespace tavrin::launcher
