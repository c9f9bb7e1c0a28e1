#include <algorithm>

#include "logging/logger.h"
#include "ui/elements.h"

namespace tavrin::launcher {

cUiRect::cUiRect(ElementType type, int32_t layer, int32_t id, uint8_t maximumAlpha, uint8_t initialAlpha,
                 bool dropShadow)
    : cUiElement(type, layer, id, maximumAlpha, dropShadow)
{
    Colors.push_back({255, 255, 255, initialAlpha});
}

uint8_t cUiRect::GetAlpha(ElementPart) const { return Colors.empty() ? 0 : Colors.front().A; }

const cUiColor* cUiRect::GetColor(ElementPart) const { return Colors.empty() ? nullptr : &Colors.front(); }

int32_t cUiRect::GetX(ElementPart) const { return X; }
int32_t cUiRect::GetY(ElementPart) const { return Y; }
int32_t cUiRect::GetWidth(ElementPart) const { return Width; }
int32_t cUiRect::GetHeight(ElementPart) const { return Height; }
cUiTexture* cUiRect::GetTexture(ElementPart) const { return nullptr; }

void cUiRect::SetAlpha(uint8_t alpha)
{
    for (cUiColor& colour : Colors)
        colour.A = std::min(MaximumAlpha, alpha);
}

void cUiRect::SetPosition(int32_t x, int32_t y)
{
    X = x;
    Y = y;
}

void cUiRect::SetSize(int32_t width, int32_t height)
{
    Width = width;
    Height = height;
}

const std::vector<cUiColor>* cUiRect::GetColorList() const { return &Colors; }

void cUiRect::SetSizeAndColor(int32_t width, int32_t height, cUiColor colour)
{
    if (width == 0 || height == 0)
        LogPrintf(Verbose, "Called with invalid parameters: %i, %i!", width, height);
    Width = width;
    Height = height;
    Colors.assign(1, colour);
}

void cUiRect::Update(int64_t)
{
    if (Flags & AnimFading) {
        for (cUiColor& colour : Colors) {
            if (colour.A == TargetAlpha)
                Flags &= ~AnimFading;
            else
                StepAlpha(colour.A, TargetAlpha, AlphaStep);
        }
    }
    if (Flags & AnimMoving)
        UpdateMove(X, Y);
    if (Flags & AnimResizing) {
        if (StepValue(Width, TargetWidth, WidthStep) && StepValue(Height, TargetHeight, HeightStep))
            Flags &= ~AnimResizing;
    }
}

}  // namespace tavrin::launcher
