#include <algorithm>

#include "ui/elements.h"

namespace tavrin::launcher {

cUiImage::cUiImage(int32_t layer, int32_t id, uint8_t maximumAlpha, uint8_t initialAlpha, bool dropShadow)
    : cUiImage(ElementType::Image, layer, id, maximumAlpha, initialAlpha, dropShadow)
{
}

cUiImage::cUiImage(ElementType type, int32_t layer, int32_t id, uint8_t maximumAlpha, uint8_t initialAlpha,
                   bool dropShadow)
    : cUiElement(type, layer, id, maximumAlpha, dropShadow), CurrentAlpha(initialAlpha)
{
}

uint8_t cUiImage::GetAlpha(ElementPart) const { return CurrentAlpha; }
const cUiColor* cUiImage::GetColor(ElementPart) const { return nullptr; }
int32_t cUiImage::GetX(ElementPart) const { return X; }
int32_t cUiImage::GetY(ElementPart) const { return Y; }
int32_t cUiImage::GetWidth(ElementPart) const { return Width; }
int32_t cUiImage::GetHeight(ElementPart) const { return Height; }
cUiTexture* cUiImage::GetTexture(ElementPart) const { return Texture.get(); }

void cUiImage::SetAlpha(uint8_t alpha)
{
    CurrentAlpha = std::min(MaximumAlpha, alpha);
    // Without a texture there is nothing to modulate yet; the alpha is
    // applied when one is attached.
    if (Texture)
        Texture->ApplyAlpha(CurrentAlpha);
}

void cUiImage::SetPosition(int32_t x, int32_t y)
{
    X = x;
    Y = y;
}

void cUiImage::SetSize(int32_t width, int32_t height)
{
    Width = width;
    Height = height;
}

void cUiImage::AttachTexture(cUiTextureRef texture)
{
    Texture = std::move(texture);
    Width = Texture ? Texture->Width : 0;
    Height = Texture ? Texture->Height : 0;
    SetAlpha(CurrentAlpha);
}

void cUiImage::UpdateImage()
{
    if (Flags & AnimFading) {
        if (StepAlpha(CurrentAlpha, TargetAlpha, AlphaStep))
            Flags &= ~AnimFading;
        SetAlpha(CurrentAlpha);
    }
    if (Flags & AnimMoving)
        UpdateMove(X, Y);
}

void cUiImage::Update(int64_t) { UpdateImage(); }

cUiAnimation::cUiAnimation(int32_t layer, int32_t id, uint8_t maximumAlpha, uint8_t initialAlpha,
                           bool dropShadow)
    : cUiImage(ElementType::Animation, layer, id, maximumAlpha, initialAlpha, dropShadow)
{
}

cUiBounds cUiAnimation::GetRect(ElementPart) const
{
    return {X, Y, ShownWidth > 0 ? ShownWidth : FrameWidth, ShownHeight > 0 ? ShownHeight : FrameHeight};
}

const cUiBounds* cUiAnimation::GetSourceRect() const { return &Source; }

void cUiAnimation::Update(int64_t frameTimeNs)
{
    UpdateImage();
    if (Held)
        return;
    CountdownNs -= frameTimeNs;
    if (CountdownNs > 0)
        return;
    // The overshoot is not carried: a 33 ms period over 16 ms frames gives a
    // new frame every third update.
    CountdownNs = FramePeriodNs;
    AdvanceFrame();
}

void cUiAnimation::AdvanceFrame()
{
    if (FrameCount <= 0)
        return;
    int32_t next = FrameIndex + 1;
    if (next < FrameCount || Loop)
        FrameIndex = next % FrameCount;
    Source = SourceForFrame(FrameIndex);
}

void cUiAnimation::ShowFrame(int32_t index)
{
    FrameIndex = std::clamp(index, 0, std::max(FrameCount - 1, 0));
    Source = SourceForFrame(FrameIndex);
}

cUiBounds cUiAnimation::SourceForFrame(int32_t index) const
{
    cUiBounds source{0, 0, FrameWidth, FrameHeight};
    switch (Layout) {
    case SheetRow:
        source.X = index * FrameWidth;
        break;
    case SheetColumn:
        source.Y = index * FrameHeight;
        break;
    case SheetGrid: {
        int32_t sheetHeight = Texture ? Texture->Height : Height;
        int32_t rows = FrameHeight > 0 ? sheetHeight / FrameHeight : 0;
        // A sheet shorter than one frame has no grid to walk.
        if (rows > 0) {
            source.X = FrameWidth * (index / rows);
            source.Y = FrameHeight * (index % rows);
        }
        break;
    }
    default:
        break;
    }
    return source;
}

}  // namespace tavrin::launcher
