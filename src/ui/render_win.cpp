#include "ui/render_win.h"

#include <algorithm>

#include "logging/logger.h"
#include "ui/render_text_win.h"

namespace tavrin::launcher {

namespace {

SDL_Rect ToSdl(const cUiBounds& bounds) { return {bounds.X, bounds.Y, bounds.Width, bounds.Height}; }

// Reads the draw colour on construction and puts it back on destruction, so
// no fill leaves its colour behind for the next element.
class cDrawColorGuard {
public:
    explicit cDrawColorGuard(SDL_Renderer* renderer) : Renderer(renderer)
    {
        int result = SDL_GetRenderDrawColor(renderer, &R, &G, &B, &A);
        Saved = result == 0;
        if (!Saved)
            LogPrintf(Error, "Failed to get the renderer color: %i, '%s'.", result, SDL_GetError());
    }
    ~cDrawColorGuard()
    {
        if (Saved)
            SetDrawColor(Renderer, R, G, B, A);
    }
    cDrawColorGuard(const cDrawColorGuard&) = delete;
    cDrawColorGuard& operator=(const cDrawColorGuard&) = delete;

    static void SetDrawColor(SDL_Renderer* renderer, uint8_t r, uint8_t g, uint8_t b, uint8_t a)
    {
        int result = SDL_SetRenderDrawColor(renderer, r, g, b, a);
        if (result != 0)
            LogPrintf(Error, "Renderer drawing color not set, failed with %i: '%s'.", result, SDL_GetError());
    }

private:
    SDL_Renderer* Renderer;
    uint8_t R = 0;
    uint8_t G = 0;
    uint8_t B = 0;
    uint8_t A = 0;
    bool Saved = false;
};

bool MissingTexture()
{
    SDL_SetError("Submit called with an invalid SDL texture!");
    return false;
}

bool CopyTexture(SDL_Renderer* renderer, const cUiElement& element, ElementPart part)
{
    SDL_Texture* texture = NativeTexture(element.GetTexture(part));
    if (!texture)
        return MissingTexture();
    SDL_Rect destination = ToSdl(element.GetRect(part));
    const cUiBounds* source = element.GetSourceRect();
    SDL_Rect sourceRect = source ? ToSdl(*source) : SDL_Rect{};
    return SDL_RenderCopy(renderer, texture, source ? &sourceRect : nullptr, &destination) == 0;
}

bool FillSolid(SDL_Renderer* renderer, const cUiElement& element)
{
    cDrawColorGuard guard(renderer);
    SDL_Rect destination = ToSdl(element.GetRect(ElementPart::ButtonRect));
    if (const cUiColor* colour = element.GetColor(ElementPart::ButtonRect))
        cDrawColorGuard::SetDrawColor(renderer, colour->R, colour->G, colour->B, colour->A);
    return SDL_RenderFillRect(renderer, &destination) == 0;
}

ElementPart DrawPart(ElementType type)
{
    switch (type) {
    case ElementType::Image:
    case ElementType::Animation:
        return ElementPart::ButtonImage;
    case ElementType::Text:
        return ElementPart::TextTexture;
    default:
        return ElementPart::ButtonRect;
    }
}

// Copies the texture with its colour modulated to black, then puts the
// modulation back whether or not the copy worked.
int CopyInBlack(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect* source,
                const SDL_Rect& destination)
{
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    int result = SDL_GetTextureColorMod(texture, &r, &g, &b);
    if (result != 0)
        return result;
    SDL_SetTextureColorMod(texture, 0, 0, 0);
    result = SDL_RenderCopy(renderer, texture, source, &destination);
    SDL_SetTextureColorMod(texture, r, g, b);
    return result;
}

// Every line centred on the first line's centre, half the tallest line
// apart. A shadow is the same lines in black, moved right and down.
bool DrawLines(SDL_Renderer* renderer, const cUiText& text, bool shadow, int32_t shadowOffset)
{
    std::vector<cUiTextureRef> lines = text.CurrentTexturesCopy();
    if (lines.empty()) {
        LogPrintf(Verbose, "Textures of a text object had changed midway through rendering!");
        return false;
    }
    int32_t tallest = 0;
    for (const cUiTextureRef& line : lines)
        tallest = std::max(tallest, line ? line->Height : 0);
    int32_t gap = static_cast<int32_t>(tallest * 0.5);
    int32_t firstWidth = lines.front() ? lines.front()->Width : 0;
    int32_t firstHeight = lines.front() ? lines.front()->Height : 0;
    int32_t offset = shadow ? shadowOffset : 0;
    int32_t x = text.GetX(ElementPart::TextTexture) + offset;
    int32_t y = text.GetY(ElementPart::TextTexture) + offset;
    bool all = true;
    for (size_t i = 0; i < lines.size(); ++i) {
        const cUiTexture* line = lines[i].get();
        SDL_Texture* texture = NativeTexture(line);
        int result = -1;
        if (texture) {
            SDL_Rect destination{x + firstWidth / 2 - line->Width / 2,
                                 y + (gap + firstHeight) * static_cast<int32_t>(i), line->Width,
                                 line->Height};
            result = shadow ? CopyInBlack(renderer, texture, nullptr, destination)
                            : SDL_RenderCopy(renderer, texture, nullptr, &destination);
        }
        if (result != 0) {
            if (!shadow)
                LogPrintf(Error, "Rendering of the multilinetext failed with %i!", result);
            all = false;
        }
    }
    return all;
}

const cUiText* AsLinesText(const cUiElement& element)
{
    auto* text = dynamic_cast<const cUiText*>(&element);
    return text && text->Mode == TextModeLines ? text : nullptr;
}

void DrawShadow(SDL_Renderer* renderer, const cUiElement& element, int32_t offset)
{
    uint32_t type = static_cast<uint32_t>(element.Type);
    // Several lines cast one shadow each; the texture rectangle of such a
    // text spans all lines and would stretch the first one over them.
    if (const cUiText* lines = AsLinesText(element)) {
        if (!DrawLines(renderer, *lines, true, offset))
            LogPrintf(Verbose, "Failed to render the drop shadow for object type %u.", type);
        return;
    }
    ElementPart part = DrawPart(element.Type);
    SDL_Texture* texture = NativeTexture(element.GetTexture(part));
    if (!texture) {
        MissingTexture();
        LogPrintf(Verbose, "Failed to render the drop shadow for object type %u.", type);
        return;
    }
    SDL_Rect destination = ToSdl(element.GetRect(part));
    destination.x += offset;
    destination.y += offset;
    const cUiBounds* source = element.GetSourceRect();
    SDL_Rect sourceRect = source ? ToSdl(*source) : SDL_Rect{};
    if (CopyInBlack(renderer, texture, source ? &sourceRect : nullptr, destination) != 0)
        LogPrintf(Verbose, "Failed to render the drop shadow for object type %u.", type);
}

bool DrawTextElement(SDL_Renderer* renderer, const cUiElement& element)
{
    if (const cUiText* lines = AsLinesText(element))
        return DrawLines(renderer, *lines, false, 0);
    return CopyTexture(renderer, element, ElementPart::TextTexture);
}

bool DrawGradient(SDL_Renderer* renderer, const cUiElement& element)
{
    cDrawColorGuard guard(renderer);
    cUiBounds destination = element.GetRect(ElementPart::ButtonRect);
    const std::vector<cUiColor>* colours = element.GetColorList();
    if (!colours || colours->size() != 2)
        return false;
    const cUiColor& first = colours->front();
    const cUiColor& last = colours->back();
    bool drew = true;
    for (int32_t i = 0; i < destination.Width; ++i) {
        // Column i takes first + (i + 1) / width of the way, so the last
        // column lands exactly on the last colour.
        double t = static_cast<double>(i + 1) / destination.Width;
        auto channel = [t](uint8_t from, uint8_t to) {
            return static_cast<uint8_t>(from + (static_cast<double>(to) - from) * t);
        };
        cDrawColorGuard::SetDrawColor(renderer, channel(first.R, last.R), channel(first.G, last.G),
                                      channel(first.B, last.B), channel(first.A, last.A));
        SDL_Rect column{destination.X + i, destination.Y, 1, destination.Height};
        if (SDL_RenderFillRect(renderer, &column) != 0)
            drew = false;
    }
    return drew;
}

}  // namespace

bool DrawElement(SDL_Renderer* renderer, const cUiElement* element, int32_t shadowOffset)
{
    if (!element) {
        LogPrintf(Error, "Called with an invalid object!");
        return false;
    }
    if (element->DropShadow)
        DrawShadow(renderer, *element, shadowOffset);
    switch (element->Type) {
    case ElementType::GradientRect:
        return DrawGradient(renderer, *element);
    case ElementType::SolidRect:
        return FillSolid(renderer, *element);
    case ElementType::Image:
    case ElementType::Animation:
    case ElementType::ImageButton:
        return CopyTexture(renderer, *element, ElementPart::ButtonImage);
    case ElementType::Text:
        return DrawTextElement(renderer, *element);
    case ElementType::TextButton: {
        bool face = FillSolid(renderer, *element);
        bool caption = CopyTexture(renderer, *element, ElementPart::TextTexture);
        return face && caption;
    }
    default:
        LogPrintf(Error, "Called for an unsupported object type %u!", static_cast<uint32_t>(element->Type));
        return false;
    }
}

}  // namespace tavrin::launcher
