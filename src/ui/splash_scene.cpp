#include "ui/splash_scene.h"

#include <algorithm>

namespace tavrin::launcher {

namespace {

template <typename Map>
typename Map::mapped_type Lookup(const Map& map, int32_t id)
{
    auto found = map.find(id);
    return found == map.end() ? nullptr : found->second;
}

}  // namespace

bool cSplashScene::Populate(std::function<void(const char* message)> pressed)
{
    if (!Rects.empty() || !Images.empty() || !Texts.empty() || !Buttons.empty())
        return false;
    Images[SplashImage] = std::make_shared<cUiImage>(0, SplashImage, 255, 0, false);
    Animations[LogoAnimation] = std::make_shared<cUiAnimation>(1, LogoAnimation, 255, 0, true);
    Images[HiddenLogo] = std::make_shared<cUiImage>(1, HiddenLogo, 255, 0, false);
    Rects[ProgressTrack] = std::make_shared<cUiRect>(ElementType::SolidRect, 1, ProgressTrack, 114, 0, false);
    Rects[ProgressBar] = std::make_shared<cUiRect>(ElementType::GradientRect, 1, ProgressBar, 255, 0, false);
    Rects[ErrorOverlay] = std::make_shared<cUiRect>(ElementType::SolidRect, 2, ErrorOverlay, 229, 0, false);
    Texts[StatusText] = std::make_shared<cUiText>(1, StatusText, 255, 0, true);
    Texts[PercentText] = std::make_shared<cUiText>(1, PercentText, 255, 0, true);
    // Only the status line animates "[...]"; other texts show brackets as written.
    Texts[StatusText]->Cycles = true;
    Texts[PercentText]->Cycles = true;
    Texts[ErrorTitle] = std::make_shared<cUiText>(3, ErrorTitle, 255, 0, false);
    Texts[ErrorMessage] = std::make_shared<cUiText>(3, ErrorMessage, 255, 0, false);
    Buttons[CloseButton] = std::make_shared<cUiButton>(
        ElementType::ImageButton, 4, CloseButton,
        [pressed] { pressed("Close button pressed by the user, setting exit flag."); }, kButtonRestAlpha);
    Buttons[ExitButton] = std::make_shared<cUiButton>(
        ElementType::TextButton, 4, ExitButton,
        [pressed] { pressed("Exit button pressed by the user, setting exit flag."); }, kButtonRestAlpha);
    return !Rects.empty() && !Images.empty() && !Texts.empty() && !Buttons.empty();
}

void cSplashScene::BuildGroups(bool hideGui, bool hideBootstrapper, bool hideLogoAnimation)
{
    for (int32_t group = GroupLoading; group <= GroupWaiting; ++group) {
        StateGroups[group].clear();
        for (int32_t id : StateGroupIds(static_cast<StateGroup>(group), hideGui, hideBootstrapper)) {
            if (cUiElementRef element = FindElement(id))
                StateGroups[group].push_back(element);
        }
    }
    HideLogoAnimation = hideLogoAnimation;
    if (auto logo = FindAnimation(LogoAnimation); logo && HideLogoAnimation)
        logo->AnimationsEnabled = 0;
}

void cSplashScene::Activate(StateGroup group)
{
    std::lock_guard<std::mutex> lock(ActiveElementsLock);
    for (const cUiElementRef& element : StateGroups[group]) {
        if (std::find(ActiveElements.begin(), ActiveElements.end(), element) == ActiveElements.end())
            ActiveElements.push_back(element);
    }
    std::stable_sort(ActiveElements.begin(), ActiveElements.end(),
                     [](const cUiElementRef& a, const cUiElementRef& b) { return a->Layer < b->Layer; });
}

void cSplashScene::KeepLogoRulesAfterReset(cUiElement& element) const
{
    // Reset re-enables animations; the logos must stay as hidden as the
    // settings and the key sequence left them.
    if (element.Id == LogoAnimation && HideLogoAnimation)
        element.AnimationsEnabled = 0;
    if (element.Id == HiddenLogo && !HiddenLogoRevealed)
        element.AnimationsEnabled = 0;
}

void cSplashScene::FadeFor(StateGroup group)
{
    const std::vector<cUiElementRef>& members = StateGroups[group];
    for (const cUiElementRef& element : ActiveCopy()) {
        bool inGroup = std::find(members.begin(), members.end(), element) != members.end();
        if (inGroup) {
            element->FadeTo(element->IsButton() ? kButtonRestAlpha : 255, kFadeStep);
        } else {
            element->Reset();
            KeepLogoRulesAfterReset(*element);
            element->FadeTo(0, kFadeStep);
        }
    }
}

std::vector<cUiElementRef> cSplashScene::ActiveCopy()
{
    std::lock_guard<std::mutex> lock(ActiveElementsLock);
    return ActiveElements;
}

void cSplashScene::Clear()
{
    {
        std::lock_guard<std::mutex> lock(ActiveElementsLock);
        ActiveElements.clear();
    }
    for (auto& group : StateGroups)
        group.clear();
    Animations.clear();
    Buttons.clear();
    Rects.clear();
    Images.clear();
    Texts.clear();
}

cUiElementRef cSplashScene::FindElement(int32_t id) const
{
    if (auto found = Lookup(Animations, id))
        return found;
    if (auto found = Lookup(Buttons, id))
        return found;
    if (auto found = Lookup(Rects, id))
        return found;
    if (auto found = Lookup(Images, id))
        return found;
    return Lookup(Texts, id);
}

std::shared_ptr<cUiText> cSplashScene::FindText(int32_t id) const { return Lookup(Texts, id); }
std::shared_ptr<cUiRect> cSplashScene::FindRect(int32_t id) const { return Lookup(Rects, id); }
std::shared_ptr<cUiImage> cSplashScene::FindImage(int32_t id) const { return Lookup(Images, id); }
std::shared_ptr<cUiButton> cSplashScene::FindButton(int32_t id) const { return Lookup(Buttons, id); }

std::shared_ptr<cUiAnimation> cSplashScene::FindAnimation(int32_t id) const { return Lookup(Animations, id); }

}  // namespace tavrin::launcher
