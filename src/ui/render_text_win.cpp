#include "ui/render_text_win.h"

#include "logging/logger.h"

namespace tavrin::launcher {

cSdlTexture::cSdlTexture(SDL_Texture* texture, int32_t width, int32_t height, bool owned)
    : Texture(texture), Owned(owned)
{
    Width = width;
    Height = height;
}

cSdlTexture::~cSdlTexture() { Release(); }

void cSdlTexture::Release()
{
    if (Texture && Owned)
        SDL_DestroyTexture(Texture);
    Texture = nullptr;
}

void cSdlTexture::ApplyAlpha(uint8_t alpha)
{
    int result = SDL_SetTextureAlphaMod(Texture, alpha);
    if (result != 0)
        LogPrintf(Error, "Failed with: %i, '%s'.", result, SDL_GetError());
}

SDL_Texture* NativeTexture(const cUiTexture* texture)
{
    auto* native = dynamic_cast<const cSdlTexture*>(texture);
    return native ? native->Texture : nullptr;
}

namespace {

bool MeasureTextWidth(TTF_Font* font, const std::string& text, int32_t& width)
{
    int w = 0;
    int h = 0;
    // Measured as UTF-8, the way the line is rendered: a Latin-1 reading would
    // count every byte of a non-ASCII character as a glyph of its own.
    if (!font || TTF_SizeUTF8(font, text.c_str(), &w, &h) != 0) {
        LogPrintf(Error, "Call to TTF_SizeText() failed: '%s'!", font ? TTF_GetError() : "no font");
        width = 0;
        return false;
    }
    width = w;
    return true;
}

}  // namespace

bool cSdlFont::MeasureText(const std::string& text, int32_t& width)
{
    return MeasureTextWidth(Font, text, width);
}

cUiTextureRef cSdlFont::NewTexture() { return std::make_shared<cSdlTexture>(); }

bool cSdlFont::RenderLine(const std::string& piece, cUiColor colour, cUiTexture& record)
{
    auto* native = dynamic_cast<cSdlTexture*>(&record);
    if (!native)
        return false;
    return RenderTextLine(Renderer, piece, Font, colour, *native);
}

bool RenderTextLine(SDL_Renderer* renderer, const std::string& piece, TTF_Font* font, cUiColor colour,
                    cSdlTexture& record)
{
    if (piece.empty() || !font || !renderer) {
        LogPrintf(Verbose, "Called with invalid parameters: '%s', %p.", piece.c_str(),
                  static_cast<void*>(font));
        return false;
    }
    record.Release();
    record.Owned = true;
    // Opaque glyphs: the element's opacity is applied through the texture.
    SDL_Color solid{colour.R, colour.G, colour.B, 255};
    SDL_Surface* surface = TTF_RenderUTF8_Blended(font, piece.c_str(), solid);
    if (!surface) {
        LogPrintf(Error, "Rendering failed for '%s' with: '%s'.", piece.c_str(), SDL_GetError());
        return false;
    }
    record.Texture = SDL_CreateTextureFromSurface(renderer, surface);
    if (record.Texture) {
        record.Width = surface->w;
        record.Height = surface->h;
        int result = SDL_SetTextureBlendMode(record.Texture, SDL_BLENDMODE_BLEND);
        if (result != 0)
            LogPrintf(Error, "Failed with: %i, '%s'.", result, SDL_GetError());
    } else {
        LogPrintf(Error, "Unable to create texture from '%s'. SDL Error: '%s'.", piece.c_str(),
                  SDL_GetError());
    }
    SDL_FreeSurface(surface);
    return true;
}

}  // namespace tavrin::launcher
