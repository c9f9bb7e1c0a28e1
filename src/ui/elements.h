// The splash window's retained elements: geometry, opacity and the per-frame
// fades, moves, resizes and frame animation. Platform-free: textures and
// fonts are reached through the small interfaces below, which the SDL side
// implements (render_text_win.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tavrin::launcher {

enum class ElementType : int32_t {
    GradientRect = 1,
    SolidRect = 2,
    Image = 3,
    Animation = 4,
    Text = 5,
    TextButton = 6,
    ImageButton = 7,
};

// First argument of the getters; plain elements ignore it.
enum class ElementPart : int32_t {
    None = 0,
    ButtonRect = 1,
    ButtonImage = 2,
    TextBox = 3,
    TextTexture = 4,
};

enum AnimationFlags : uint32_t {
    AnimMoving = 1u << 0,
    AnimFading = 1u << 1,
    AnimResizing = 1u << 2,
};

enum TextMode : int32_t {
    TextModeNone = 0,
    TextModeSingle = 1,
    TextModeCycling = 2,
    TextModeLines = 3,
};

struct cUiColor {
    uint8_t R = 255;
    uint8_t G = 255;
    uint8_t B = 255;
    uint8_t A = 255;
    bool operator==(const cUiColor&) const = default;
};

struct cUiBounds {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    bool operator==(const cUiBounds&) const = default;
};

// One drawable texture with its size. The SDL side owns (or borrows) the
// native texture; the model only sizes and fades it.
class cUiTexture {
public:
    cUiTexture();
    virtual ~cUiTexture() = default;
    virtual bool HasTexture() const = 0;
    // Opacity modulation; the implementation logs its own failures.
    virtual void ApplyAlpha(uint8_t alpha) = 0;

    int32_t Width = 0;
    int32_t Height = 0;
    // Unique for the life of the process: a record made where a freed one
    // lay is still told apart from it (see frame_signature.h).
    const uint64_t Serial;
};

using cUiTextureRef = std::shared_ptr<cUiTexture>;

// A loaded font bound to the renderer its lines are drawn with.
class cUiFont {
public:
    virtual ~cUiFont() = default;
    // False when the font cannot measure the text (logged by the font).
    virtual bool MeasureText(const std::string& text, int32_t& width) = 0;
    virtual cUiTextureRef NewTexture() = 0;
    // Renders one line into the record; false when no surface could be made.
    virtual bool RenderLine(const std::string& piece, cUiColor colour, cUiTexture& record) = 0;
    // The DPI the font renders at: its measures are pixels at that DPI.
    virtual int32_t Dpi() const;
};

class cUiElement {
public:
    cUiElement(ElementType type, int32_t layer, int32_t id, uint8_t maximumAlpha, bool dropShadow);
    virtual ~cUiElement() = default;
    cUiElement(const cUiElement&) = delete;
    cUiElement& operator=(const cUiElement&) = delete;

    virtual uint8_t GetAlpha(ElementPart part) const = 0;
    virtual const cUiColor* GetColor(ElementPart part) const = 0;
    virtual int32_t GetX(ElementPart part) const = 0;
    virtual int32_t GetY(ElementPart part) const = 0;
    virtual int32_t GetWidth(ElementPart part) const = 0;
    virtual int32_t GetHeight(ElementPart part) const = 0;
    virtual cUiTexture* GetTexture(ElementPart part) const = 0;
    virtual void SetAlpha(uint8_t alpha) = 0;
    virtual void SetPosition(int32_t x, int32_t y) = 0;
    virtual void SetSize(int32_t width, int32_t height) = 0;
    // Strict on all four sides: a point on an edge is outside.
    virtual bool HitTest(int32_t pointX, int32_t pointY, int32_t offsetX, int32_t offsetY) const;
    virtual const std::vector<cUiColor>* GetColorList() const;
    virtual cUiBounds GetRect(ElementPart part) const;
    // Null draws the whole texture.
    virtual const cUiBounds* GetSourceRect() const;
    virtual void FadeTo(int32_t alpha, int32_t step);
    virtual void MoveTo(int32_t x, int32_t y, int32_t xStep, int32_t yStep);
    virtual void ResizeTo(int32_t width, int32_t height, int32_t widthStep, int32_t heightStep);
    virtual void Update(int64_t frameTimeNs) = 0;
    virtual void Reset();

    // Approach rule: true (and no change) when value already equals target.
    static bool StepAlpha(uint8_t& value, int32_t target, int32_t step);
    static bool StepValue(int32_t& value, int32_t target, int32_t step);

