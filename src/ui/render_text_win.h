// SDL side of the element model: textures that SDL draws, and fonts that
// measure and render text lines with SDL_ttf.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <string>

#include "ui/elements.h"
#include "ui/scale.h"

namespace tavrin::launcher {

// Wraps one SDL texture; destroys it only when owned (text lines are, asset
// textures belong to the asset store).
class cSdlTexture : public cUiTexture {
public:
    cSdlTexture() = default;
    cSdlTexture(SDL_Texture* texture, int32_t width, int32_t height, bool owned);
    ~cSdlTexture() override;
    cSdlTexture(const cSdlTexture&) = delete;
    cSdlTexture& operator=(const cSdlTexture&) = delete;

    bool HasTexture() const override { return Texture != nullptr; }
    void ApplyAlpha(uint8_t alpha) override;
    // Destroys an owned texture and forgets it.
    void Release();

    SDL_Texture* Texture = nullptr;
    bool Owned = true;
};

// The SDL texture behind a model texture; null for none.
SDL_Texture* NativeTexture(const cUiTexture* texture);

// A font of the asset store (not owned), opened for dpi, and the renderer its
// lines go to.
class cSdlFont : public cUiFont {
public:
    cSdlFont(TTF_Font* font, SDL_Renderer* renderer, int32_t dpi = kBaseDpi)
        : Font(font), Renderer(renderer), FontDpi(dpi)
    {
    }

    bool MeasureText(const std::string& text, int32_t& width) override;
    cUiTextureRef NewTexture() override;
    bool RenderLine(const std::string& piece, cUiColor colour, cUiTexture& record) override;
    int32_t Dpi() const override { return FontDpi; }

    TTF_Font* Font;
    SDL_Renderer* Renderer;
    int32_t FontDpi;
};

// Renders one UTF-8 line, blended, into the record's texture (replacing any
// old one). False for an empty piece or when no surface could be made; a
// surface that gives no texture leaves the record without one.
bool RenderTextLine(SDL_Renderer* renderer, const std::string& piece, TTF_Font* font, cUiColor colour,
                    cSdlTexture& record);

}  // namespace tavrin::launcher
