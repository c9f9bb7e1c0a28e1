// The splash's elements, state groups and active list, without SDL.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/splash_scene.h"

namespace tavrin::launcher {
namespace {

std::vector<int32_t> Ids(const std::vector<cUiElementRef>& elements)
{
    std::vector<int32_t> ids;
    for (const cUiElementRef& element : elements)
        ids.push_back(element->Id);
    return ids;
}

TEST(SplashScene, ElementsAreFoundByIdOnceAndTheButtonsSayWhichWasPressed)
{
    cSplashScene scene;
    std::vector<std::string> pressed;
    ASSERT_TRUE(scene.Populate([&](const char* message) { pressed.emplace_back(message); }));
    EXPECT_FALSE(scene.Populate([](const char*) {}));
    for (int32_t id : {SplashImage, LogoAnimation, HiddenLogo, ProgressTrack, ProgressBar, ErrorOverlay,
                       StatusText, PercentText, ErrorTitle, ErrorMessage, CloseButton, ExitButton}) {
        ASSERT_NE(scene.FindElement(id), nullptr) << id;
        EXPECT_EQ(scene.FindElement(id)->Id, id);
    }
    EXPECT_EQ(scene.FindElement(42), nullptr);
    EXPECT_EQ(scene.FindText(CloseButton), nullptr);  // each finder looks in its own kind only
    scene.FindButton(CloseButton)->Operation();
    scene.FindButton(ExitButton)->Operation();
    EXPECT_EQ(pressed, (std::vector<std::string>{"Close button pressed by the user, setting exit flag.",
                                                 "Exit button pressed by the user, setting exit flag."}));
    scene.Clear();
    EXPECT_EQ(scene.FindElement(SplashImage), nullptr);
    EXPECT_TRUE(scene.Populate([](const char*) {}));
}

TEST(SplashScene, ActivationAddsEachElementOnceInLayerOrder)
{
    cSplashScene scene;
    ASSERT_TRUE(scene.Populate([](const char*) {}));
    scene.BuildGroups(false, false, false);
    scene.Activate(GroupLoading);
    scene.Activate(GroupError);
    scene.Activate(GroupLoading);
    const std::vector<cUiElementRef> active = scene.ActiveCopy();
    // Loading first, then what the error group adds; stable within a layer.
    EXPECT_EQ(Ids(active), (std::vector<int32_t>{SplashImage, LogoAnimation, HiddenLogo, ProgressTrack,
                                                 ProgressBar, StatusText, PercentText, ErrorOverlay,
                                                 ErrorTitle, ErrorMessage, CloseButton, ExitButton}));
    EXPECT_TRUE(
        std::is_sorted(active.begin(), active.end(),
                       [](const cUiElementRef& a, const cUiElementRef& b) { return a->Layer < b->Layer; }));
}

// Fading out resets an element, which would let a hidden logo animate again.
TEST(SplashScene, FadingOutKeepsTheLogosAsHiddenAsTheyWere)
{
    struct Case {
        bool HideLogoAnimation;
        bool Revealed;
        uint32_t LogoAnimates;
        uint32_t HiddenLogoAnimates;
    };
    const Case cases[] = {
        {false, false, 1, 0},
        {true, false, 0, 0},
        {true, true, 0, 1},
        {false, true, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.HideLogoAnimation << c.Revealed);
        cSplashScene scene;
        ASSERT_TRUE(scene.Populate([](const char*) {}));
        scene.BuildGroups(true, false, c.HideLogoAnimation);  // hidden GUI: loading shows no logos
        EXPECT_EQ(scene.FindAnimation(LogoAnimation)->AnimationsEnabled, c.HideLogoAnimation ? 0u : 1u);
        scene.Activate(GroupError);
        if (c.Revealed)
            scene.MarkHiddenLogoRevealed();
        scene.FadeFor(GroupLoading);
        EXPECT_EQ(scene.FindAnimation(LogoAnimation)->AnimationsEnabled, c.LogoAnimates);
        EXPECT_EQ(scene.FindImage(HiddenLogo)->AnimationsEnabled, c.HiddenLogoAnimates);
        EXPECT_EQ(scene.FindAnimation(LogoAnimation)->TargetAlpha, 0);
        EXPECT_EQ(scene.FindImage(SplashImage)->TargetAlpha, 255);
        EXPECT_EQ(scene.FindButton(CloseButton)->ImageChild->TargetAlpha, kButtonRestAlpha);
    }
}

}  // namespace
}  // namespace tavrin::launcher
