#include <algorithm>

#include "logging/logger.h"
#include "ui/elements.h"
#include "ui/scale.h"
#include "ui/text_split.h"

namespace tavrin::launcher {

namespace {

void LargestSize(const std::vector<cUiTextureRef>& textures, int32_t& width, int32_t& height)
{
    width = 0;
    height = 0;
    for (const cUiTextureRef& texture : textures) {
        if (!texture)
            continue;
        width = std::max(width, texture->Width);
        height = std::max(height, texture->Height);
    }
}

int32_t FirstLineWidth(const std::vector<cUiTextureRef>& lines)
{
    return lines.empty() || !lines.front() ? 0 : lines.front()->Width;
}

int32_t LinesHeight(const std::vector<cUiTextureRef>& lines)
{
    if (lines.empty())
        return 0;
    int32_t first = lines.front() ? lines.front()->Height : 0;
    int32_t total = 0;
    for (const cUiTextureRef& line : lines)
        total += line ? line->Height : 0;
    return total + static_cast<int32_t>(lines.size() - 1) * static_cast<int32_t>(first * 0.5);
}

bool BuildTextTextures(cUiText& text, const std::string& content, std::vector<cUiTextureRef>& target,
                       int32_t& mode)
{
    std::lock_guard<std::recursive_mutex> lock(text.Lock);
    mode = TextModeNone;
    if (content.empty())
        return false;
    if (!text.Font) {
        LogPrintf(Verbose, "Called with invalid parameters or missing font, %p, '%s'.",
                  static_cast<void*>(text.Font.get()), content.c_str());
        return false;
    }
    std::vector<std::string> pieces;
    int32_t plannedMode = TextModeNone;
    cUiFont& font = *text.Font;
    // Lines break at the same design width at every scale.
    auto measure = [&font](const std::string& piece, int32_t& width) {
        const bool measured = font.MeasureText(piece, width);
        width = UnscaleLength(width, font.Dpi());
        return measured;
    };
    if (!PlanTextPieces(content, measure, text.Cycles, pieces, plannedMode))
        return false;

    std::vector<cUiTextureRef> built;
    for (const std::string& piece : pieces) {
        cUiTextureRef record = font.NewTexture();
        if (!record)
            return false;
        bool rendered = font.RenderLine(piece, text.TextColor, *record);
        if (rendered && record->HasTexture())
            record->ApplyAlpha(text.CurrentAlpha);
        if (!rendered && !piece.empty()) {
            LogPrintf(Error, "Failed in creating the texture for: '%s'.", piece.c_str());
            return false;
        }
        built.push_back(std::move(record));
    }
    // Only a complete build replaces the list: a failed text keeps what it showed.
    target = std::move(built);
    mode = plannedMode;
    return true;
}

}  // namespace

cUiText::cUiText(int32_t layer, int32_t id, uint8_t maximumAlpha, uint8_t initialAlpha, bool dropShadow)
    : cUiElement(ElementType::Text, layer, id, maximumAlpha, dropShadow), CurrentAlpha(initialAlpha)
{
}

uint8_t cUiText::GetAlpha(ElementPart) const { return CurrentAlpha; }
const cUiColor* cUiText::GetColor(ElementPart) const { return &TextColor; }
int32_t cUiText::GetX(ElementPart) const { return X; }
int32_t cUiText::GetY(ElementPart) const { return Y; }

int32_t cUiText::GetWidth(ElementPart part) const
{
    if (part == ElementPart::TextTexture) {
        cUiTexture* shown = GetTexture(part);
        return shown ? shown->Width : 0;
    }
    return part == ElementPart::TextBox ? BoxWidth : 0;
}

int32_t cUiText::GetHeight(ElementPart part) const
{
    if (Mode == TextModeLines) {
        std::lock_guard<std::recursive_mutex> lock(Lock);
        return LinesHeight(CurrentTextures);
    }
    if (part == ElementPart::TextTexture) {
        cUiTexture* shown = GetTexture(part);
        return shown ? shown->Height : 0;
    }
    return part == ElementPart::TextBox ? BoxHeight : 0;
}

cUiTexture* cUiText::GetTexture(ElementPart) const
{
    std::lock_guard<std::recursive_mutex> lock(Lock);
    if (VariantIndex >= CurrentTextures.size())
        return nullptr;
    return CurrentTextures[VariantIndex].get();
}

void cUiText::SetAlpha(uint8_t alpha)
{
    std::lock_guard<std::recursive_mutex> lock(Lock);
    CurrentAlpha = std::min(MaximumAlpha, alpha);
    for (const cUiTextureRef& texture : CurrentTextures) {
        if (texture && texture->HasTexture())
            texture->ApplyAlpha(CurrentAlpha);
    }
}

bool cUiText::HasPendingText() const
{
    std::lock_guard<std::recursive_mutex> lock(Lock);
    return PendingFlag && !PendingTextures.empty();
}

void cUiText::SetPosition(int32_t x, int32_t y)
{
    // A text waiting to replace the current one takes its place when it appears.
    if (HasPendingText()) {
        PendingX = x;
        PendingY = y;
    } else {
        X = x;
        Y = y;
    }
}

void cUiText::SetSize(int32_t, int32_t)
{
    LogPrintf(Warning, "Called for a text element, the size is dictated by the shared font!");
}

void cUiText::SizeAboutToShow(int32_t& width, int32_t& height) const
{
    // Several lines are drawn centred on the first line, so that line's width
    // is the one that centres the block; the widest line would shift it left.
    std::lock_guard<std::recursive_mutex> lock(Lock);
    if (HasPendingText()) {
        LargestSize(PendingTextures, width, height);
        if (PendingMode == TextModeLines) {
            width = FirstLineWidth(PendingTextures);
            height = LinesHeight(PendingTextures);
        }
        return;
    }
    width = Mode == TextModeLines ? FirstLineWidth(CurrentTextures) : BoxWidth;
    height = Mode == TextModeLines ? LinesHeight(CurrentTextures) : BoxHeight;
}

void cUiText::CenterIn(const cUiBounds& rect)
{
    int32_t width = 0;
    int32_t height = 0;
    SizeAboutToShow(width, height);
    SetPosition(rect.X + rect.Width / 2 - width / 2, rect.Y + rect.Height / 2 - height / 2);
}

std::vector<cUiTextureRef> cUiText::CurrentTexturesCopy() const
{
    std::lock_guard<std::recursive_mutex> lock(Lock);
    return CurrentTextures;
}

void cUiText::RecomputeBox() { LargestSize(CurrentTextures, BoxWidth, BoxHeight); }

bool cUiText::SetText(const std::string& text)
{
    std::lock_guard<std::recursive_mutex> lock(Lock);
    bool intoCurrent = CurrentTextures.empty();
    std::vector<cUiTextureRef>& target = intoCurrent ? CurrentTextures : PendingTextures;
    int32_t mode = TextModeNone;
    if (!BuildTextTextures(*this, text, target, mode))
        return false;
    if (AnimationsEnabled) {
        Flags |= AnimFading;
        AlphaStep = 5;
        // Nothing shown yet: fade in. Otherwise fade the old text out first.
        TargetAlpha = intoCurrent ? MaximumAlpha : 0;
    }
    PendingFlag = true;
    if (intoCurrent) {
        CurrentContent = text;
        Mode = mode;
        VariantIndex = 0;
        RecomputeBox();
    } else {
        PendingContent = text;
        PendingMode = mode;
    }
    return true;
}

bool cUiText::SetTextNow(const std::string& text)
{
    std::lock_guard<std::recursive_mutex> lock(Lock);
    int32_t mode = TextModeNone;
    if (!BuildTextTextures(*this, text, CurrentTextures, mode))
        return false;
    CurrentContent = text;
    VariantIndex = 0;
    RecomputeBox();
    Mode = mode;
    return true;
}

bool cUiText::Rebuild()
{
    std::lock_guard<std::recursive_mutex> lock(Lock);
    bool rebuilt = true;
    int32_t mode = TextModeNone;
    if (!CurrentTextures.empty() && !CurrentContent.empty()) {
        if (BuildTextTextures(*this, CurrentContent, CurrentTextures, mode)) {
            Mode = mode;
            if (VariantIndex >= CurrentTextures.size())
                VariantIndex = 0;
            RecomputeBox();
        } else {
            rebuilt = false;
        }
    }
    if (!PendingTextures.empty() && !PendingContent.empty()) {
        // The waiting text's mode is still to be applied when it appears.
        if (BuildTextTextures(*this, PendingContent, PendingTextures, mode)) {
            if (PendingMode != TextModeNone)
                PendingMode = mode;
        } else {
            rebuilt = false;
        }
    }
    return rebuilt;
}

void cUiText::ReplaceWithPending()
{
    CurrentTextures = PendingTextures;
    CurrentContent = PendingContent;
    for (const cUiTextureRef& texture : CurrentTextures) {
        if (texture && texture->HasTexture())
            texture->ApplyAlpha(CurrentAlpha);
    }
    VariantIndex = 0;
    if (PendingX != 0 && PendingY != 0) {
        X = PendingX;
        Y = PendingY;
        PendingX = 0;
        PendingY = 0;
    }
    if (PendingMode != TextModeNone) {
        Mode = PendingMode;
        PendingMode = TextModeNone;
    }
    if (AnimationsEnabled) {
        Flags |= AnimFading;
        AlphaStep = 5;
        TargetAlpha = MaximumAlpha;
    }
    RecomputeBox();
    PendingFlag = false;
}

void cUiText::Update(int64_t frameTimeNs)
{
    std::lock_guard<std::recursive_mutex> lock(Lock);
    if (Mode == TextModeCycling) {
        CycleCountdownNs -= frameTimeNs;
        if (CycleCountdownNs <= 0) {
            CycleCountdownNs = CyclePeriodNs;
            if (!CurrentTextures.empty())
                VariantIndex = (VariantIndex + 1) % CurrentTextures.size();
        }
    }
    if (Flags & AnimFading) {
        if (CurrentAlpha == TargetAlpha)
            Flags &= ~AnimFading;
        else
            StepAlpha(CurrentAlpha, TargetAlpha, AlphaStep);
        if (CurrentAlpha == 0 && PendingFlag && !PendingTextures.empty())
            ReplaceWithPending();
        SetAlpha(CurrentAlpha);
    }
    if (Flags & AnimMoving)
        UpdateMove(X, Y);
}

void cUiText::Reset()
{
    std::lock_guard<std::recursive_mutex> lock(Lock);
    cUiElement::Reset();
    PendingTextures.clear();
    PendingContent.clear();
    PendingFlag = false;
}

}  // namespace tavrin::launcher