    bool IsButton() const { return Type == ElementType::TextButton || Type == ElementType::ImageButton; }

    uint32_t Flags = 0;
    uint8_t MaximumAlpha;
    int32_t TargetAlpha = 0;
    int32_t TargetX = 0;
    int32_t TargetY = 0;
    int32_t TargetWidth = 0;
    int32_t TargetHeight = 0;
    int32_t AlphaStep = 5;
    int32_t XStep = 1;
    int32_t YStep = 1;
    int32_t WidthStep = 1;
    int32_t HeightStep = 1;
    ElementType Type;
    int32_t Layer;
    int32_t Id;
    bool DropShadow;
    uint32_t AnimationsEnabled = 1;

protected:
    // Moves x first, then y; clears the moving bit once both have arrived.
    void UpdateMove(int32_t& x, int32_t& y);
};

using cUiElementRef = std::shared_ptr<cUiElement>;

class cUiRect : public cUiElement {
public:
    // type is GradientRect or SolidRect; starts with one white colour.
    cUiRect(ElementType type, int32_t layer, int32_t id, uint8_t maximumAlpha, uint8_t initialAlpha,
            bool dropShadow);

    uint8_t GetAlpha(ElementPart part) const override;
    const cUiColor* GetColor(ElementPart part) const override;
    int32_t GetX(ElementPart part) const override;
    int32_t GetY(ElementPart part) const override;
    int32_t GetWidth(ElementPart part) const override;
    int32_t GetHeight(ElementPart part) const override;
    cUiTexture* GetTexture(ElementPart part) const override;
    void SetAlpha(uint8_t alpha) override;
    void SetPosition(int32_t x, int32_t y) override;
    void SetSize(int32_t width, int32_t height) override;
    const std::vector<cUiColor>* GetColorList() const override;
    void Update(int64_t frameTimeNs) override;

    void SetSizeAndColor(int32_t width, int32_t height, cUiColor colour);

    std::vector<cUiColor> Colors;
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

class cUiImage : public cUiElement {
public:
    cUiImage(int32_t layer, int32_t id, uint8_t maximumAlpha, uint8_t initialAlpha, bool dropShadow);

    uint8_t GetAlpha(ElementPart part) const override;
    const cUiColor* GetColor(ElementPart part) const override;
    int32_t GetX(ElementPart part) const override;
    int32_t GetY(ElementPart part) const override;
    int32_t GetWidth(ElementPart part) const override;
    int32_t GetHeight(ElementPart part) const override;
    cUiTexture* GetTexture(ElementPart part) const override;
    void SetAlpha(uint8_t alpha) override;
    void SetPosition(int32_t x, int32_t y) override;
    void SetSize(int32_t width, int32_t height) override;
    void Update(int64_t frameTimeNs) override;

    // Takes the texture and its size, and applies the current opacity to it.
    void AttachTexture(cUiTextureRef texture);

    cUiTextureRef Texture;
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t CurrentAlpha;

protected:
    cUiImage(ElementType type, int32_t layer, int32_t id, uint8_t maximumAlpha, uint8_t initialAlpha,
             bool dropShadow);
    void UpdateImage();
};

enum SheetLayout : int32_t {
    SheetRow = 1,
    SheetColumn = 2,
    SheetGrid = 3,
};

class cUiAnimation : public cUiImage {
public:
    cUiAnimation(int32_t layer, int32_t id, uint8_t maximumAlpha, uint8_t initialAlpha, bool dropShadow);

    cUiBounds GetRect(ElementPart part) const override;
    const cUiBounds* GetSourceRect() const override;
    void Update(int64_t frameTimeNs) override;

    // Jumps to a frame (clamped to the sheet) and shows it at once.
    void ShowFrame(int32_t index);
    // The frame's place on the sheet for the current layout.
    cUiBounds SourceForFrame(int32_t index) const;

    bool Loop = false;
    int32_t FrameWidth = 0;
    int32_t FrameHeight = 0;
    // The size a frame is drawn at; 0 draws it at its size on the sheet.
    int32_t ShownWidth = 0;
    int32_t ShownHeight = 0;
    cUiBounds Source;
    int32_t FrameCount = 0;
    int32_t Layout = SheetRow;
    int64_t FramePeriodNs = 33'000'000;
    int64_t CountdownNs = 33'000'000;
    int32_t FrameIndex = 0;
    // Stays on its frame while set: the rest of its sheet is not ready yet.
    bool Held = false;

private:
    void AdvanceFrame();
};

class cUiText : public cUiElement {
public:
    cUiText(int32_t layer, int32_t id, uint8_t maximumAlpha, uint8_t initialAlpha, bool dropShadow);

