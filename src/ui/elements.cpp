#include "ui/elements.h"

#include <algorithm>
#include <atomic>

#include "ui/scale.h"

namespace tavrin::launcher {

namespace {
std::atomic<uint64_t> gNextTextureSerial{1};
}  // namespace

cUiTexture::cUiTexture() : Serial(gNextTextureSerial.fetch_add(1)) {}

int32_t cUiFont::Dpi() const { return kBaseDpi; }

cUiElement::cUiElement(ElementType type, int32_t layer, int32_t id, uint8_t maximumAlpha, bool dropShadow)
    : MaximumAlpha(maximumAlpha), Type(type), Layer(layer), Id(id), DropShadow(dropShadow)
{
}

bool cUiElement::HitTest(int32_t pointX, int32_t pointY, int32_t offsetX, int32_t offsetY) const
{
    // 64-bit sums: positions and offsets come from the desktop and may be large.
    int64_t left = int64_t{GetX(ElementPart::None)} + offsetX;
    int64_t top = int64_t{GetY(ElementPart::None)} + offsetY;
    int64_t right = left + GetWidth(ElementPart::None);
    int64_t bottom = top + GetHeight(ElementPart::None);
    return left < pointX && pointX < right && top < pointY && pointY < bottom;
}

const std::vector<cUiColor>* cUiElement::GetColorList() const { return nullptr; }

cUiBounds cUiElement::GetRect(ElementPart part) const
{
    return {GetX(part), GetY(part), GetWidth(part), GetHeight(part)};
}

const cUiBounds* cUiElement::GetSourceRect() const { return nullptr; }

void cUiElement::FadeTo(int32_t alpha, int32_t step)
{
    if (!AnimationsEnabled)
        return;
    Flags |= AnimFading;
    AlphaStep = step;
    TargetAlpha = std::clamp<int32_t>(alpha, 0, MaximumAlpha);
}

void cUiElement::MoveTo(int32_t x, int32_t y, int32_t xStep, int32_t yStep)
{
    Flags |= AnimMoving;
    TargetX = x;
    TargetY = y;
    XStep = xStep;
    YStep = yStep;
}

void cUiElement::ResizeTo(int32_t width, int32_t height, int32_t widthStep, int32_t heightStep)
{
    Flags |= AnimResizing;
    TargetWidth = width;
    TargetHeight = height;
    WidthStep = widthStep;
    HeightStep = heightStep;
}

void cUiElement::Reset()
{
    AnimationsEnabled = 1;
    Flags = 0;
    TargetAlpha = 0;
    TargetX = 0;
    TargetY = 0;
    TargetWidth = 0;
    TargetHeight = 0;
}

bool cUiElement::StepAlpha(uint8_t& value, int32_t target, int32_t step)
{
    int32_t current = value;
    if (StepValue(current, std::clamp(target, 0, 255), step))
        return true;
    value = static_cast<uint8_t>(std::clamp(current, 0, 255));
    return false;
}

bool cUiElement::StepValue(int32_t& value, int32_t target, int32_t step)
{
    if (value == target)
        return true;
    // Widened so a large step cannot overflow past the target.
    int64_t next = value < target ? std::min<int64_t>(target, int64_t{value} + step)
                                  : std::max<int64_t>(target, int64_t{value} - step);
    value = static_cast<int32_t>(next);
    return false;
}

void cUiElement::UpdateMove(int32_t& x, int32_t& y)
{
    if (!StepValue(x, TargetX, XStep))
        return;
    if (!StepValue(y, TargetY, YStep))
        return;
    Flags &= ~AnimMoving;
}

}  // namespace tavrin::launcher
