// The splash's twelve elements by id, the element group of each launcher
// state, and the active list drawn in layer order. Platform-free: the window
// gives the elements their textures and fonts.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "ui/elements.h"
#include "ui/layout.h"

namespace tavrin::launcher {

class cSplashScene {
public:
    // Creates the elements; the Close and Exit buttons run pressed with the
    // line to log. False when the scene already holds elements.
    bool Populate(std::function<void(const char* message)> pressed);
    // The elements of each state group as the settings leave them; a hidden
    // logo animation never animates.
    void BuildGroups(bool hideGui, bool hideBootstrapper, bool hideLogoAnimation);
    const std::vector<cUiElementRef>& Group(StateGroup group) const { return StateGroups[group]; }

    // Adds the group's elements the list lacks and keeps it sorted by layer
    // (stable: equal layers keep their order).
    void Activate(StateGroup group);
    // The group fades in (buttons to their resting opacity); every other
    // active element is reset and fades out, the logos staying as hidden as
    // the settings and the reveal left them.
    void FadeFor(StateGroup group);
    // Any thread.
    std::vector<cUiElementRef> ActiveCopy();
    // From now on the hidden logo may animate.
    void MarkHiddenLogoRevealed() { HiddenLogoRevealed = true; }
    // Empties the active list, the groups and the element maps.
    void Clear();

    // Any element by id, from whichever map holds it; null for unknown ids.
    cUiElementRef FindElement(int32_t id) const;
    std::shared_ptr<cUiText> FindText(int32_t id) const;
    std::shared_ptr<cUiRect> FindRect(int32_t id) const;
    std::shared_ptr<cUiImage> FindImage(int32_t id) const;
    std::shared_ptr<cUiButton> FindButton(int32_t id) const;
    std::shared_ptr<cUiAnimation> FindAnimation(int32_t id) const;

private:
    void KeepLogoRulesAfterReset(cUiElement& element) const;

    std::map<int32_t, std::shared_ptr<cUiAnimation>> Animations;
    std::map<int32_t, std::shared_ptr<cUiButton>> Buttons;
    std::map<int32_t, std::shared_ptr<cUiRect>> Rects;
    std::map<int32_t, std::shared_ptr<cUiImage>> Images;
    std::map<int32_t, std::shared_ptr<cUiText>> Texts;

    // Indexed by StateGroup.
    std::vector<cUiElementRef> StateGroups[4];
    std::vector<cUiElementRef> ActiveElements;
    std::mutex ActiveElementsLock;

    bool HideLogoAnimation = false;
    bool HiddenLogoRevealed = false;
};

}  // namespace tavrin::launcher