    uint8_t GetAlpha(ElementPart part) const override;
    const cUiColor* GetColor(ElementPart part) const override;
    int32_t GetX(ElementPart part) const override;
    int32_t GetY(ElementPart part) const override;
    int32_t GetWidth(ElementPart part) const override;
    int32_t GetHeight(ElementPart part) const override;
    cUiTexture* GetTexture(ElementPart part) const override;
    void SetAlpha(uint8_t alpha) override;
    void SetPosition(int32_t x, int32_t y) override;
    void SetSize(int32_t width, int32_t height) override;
    void Update(int64_t frameTimeNs) override;
    void Reset() override;

    // New content with a cross-fade: fades in when nothing is shown, else
    // fades the old text out and the new one in. False keeps the old content.
    bool SetText(const std::string& text);
    // New content at once, without a fade.
    bool SetTextNow(const std::string& text);
    // Renders the shown and the waiting text again with the element's font
    // (a new size of it), keeping opacity, fades and cycling. False when a
    // text could not be built; that list keeps its old textures.
    bool Rebuild();
    // Centres the text about to be shown on the rectangle.
    void CenterIn(const cUiBounds& rect);
    // Size of the text about to be shown: the pending one if any, else the
    // current one (widest variant; total height of several lines).
    void SizeAboutToShow(int32_t& width, int32_t& height) const;
    bool HasPendingText() const;
    // Copy taken under the lock, for drawing.
    std::vector<cUiTextureRef> CurrentTexturesCopy() const;

    int32_t Mode = TextModeSingle;
    // Reads "<text>[<inner>]" as a cycle of variants instead of literal text.
    bool Cycles = false;
    int32_t BoxWidth = 0;
    int32_t BoxHeight = 0;
    int32_t X = 0;
    int32_t Y = 0;
    int32_t PendingX = 0;
    int32_t PendingY = 0;
    bool PendingFlag = false;
    int32_t PendingMode = TextModeNone;
    cUiColor TextColor{255, 255, 255, 255};
    uint8_t CurrentAlpha;
    std::vector<cUiTextureRef> CurrentTextures;
    std::vector<cUiTextureRef> PendingTextures;
    // The texts the two lists were built from, for Rebuild.
    std::string CurrentContent;
    std::string PendingContent;
    mutable std::recursive_mutex Lock;
    int64_t CyclePeriodNs = 500'000'000;
    int64_t CycleCountdownNs = 500'000'000;
    uint32_t VariantIndex = 0;
    std::shared_ptr<cUiFont> Font;

private:
    void ReplaceWithPending();
    void RecomputeBox();
};

class cUiButton : public cUiElement {
public:
    // type is TextButton or ImageButton; any other leaves the button without a body.
    cUiButton(ElementType type, int32_t layer, int32_t id, std::function<void()> operation,
              uint8_t initialAlpha);

    uint8_t GetAlpha(ElementPart part) const override;
    const cUiColor* GetColor(ElementPart part) const override;
    int32_t GetX(ElementPart part) const override;
    int32_t GetY(ElementPart part) const override;
    int32_t GetWidth(ElementPart part) const override;
    int32_t GetHeight(ElementPart part) const override;
    cUiTexture* GetTexture(ElementPart part) const override;
    void SetAlpha(uint8_t alpha) override;
    void SetPosition(int32_t x, int32_t y) override;
    void SetSize(int32_t width, int32_t height) override;
    bool HitTest(int32_t pointX, int32_t pointY, int32_t offsetX, int32_t offsetY) const override;
    const std::vector<cUiColor>* GetColorList() const override;
    void FadeTo(int32_t alpha, int32_t step) override;
    void Update(int64_t frameTimeNs) override;

    ElementPart BodyPart() const;

    cUiElement* Body = nullptr;
    std::shared_ptr<cUiText> TextChild;
    std::shared_ptr<cUiRect> RectChild;
    std::shared_ptr<cUiImage> ImageChild;
    std::function<void()> Operation;
    bool Enabled = true;

private:
    // The child a part selects; null (logged) for parts outside 1 to 4.
    cUiElement* ChildFor(ElementPart part, uint32_t logLevel) const;
};

}  // namespace tavrin::launcher
