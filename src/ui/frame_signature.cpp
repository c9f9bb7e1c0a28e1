#include "ui/frame_signature.h"

namespace tavrin::launcher {

namespace {

void AddColor(cFrameSignature& out, const cUiColor* colour)
{
    if (!colour) {
        out.push_back(-1);
        return;
    }
    out.push_back(int64_t{colour->R} << 24 | int64_t{colour->G} << 16 | int64_t{colour->B} << 8 | colour->A);
}

// Serial and size: a record freed and remade at the same address, or resized
// in place, still changes the signature.
void AddTexture(cFrameSignature& out, const cUiTexture* texture)
{
    if (!texture || !texture->HasTexture()) {
        out.push_back(0);
        return;
    }
    out.push_back(static_cast<int64_t>(texture->Serial));
    out.push_back(texture->Width);
    out.push_back(texture->Height);
}

void AddBounds(cFrameSignature& out, const cUiBounds& bounds)
{
    out.push_back(bounds.X);
    out.push_back(bounds.Y);
    out.push_back(bounds.Width);
    out.push_back(bounds.Height);
}

void AddPart(cFrameSignature& out, const cUiElement& element, ElementPart part)
{
    AddBounds(out, element.GetRect(part));
    out.push_back(element.GetAlpha(part));
    AddColor(out, element.GetColor(part));
    AddTexture(out, element.GetTexture(part));
}

void AddColorList(cFrameSignature& out, const cUiElement& element)
{
    const std::vector<cUiColor>* colours = element.GetColorList();
    out.push_back(colours ? static_cast<int64_t>(colours->size()) : -1);
    if (!colours)
        return;
    for (const cUiColor& colour : *colours)
        AddColor(out, &colour);
}

void AddSource(cFrameSignature& out, const cUiElement& element)
{
    const cUiBounds* source = element.GetSourceRect();
    out.push_back(source ? 1 : 0);
    if (source)
        AddBounds(out, *source);
}

// Several-line texts draw every line, not only the one the getters name.
void AddTextLines(cFrameSignature& out, const cUiElement& element)
{
    const auto* text = dynamic_cast<const cUiText*>(&element);
    if (!text)
        return;
    out.push_back(text->Mode);
    if (text->Mode != TextModeLines)
        return;
    std::vector<cUiTextureRef> lines = text->CurrentTexturesCopy();
    out.push_back(static_cast<int64_t>(lines.size()));
    for (const cUiTextureRef& line : lines)
        AddTexture(out, line.get());
}

// A picture or text drawn with alpha 0 (blended) shows nothing, whatever
// it holds: the hidden status texts keep cycling their dots behind the
// error screen, and must not make it redraw twice a second.
bool IsInvisible(cFrameSignature& out, const cUiElement& element, ElementPart part)
{
    if (element.GetAlpha(part) != 0)
        return false;
    out.push_back(0);
    return true;
}

void AddElement(cFrameSignature& out, const cUiElement& element)
{
    out.push_back(element.Id);
    out.push_back(static_cast<int64_t>(element.Type));
    out.push_back(element.DropShadow ? 1 : 0);
    switch (element.Type) {
    case ElementType::GradientRect:
    case ElementType::SolidRect:
        AddPart(out, element, ElementPart::ButtonRect);
        AddColorList(out, element);
        break;
    case ElementType::Image:
    case ElementType::Animation:
        if (IsInvisible(out, element, ElementPart::ButtonImage))
            break;
        AddPart(out, element, ElementPart::ButtonImage);
        AddSource(out, element);
        break;
    case ElementType::Text:
        if (IsInvisible(out, element, ElementPart::TextTexture))
            break;
        AddPart(out, element, ElementPart::TextTexture);
        AddTextLines(out, element);
        break;
    case ElementType::TextButton:
        AddPart(out, element, ElementPart::ButtonRect);
        AddPart(out, element, ElementPart::TextTexture);
        break;
    case ElementType::ImageButton:
        AddPart(out, element, ElementPart::ButtonImage);
        break;
    }
}

}  // namespace

cFrameSignature SignFrame(const std::vector<cUiElementRef>& elements)
{
    cFrameSignature out;
    out.reserve(elements.size() * 16);
    for (const cUiElementRef& element : elements) {
        if (element)
            AddElement(out, *element);
        else
            out.push_back(-2);
    }
    return out;
}

}  // namespace tavrin::launcher
