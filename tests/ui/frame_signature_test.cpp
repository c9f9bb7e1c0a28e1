// A frame is skipped only when nothing it would draw has changed: every kind
// of visible change to a settled scene must change its signature.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/element_fakes.h"
#include "ui/frame_signature.h"

namespace tavrin::launcher {
namespace {

using test::cFakeFont;
using test::cFakeTexture;

constexpr int64_t kFrameNs = 16'000'000;

// A small splash: gradient bar, logo sheet, status text, Exit button.
struct Scene {
    Scene()
    {
        Bar->Colors = {{51, 155, 255, 255}, {119, 225, 255, 255}};
        Bar->SetSize(40, 10);
        Logo->AttachTexture(std::make_shared<cFakeTexture>(1000, 1968));
        Logo->FrameWidth = 250;
        Logo->FrameHeight = 123;
        Logo->FrameCount = 64;
        Logo->Layout = SheetGrid;
        Status->Font = Font;
        Status->SetTextNow("LOADING");
        Status->SetAlpha(255);
        Exit->TextChild->Font = Font;
        Exit->RectChild->SetSizeAndColor(160, 40, {0, 116, 228, 150});
        Exit->TextChild->SetTextNow("Exit");
        Elements = {Bar, Logo, Status, Exit};
    }

    // Runs frames until nothing moves any more.
    void Settle()
    {
        for (int i = 0; i < 200; ++i)
            for (const cUiElementRef& element : Elements)
                element->Update(kFrameNs);
    }

    cFrameSignature Sign() const { return SignFrame(Elements); }

    std::shared_ptr<cFakeFont> Font = std::make_shared<cFakeFont>();
    std::shared_ptr<cUiRect> Bar =
        std::make_shared<cUiRect>(ElementType::GradientRect, 2, 3001, 255, 255, false);
    std::shared_ptr<cUiAnimation> Logo = std::make_shared<cUiAnimation>(1, 2001, 255, 255, true);
    std::shared_ptr<cUiText> Status = std::make_shared<cUiText>(3, 4001, 255, 255, true);
    std::shared_ptr<cUiButton> Exit =
        std::make_shared<cUiButton>(ElementType::TextButton, 4, 5001, nullptr, 150);
    std::vector<cUiElementRef> Elements;
};

TEST(FrameSignature, SettledSceneSignsTheSameEveryFrame)
{
    Scene scene;
    scene.Settle();
    cFrameSignature settled = scene.Sign();
    for (const cUiElementRef& element : scene.Elements)
        element->Update(kFrameNs);
    EXPECT_EQ(scene.Sign(), settled);
}

TEST(FrameSignature, EveryVisibleChangeChangesTheSignature)
{
    struct Case {
        const char* Change;
        std::function<void(Scene&)> Apply;
    } cases[] = {
        {"bar grows", [](Scene& s) { s.Bar->SetSize(41, 10); }},
        {"gradient end colour", [](Scene& s) { s.Bar->Colors.back().G = 0; }},
        {"bar fades", [](Scene& s) { s.Bar->SetAlpha(200); }},
        {"logo frame", [](Scene& s) { s.Logo->ShowFrame(0); }},
        {"logo moves", [](Scene& s) { s.Logo->SetPosition(1, 0); }},
        {"logo fades", [](Scene& s) { s.Logo->SetAlpha(10); }},
        {"new text of the same size", [](Scene& s) { s.Status->SetTextNow("LOADINH"); }},
        {"text moves", [](Scene& s) { s.Status->SetPosition(0, 5); }},
        {"text fades", [](Scene& s) { s.Status->SetAlpha(100); }},
        {"button face colour",
         [](Scene& s) {
             s.Exit->RectChild->SetSizeAndColor(160, 40, {0, 116, 228, 200});
         }},
        {"button caption", [](Scene& s) { s.Exit->TextChild->SetTextNow("Quit"); }},
        {"element leaves", [](Scene& s) { s.Elements.pop_back(); }},
        {"order of drawing", [](Scene& s) { std::swap(s.Elements[0], s.Elements[1]); }},
        {"drop shadow", [](Scene& s) { s.Bar->DropShadow = true; }},
    };
    for (const Case& c : cases) {
        Scene scene;
        scene.Settle();
        cFrameSignature before = scene.Sign();
        c.Apply(scene);
        EXPECT_NE(scene.Sign(), before) << c.Change;
    }
}

// The cycling dots change the shown variant every half second; several-line
// texts draw every line, so a change in any line counts.
TEST(FrameSignature, TextVariantsAndLinesCount)
{
    Scene scene;
    scene.Status->Cycles = true;  // as the window's status text does
    scene.Status->SetTextNow("LOADING[...]");
    scene.Settle();
    cFrameSignature before = scene.Sign();
    for (int i = 0; i < 32; ++i)
        scene.Status->Update(kFrameNs);
    EXPECT_NE(scene.Sign(), before);

    scene.Font->FixedWidth = 1040;
    ASSERT_TRUE(scene.Status->SetTextNow(std::string(50, 'a') + " " + std::string(49, 'b')));
    ASSERT_EQ(scene.Status->Mode, TextModeLines);
    before = scene.Sign();
    std::vector<cUiTextureRef> lines = scene.Status->CurrentTexturesCopy();
    ASSERT_GE(lines.size(), 2u);
    {
        std::lock_guard<std::recursive_mutex> lock(scene.Status->Lock);
        scene.Status->CurrentTextures.back() = std::make_shared<cFakeTexture>(lines.back()->Width, 20);
    }
    EXPECT_NE(scene.Sign(), before);
}

}  // namespace
}  // namespace tavrin::launcher
