#include <algorithm>

#include "logging/logger.h"
#include "ui/elements.h"

namespace tavrin::launcher {

cUiButton::cUiButton(ElementType type, int32_t layer, int32_t id, std::function<void()> operation,
                     uint8_t initialAlpha)
    : cUiElement(type, layer, id, 255, false), Operation(std::move(operation))
{
    TextChild = std::make_shared<cUiText>(layer, id, 255, initialAlpha, false);
    RectChild = std::make_shared<cUiRect>(ElementType::SolidRect, layer, id, 255, initialAlpha, false);
    ImageChild = std::make_shared<cUiImage>(layer, id, 255, initialAlpha, false);
    if (type == ElementType::TextButton)
        Body = RectChild.get();
    else if (type == ElementType::ImageButton)
        Body = ImageChild.get();
    else
        LogPrintf(VeryVerbose, "Called with unsupported type: %u.", static_cast<uint32_t>(type));
}

ElementPart cUiButton::BodyPart() const
{
    return Type == ElementType::TextButton ? ElementPart::ButtonRect : ElementPart::ButtonImage;
}

cUiElement* cUiButton::ChildFor(ElementPart part, uint32_t logLevel) const
{
    switch (part) {
    case ElementPart::ButtonRect:
        return RectChild.get();
    case ElementPart::ButtonImage:
        return ImageChild.get();
    case ElementPart::TextBox:
    case ElementPart::TextTexture:
        return TextChild.get();
    default:
        LogPrintf(VeryVerbose, "Called with unsupported type: %u.", static_cast<uint32_t>(part));
        LogPrintf(logLevel, "Called with unsupported element type: %u!", static_cast<uint32_t>(part));
        return nullptr;
    }
}

uint8_t cUiButton::GetAlpha(ElementPart part) const
{
    cUiElement* child = ChildFor(part, VeryVerbose);
    return child ? child->GetAlpha(part) : 0;
}

const cUiColor* cUiButton::GetColor(ElementPart part) const
{
    cUiElement* child = ChildFor(part, VeryVerbose);
    return child ? child->GetColor(part) : nullptr;
}

int32_t cUiButton::GetX(ElementPart part) const
{
    cUiElement* child = ChildFor(part, VeryVerbose);
    return child ? child->GetX(part) : 0;
}

int32_t cUiButton::GetY(ElementPart part) const
{
    cUiElement* child = ChildFor(part, VeryVerbose);
    return child ? child->GetY(part) : 0;
}

int32_t cUiButton::GetWidth(ElementPart part) const
{
    cUiElement* child = ChildFor(part, VeryVerbose);
    return child ? child->GetWidth(part) : 0;
}

int32_t cUiButton::GetHeight(ElementPart part) const
{
    cUiElement* child = ChildFor(part, Error);
    return child ? child->GetHeight(part) : 0;
}

cUiTexture* cUiButton::GetTexture(ElementPart part) const
{
    cUiElement* child = ChildFor(part, Error);
    return child ? child->GetTexture(part) : nullptr;
}

void cUiButton::SetAlpha(uint8_t alpha)
{
    // The image child is left alone: an image button's opacity is set on it directly.
    RectChild->SetAlpha(alpha);
    TextChild->SetAlpha(alpha);
}

void cUiButton::SetPosition(int32_t x, int32_t y)
{
    if (Type == ElementType::TextButton) {
        RectChild->SetPosition(x, y);
        TextChild->CenterIn(RectChild->GetRect(ElementPart::ButtonRect));
    } else if (Type == ElementType::ImageButton) {
        ImageChild->SetPosition(x, y);
    }
}

void cUiButton::SetSize(int32_t width, int32_t height)
{
    if (Body)
        Body->SetSize(width, height);
}

bool cUiButton::HitTest(int32_t pointX, int32_t pointY, int32_t offsetX, int32_t offsetY) const
{
    if (!Body)
        return false;
    ElementPart part = BodyPart();
    int64_t left = int64_t{GetX(part)} + offsetX;
    int64_t top = int64_t{GetY(part)} + offsetY;
    int64_t right = left + GetWidth(part);
    int64_t bottom = top + GetHeight(part);
    return left < pointX && pointX < right && top < pointY && pointY < bottom;
}

const std::vector<cUiColor>* cUiButton::GetColorList() const { return RectChild->GetColorList(); }

void cUiButton::FadeTo(int32_t alpha, int32_t step)
{
    if (!Enabled)
        alpha = 0;
    if (Type == ElementType::ImageButton) {
        ImageChild->FadeTo(alpha, step);
    } else if (Type == ElementType::TextButton) {
        RectChild->FadeTo(alpha, step);
        TextChild->FadeTo(alpha, step);
    }
}

void cUiButton::Update(int64_t frameTimeNs)
{
    if (Type == ElementType::TextButton) {
        RectChild->Update(frameTimeNs);
        TextChild->Update(frameTimeNs);
    } else if (Type == ElementType::ImageButton) {
        ImageChild->Update(frameTimeNs);
    }
}

}  // namespace tavrin::launcher
