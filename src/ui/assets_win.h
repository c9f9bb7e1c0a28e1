// The splash window's fonts and pictures: built-in file images compiled into
// the executable, replaced by a custom splash picture or by the system fonts a
// language file names.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "settings/settings.h"
#include "ui/assets.h"
#include "ui/scale.h"

namespace tavrin::launcher {

class cLocalization;

struct cAssetFont {
    TTF_Font* Font = nullptr;
    int32_t PointSize = 0;
};

struct cAssetTexture {
    SDL_Texture* Texture = nullptr;
    int32_t Width = 0;
    int32_t Height = 0;
};

// The top rows of a picture and the size of the whole one.
struct cPictureHead {
    SDL_Surface* Rows = nullptr;  // owned by whoever holds the head
    int32_t Width = 0;
    int32_t Height = 0;
};

// A picture of which only the top-left part has a texture so far. Its record
// in the store already has the whole picture's size.
struct cPartialPicture {
    SDL_Surface* Picture = nullptr;
    int32_t PartWidth = 0;
    int32_t PartHeight = 0;
    // A built-in picture of which only the part was decoded: Picture is null
    // until the whole one is taken from the decoding thread or decoded here.
    const void* Embedded = nullptr;
    size_t EmbeddedSize = 0;
};

// Owns every font and texture it holds. The textures belong to the renderer
// they were made with: destroy the store (or call Clear) before that renderer.
struct cAssetStore {
    std::string BaseDirectory;
    std::map<int32_t, cAssetFont> Fonts;
    std::map<int32_t, cAssetTexture> Textures;
    // Decoded pictures whose whole texture CompleteTexture makes later.
    std::map<int32_t, cPartialPicture> Partial;

    cAssetStore() = default;
    cAssetStore(const cAssetStore&) = delete;
    cAssetStore& operator=(const cAssetStore&) = delete;
    ~cAssetStore();

    void Clear();
    void CloseFont(int32_t key);
    void DestroyTexture(int32_t key);

    // False when key's texture holds only part of its picture and the source
    // rectangle reaches beyond that part.
    bool TextureCovers(int32_t key, int32_t x, int32_t y, int32_t width, int32_t height) const;
    // Replaces a partial texture with the whole picture's. True when the
    // texture changed (elements drawing it must take the new one); on failure
    // the part stays and the picture is let go: it is tried once.
    bool CompleteTexture(int32_t key, SDL_Renderer* renderer);
    // True while the whole picture for CompleteTexture is still being decoded
    // on the decoding thread: completing now would wait for it.
    bool CompletionWouldWait(int32_t key) const;

    // Null (or 0) when the key was never loaded.
    TTF_Font* Font(int32_t key) const;
    SDL_Texture* Texture(int32_t key) const;
    int32_t TextureWidth(int32_t key) const;
    int32_t TextureHeight(int32_t key) const;
    const cAssetTexture* FindTexture(int32_t key) const;
};

// Gives key a texture of the picture's top-left part at most partWidth x
// partHeight, in a record of the whole picture's size, and keeps the picture
// for CompleteTexture; a picture no larger than the part gets its whole
// texture at once. Takes the picture. False when no texture could be made.
bool LoadPartialTexture(cAssetStore& store, SDL_Renderer* renderer, int32_t key, SDL_Surface* picture,
                        int32_t partWidth, int32_t partHeight);

// The same for a built-in picture from its head alone: the texture of the
// part is made from the head's rows, the whole picture is decoded (or taken
// from the decoding thread) by CompleteTexture. Takes head.Rows. False when
// no texture could be made.
bool LoadPartialTextureFromHead(cAssetStore& store, SDL_Renderer* renderer, int32_t key, cPictureHead head,
                                int32_t partWidth, int32_t partHeight, const void* embedded,
                                size_t embeddedSize);

// The launcher's LoadAssets. fallBackToEnglish runs when a system font of the
// language is missing (the launcher reloads "en_us" and switches to the
// built-in texts); it may be empty. Fonts are opened at their size at dpi.
bool LoadAssets(SDL_Renderer* renderer, const cSettings& settings, const std::string& launcherDirectory,
                cLocalization& localization, std::function<void()> fallBackToEnglish, cAssetStore& store,
                int32_t dpi = kBaseDpi);

// The same, with the "requested_splash" setting given directly.
bool LoadAssetsWithSplash(SDL_Renderer* renderer, const std::string& requestedSplash,
                          const std::string& launcherDirectory, cLocalization& localization,
                          std::function<void()> fallBackToEnglish, cAssetStore& store,
                          int32_t dpi = kBaseDpi);

// fallBack is raised when a named system font is missing (built-in fonts are
// then used). False when a font that should open does not. Each font is
// (re)opened at its table size scaled to dpi.
bool LoadFonts(cAssetStore& store, const cLocalization& localization, bool& fallBack, int32_t dpi = kBaseDpi);

// Same, with the system fonts folder given (ends with a separator).
bool LoadFontsFrom(cAssetStore& store, const cLocalization& localization, const std::string& fontsFolder,
                   bool& fallBack, int32_t dpi = kBaseDpi);

// The logo sheet's texture holds only its first frame until CompleteTexture:
// making the whole sheet's would delay the first frame by tens of
// milliseconds.
bool LoadTextures(cAssetStore& store, SDL_Renderer* renderer, const std::string& requestedSplash);

bool LoadCustomSplash(SDL_Renderer* renderer, const std::string& path, cAssetTexture& record);

bool LoadTextureFromFile(cAssetTexture& record, SDL_Renderer* renderer, const std::string& path);

// The Windows fonts folder with a trailing separator; "\" alone when unknown.
std::string GetSystemFontsFolder();

// The built-in file image of a font or picture; false when the executable
// carries none for that key.
bool GetEmbeddedFont(int32_t key, const void*& data, size_t& size);
bool GetEmbeddedTexture(int32_t key, const void*& data, size_t& size);

// Decodes a built-in picture's file image into the format its texture is
// made from; null (and logged) when it fails. Any thread.
SDL_Surface* DecodeEmbeddedPicture(const void* data, size_t size);

// Decodes only the first rows of a built-in picture; Rows is null when that
// cannot be done (the whole picture may still decode). Any thread.
cPictureHead DecodeEmbeddedPictureHead(const void* data, size_t size, int32_t rows);

}  // namespace tavrin::launcher
