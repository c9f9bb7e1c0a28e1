#include "ui/assets_win.h"

#include <windows.h>
#include <shlobj.h>

#include <SDL_image.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "base/files_win.h"
#include "base/strings.h"
#include "localization/localization.h"
#include "logging/logger.h"
#include "ui/embedded_decoding_win.h"
#include "ui/layout.h"
#include "ui/png_head.h"

namespace tavrin::launcher {

namespace {

const wchar_t* const kFontResources[] = {L"FONT_REGULAR", L"FONT_BOLD", L"FONT_LIGHT"};
const wchar_t* const kTextureResources[kBuiltInTextureCount] = {L"IMAGE_SPLASH", L"IMAGE_CLOSE",
                                                                L"IMAGE_LOGO_SHEET", L"IMAGE_LOGO_HIDDEN"};

bool GetEmbeddedResource(const wchar_t* name, const void*& data, size_t& size)
{
    data = nullptr;
    size = 0;
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (info == nullptr) {
        return false;
    }
    HGLOBAL loaded = LoadResource(module, info);
    const DWORD bytes = SizeofResource(module, info);
    // Resource memory lives as long as the module: nothing to free.
    data = loaded != nullptr ? LockResource(loaded) : nullptr;
    size = data != nullptr ? bytes : 0;
    return data != nullptr && size != 0;
}

void DestroyRecordTexture(cAssetTexture& record)
{
    if (record.Texture != nullptr) {
        SDL_DestroyTexture(record.Texture);
    }
    record = cAssetTexture{};
}

void SetAlphaBlending(SDL_Texture* texture)
{
    const int result = SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    if (result != 0) {
        LogPrintf(Error, "Failed with: %i, '%s'.", result, SDL_GetError());
    }
}

// An opaque picture (the splash) decodes as RGB. Blended onto the window as
// such, every pixel of every redraw took SDL's generic per-pixel blit; with
// an alpha channel in the window's channel order (ARGB8888) it takes the
// fast one. Pictures with alpha stay as decoded: they are small on screen,
// and converting the logo sheet would delay the first frame.
SDL_Surface* WithWindowAlphaFormat(SDL_Surface* surface)
{
    if (surface->format->Amask != 0)
        return surface;
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
    if (converted == nullptr)
        return surface;
    SDL_FreeSurface(surface);
    return converted;
}

// Takes the surface; the record gets the texture (or stays empty).
void TextureFromSurface(SDL_Renderer* renderer, SDL_Surface* surface, cAssetTexture& record,
                        const std::string& path, size_t embeddedSize)
{
    surface = WithWindowAlphaFormat(surface);
    record.Texture = SDL_CreateTextureFromSurface(renderer, surface);
    if (record.Texture != nullptr) {
        record.Width = surface->w;
        record.Height = surface->h;
        SetAlphaBlending(record.Texture);
    } else if (path.empty()) {
        LogPrintf(Error, "Unable to create texture, size: '%i'. SDL Error: '%s'.",
                  static_cast<int>(embeddedSize), SDL_GetError());
    } else {
        LogPrintf(Error, "Unable to create texture from '%s'. SDL Error: '%s'.", path.c_str(),
                  SDL_GetError());
    }
    SDL_FreeSurface(surface);
}

// The picture decoded ahead of the window when there is one, else decoded now.
SDL_Surface* TakeOrDecodeEmbeddedPicture(int32_t key, const void* data, size_t size)
{
    SDL_Surface* surface = TakeDecodedEmbeddedTexture(key);
    return surface != nullptr ? surface : DecodeEmbeddedPicture(data, size);
}

void LoadEmbeddedTexture(SDL_Renderer* renderer, int32_t key, const void* data, size_t size,
                         cAssetTexture& record)
{
    SDL_Surface* surface = TakeOrDecodeEmbeddedPicture(key, data, size);
    if (surface != nullptr)
        TextureFromSurface(renderer, surface, record, std::string(), size);
}

void FreePartialPicture(cAssetStore& store, int32_t key)
{
    auto found = store.Partial.find(key);
    if (found == store.Partial.end())
        return;
    SDL_FreeSurface(found->second.Picture);
    store.Partial.erase(found);
}

// Made through a view of the picture's pixels: only the part is copied.
SDL_Texture* TextureOfTopLeftPart(SDL_Renderer* renderer, SDL_Surface* picture, int32_t width, int32_t height)
{
    SDL_Surface* part =
        SDL_CreateRGBSurfaceWithFormatFrom(picture->pixels, width, height, picture->format->BitsPerPixel,
                                           picture->pitch, picture->format->format);
    if (part == nullptr)
        return nullptr;
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, part);
    SDL_FreeSurface(part);
    return texture;
}

// The part from the picture's head when it decodes alone, else from the
// whole picture.
void LoadPartialEmbeddedTexture(cAssetStore& store, SDL_Renderer* renderer, int32_t key, const void* data,
                                size_t size, int32_t partWidth, int32_t partHeight)
{
    cPictureHead head = TakeDecodedEmbeddedHead(key);
    if (head.Rows == nullptr)
        head = DecodeEmbeddedPictureHead(data, size, partHeight);
    if (LoadPartialTextureFromHead(store, renderer, key, head, partWidth, partHeight, data, size))
        return;
    SDL_Surface* picture = TakeOrDecodeEmbeddedPicture(key, data, size);
    if (picture != nullptr && !LoadPartialTexture(store, renderer, key, picture, partWidth, partHeight))
        LogPrintf(Error, "Unable to create texture, size: '%i'. SDL Error: '%s'.", static_cast<int>(size),
                  SDL_GetError());
}

// Fonts are opened at their size on the monitor, so text is rasterized
// sharp instead of drawn enlarged.
bool OpenSystemFont(cAssetStore& store, const cBuiltInFont& font,
                    const std::map<uint32_t, std::string>& paths, int32_t dpi)
{
    const std::string& path = paths.at(font.Face);
    const int32_t size = FontPixelSize(font.PointSize, dpi);
    TTF_Font* handle = TTF_OpenFont(path.c_str(), size);
    if (handle == nullptr) {
        LogPrintf(Error, "Failed in loading font from file: '%s'.", path.c_str());
        return false;
    }
    store.Fonts[font.Key] = cAssetFont{handle, size};
    LogPrintf(Verbose, "Successfully loaded the system font: '%s', size: %u.", path.c_str(),
              static_cast<unsigned>(size));
    return true;
}

bool OpenEmbeddedFont(cAssetStore& store, const cBuiltInFont& font, int32_t dpi)
{
    const void* data = nullptr;
    size_t size = 0;
    const int32_t pointSize = FontPixelSize(font.PointSize, dpi);
    TTF_Font* handle = nullptr;
    if (GetEmbeddedFont(font.Key, data, size)) {
        SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(size));
        // With freesrc set the font closes the stream, also when opening fails.
        handle = stream != nullptr ? TTF_OpenFontRW(stream, 1, pointSize) : nullptr;
    }
    if (handle == nullptr) {
        LogPrintf(Error, "Failed in loading font from memory: '%u'.", static_cast<unsigned>(font.Key));
        return false;
    }
    store.Fonts[font.Key] = cAssetFont{handle, pointSize};
    LogPrintf(Verbose, "Successfully loaded the embedded font key: '%u', size: %u.",
              static_cast<unsigned>(font.Key), static_cast<unsigned>(pointSize));
    return true;
}

// Paths of the language's system fonts; empty (and fallBack raised) when one
// of them is missing.
std::map<uint32_t, std::string> FindSystemFonts(const cLocalization& localization,
                                                const std::string& fontsFolder, bool& fallBack)
{
    std::map<uint32_t, std::string> paths;
    if (!localization.GetFontFileNames(paths)) {
        return {};
    }
    ResolveFontPaths(fontsFolder, paths);
    for (const auto& entry : paths) {
        if (!PathExists(entry.second.c_str())) {
            LogPrintf(Error,
                      "Failed to load required font file for the locale: '%s', falling back to "
                      "default locale: en_us.",
                      entry.second.c_str());
            fallBack = true;
            return {};
        }
    }
    return paths;
}

}  // namespace

cAssetStore::~cAssetStore() { Clear(); }

void cAssetStore::Clear()
{
    while (!Fonts.empty()) {
        CloseFont(Fonts.begin()->first);
    }
    while (!Textures.empty()) {
        DestroyTexture(Textures.begin()->first);
    }
    while (!Partial.empty()) {
        FreePartialPicture(*this, Partial.begin()->first);
    }
}

void cAssetStore::CloseFont(int32_t key)
{
    auto found = Fonts.find(key);
    if (found == Fonts.end()) {
        return;
    }
    // After TTF_Quit the font's engine is gone; the process is ending anyway.
    if (found->second.Font != nullptr && TTF_WasInit() > 0) {
        TTF_CloseFont(found->second.Font);
    }
    Fonts.erase(found);
}

void cAssetStore::DestroyTexture(int32_t key)
{
    auto found = Textures.find(key);
    if (found == Textures.end()) {
        return;
    }
    DestroyRecordTexture(found->second);
    Textures.erase(found);
    FreePartialPicture(*this, key);
}

bool LoadPartialTexture(cAssetStore& store, SDL_Renderer* renderer, int32_t key, SDL_Surface* picture,
                        int32_t partWidth, int32_t partHeight)
{
    if (picture == nullptr)
        return false;
    cAssetTexture& record = store.Textures[key];
    DestroyRecordTexture(record);
    FreePartialPicture(store, key);
    const bool smaller =
        partWidth > 0 && partHeight > 0 && (partWidth < picture->w || partHeight < picture->h);
    SDL_Texture* texture = nullptr;
    if (smaller && !SDL_MUSTLOCK(picture)) {
        partWidth = std::min(partWidth, picture->w);
        partHeight = std::min(partHeight, picture->h);
        texture = TextureOfTopLeftPart(renderer, picture, partWidth, partHeight);
    } else {
        texture = SDL_CreateTextureFromSurface(renderer, picture);
        partWidth = picture->w;
        partHeight = picture->h;
    }
    if (texture == nullptr) {
        SDL_FreeSurface(picture);
        return false;
    }
    SetAlphaBlending(texture);
    record = cAssetTexture{texture, picture->w, picture->h};
    if (partWidth == picture->w && partHeight == picture->h)
        SDL_FreeSurface(picture);
    else
        store.Partial[key] = cPartialPicture{picture, partWidth, partHeight};
    return true;
}

bool LoadPartialTextureFromHead(cAssetStore& store, SDL_Renderer* renderer, int32_t key, cPictureHead head,
                                int32_t partWidth, int32_t partHeight, const void* embedded,
                                size_t embeddedSize)
{
    if (head.Rows == nullptr)
        return false;
    cAssetTexture& record = store.Textures[key];
    DestroyRecordTexture(record);
    FreePartialPicture(store, key);
    partWidth = std::min(partWidth, head.Rows->w);
    partHeight = std::min(partHeight, head.Rows->h);
    SDL_Texture* texture = partWidth > 0 && partHeight > 0 && !SDL_MUSTLOCK(head.Rows)
                               ? TextureOfTopLeftPart(renderer, head.Rows, partWidth, partHeight)
                               : nullptr;
    SDL_FreeSurface(head.Rows);
    if (texture == nullptr)
        return false;
    SetAlphaBlending(texture);
    record = cAssetTexture{texture, head.Width, head.Height};
    if (partWidth < head.Width || partHeight < head.Height)
        store.Partial[key] = cPartialPicture{nullptr, partWidth, partHeight, embedded, embeddedSize};
    return true;
}

bool cAssetStore::TextureCovers(int32_t key, int32_t x, int32_t y, int32_t width, int32_t height) const
{
    auto found = Partial.find(key);
    if (found == Partial.end())
        return true;
    const cPartialPicture& partial = found->second;
    return x >= 0 && y >= 0 && width >= 0 && height >= 0 && width <= partial.PartWidth - x &&
           height <= partial.PartHeight - y;
}

bool cAssetStore::CompleteTexture(int32_t key, SDL_Renderer* renderer)
{
    auto partial = Partial.find(key);
    auto record = Textures.find(key);
    if (partial == Partial.end() || record == Textures.end() || renderer == nullptr)
        return false;
    SDL_Surface*& picture = partial->second.Picture;
    if (picture == nullptr)
        picture = TakeOrDecodeEmbeddedPicture(key, partial->second.Embedded, partial->second.EmbeddedSize);
    if (picture == nullptr) {
        FreePartialPicture(*this, key);
        return false;
    }
    SDL_Texture* whole = SDL_CreateTextureFromSurface(renderer, picture);
    if (whole == nullptr) {
        // Tried once: the first frame's part stays, and later frames draw nothing of it.
        LogPrintf(Error, "Unable to create texture, size: '%ix%i'. SDL Error: '%s'.", picture->w, picture->h,
                  SDL_GetError());
        FreePartialPicture(*this, key);
        return false;
    }
    SetAlphaBlending(whole);
    DestroyRecordTexture(record->second);
    record->second = cAssetTexture{whole, picture->w, picture->h};
    FreePartialPicture(*this, key);
    return true;
}

bool cAssetStore::CompletionWouldWait(int32_t key) const
{
    auto found = Partial.find(key);
    return found != Partial.end() && found->second.Picture == nullptr && EmbeddedTextureDecodingPending(key);
}

TTF_Font* cAssetStore::Font(int32_t key) const
{
    auto found = Fonts.find(key);
    return found != Fonts.end() ? found->second.Font : nullptr;
}

const cAssetTexture* cAssetStore::FindTexture(int32_t key) const
{
    auto found = Textures.find(key);
    return found != Textures.end() && found->second.Texture != nullptr ? &found->second : nullptr;
}

SDL_Texture* cAssetStore::Texture(int32_t key) const
{
    const cAssetTexture* record = FindTexture(key);
    return record != nullptr ? record->Texture : nullptr;
}

int32_t cAssetStore::TextureWidth(int32_t key) const
{
    const cAssetTexture* record = FindTexture(key);
    return record != nullptr ? record->Width : 0;
}

int32_t cAssetStore::TextureHeight(int32_t key) const
{
    const cAssetTexture* record = FindTexture(key);
    return record != nullptr ? record->Height : 0;
}

bool GetEmbeddedFont(int32_t key, const void*& data, size_t& size)
{
    FontFace face;
    if (!GetFontFace(key, face)) {
        data = nullptr;
        size = 0;
        return false;
    }
    return GetEmbeddedResource(kFontResources[face], data, size);
}

SDL_Surface* DecodeEmbeddedPicture(const void* data, size_t size)
{
    SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(size));
    if (stream == nullptr) {
        LogPrintf(Error, "Unable to load embedded texture, size: %i. SDL Error: '%s'.",
                  static_cast<int>(size), SDL_GetError());
        return nullptr;
    }
    // The decoder closes the stream whether or not it succeeds.
    SDL_Surface* surface = IMG_Load_RW(stream, 1);
    if (surface == nullptr) {
        LogPrintf(Error, "Unable to create texture from embedded texture, size: %i. SDL Error: '%s'.",
                  static_cast<int>(size), SDL_GetError());
        return nullptr;
    }
    // Converted here, so a picture decoded ahead of the window is converted
    // ahead of it too.
    return WithWindowAlphaFormat(surface);
}

cPictureHead DecodeEmbeddedPictureHead(const void* data, size_t size, int32_t rows)
{
    cPngHead png;
    if (data == nullptr || rows <= 0 ||
        !DecodePngHead(static_cast<const uint8_t*>(data), size, static_cast<uint32_t>(rows), png))
        return {};
    // The byte order R, G, B, A: the format the whole picture decodes into.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, static_cast<int>(png.Width),
                                                          static_cast<int>(png.Rows), 32, SDL_PIXELFORMAT_RGBA32);
    if (surface == nullptr)
        return {};
    const size_t stride = size_t{png.Width} * 4;
    for (uint32_t row = 0; row < png.Rows; ++row)
        std::memcpy(static_cast<uint8_t*>(surface->pixels) + size_t{row} * static_cast<size_t>(surface->pitch),
                    png.Pixels.data() + stride * row, stride);
    return {surface, static_cast<int32_t>(png.Width), static_cast<int32_t>(png.Height)};
}

bool GetEmbeddedTexture(int32_t key, const void*& data, size_t& size)
{
    if (key < 0 || key >= kBuiltInTextureCount) {
        data = nullptr;
        size = 0;
        return false;
    }
    return GetEmbeddedResource(kTextureResources[key], data, size);
}

std::string GetSystemFontsFolder()
{
    wchar_t buffer[MAX_PATH] = {};
    std::string folder;
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_FONTS, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
        folder = Utf16ToUtf8(buffer);
    }
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) {
        folder += '\\';
    }
    return folder;
}

bool LoadFontsFrom(cAssetStore& store, const cLocalization& localization, const std::string& fontsFolder,
                   bool& fallBack, int32_t dpi)
{
    fallBack = false;
    const std::map<uint32_t, std::string> paths = FindSystemFonts(localization, fontsFolder, fallBack);
    for (const cBuiltInFont& font : kBuiltInFonts) {
        store.CloseFont(font.Key);
        const bool opened =
            paths.empty() ? OpenEmbeddedFont(store, font, dpi) : OpenSystemFont(store, font, paths, dpi);
        if (!opened) {
            return false;
        }
    }
    return true;
}

bool LoadFonts(cAssetStore& store, const cLocalization& localization, bool& fallBack, int32_t dpi)
{
    return LoadFontsFrom(store, localization, GetSystemFontsFolder(), fallBack, dpi);
}

namespace {

// The whole file, refused beyond the splash size limit. The size is checked
// again on the bytes read: the file may grow meanwhile.
bool ReadImageFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    const int64_t fileSize = GetFileSize(path.c_str());
    bool read = false;
    if (fileSize <= kMaximumSplashFileBytes) {
        read = ReadFileBytes(path.c_str(), bytes, kMaximumSplashFileBytes + 1);
    }
    const bool tooLarge =
        fileSize > kMaximumSplashFileBytes || !IsSplashFileSizeAccepted(static_cast<int64_t>(bytes.size()));
    if (tooLarge) {
        LogPrintf(Error, "The provided file: '%s' exceeds the maximum allowed file size of %lld bytes.",
                  path.c_str(), static_cast<long long>(kMaximumSplashFileBytes));
        return false;
    }
    return read;
}

bool DecodeTexture(cAssetTexture& record, SDL_Renderer* renderer, const std::vector<uint8_t>& bytes,
                   const std::string& path)
{
    DestroyRecordTexture(record);
    SDL_RWops* stream =
        bytes.empty() ? nullptr : SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    SDL_Surface* surface = stream != nullptr ? IMG_Load_RW(stream, 1) : nullptr;
    if (surface == nullptr) {
        LogPrintf(Error, "Unable to load image '%s'. SDL_image Error: '%s'.", path.c_str(), IMG_GetError());
        return false;
    }
    TextureFromSurface(renderer, surface, record, path, 0);
    return record.Texture != nullptr;
}

void LogSplashSizeRefused()
{
    LogPrintf(Error,
              "The provided splash screen did not meet the size requirements, the supported "
              "size is %ix%i.",
              kSplashWidth, kSplashHeight);
}

}  // namespace

bool LoadTextureFromFile(cAssetTexture& record, SDL_Renderer* renderer, const std::string& path)
{
    if (renderer == nullptr || path.empty()) {
        LogPrintf(Verbose, "Called with invalid parameters: %p, '%s'.", static_cast<void*>(renderer),
                  path.c_str());
        return false;
    }
    std::vector<uint8_t> bytes;
    return ReadImageFile(path, bytes) && DecodeTexture(record, renderer, bytes, path);
}

bool LoadCustomSplash(SDL_Renderer* renderer, const std::string& path, cAssetTexture& record)
{
    if (path.empty()) {
        return false;
    }
    std::string name;
    std::string extension;
    GetExtension(path, name, extension);
    for (char& c : name) {
        if (c == '/')
            c = '\\';
    }
    LogPrintf(Verbose, "Requested splash screen's file name '%s', extension: '%s'.", name.c_str(),
              extension.c_str());
    if (!PathExists(path.c_str())) {
        LogPrintf(Error, "Could not locate the provided custom splash screen image: '%s'.", path.c_str());
        return false;
    }
    if (!IsSupportedSplashExtension(extension)) {
        LogPrintf(Error, "The provided splash screen was not of a supported format: '%s'.", path.c_str());
        return false;
    }
    // The header's size is checked before decoding: a small file may claim
    // a picture of gigabytes.
    std::vector<uint8_t> bytes;
    int32_t width = 0;
    int32_t height = 0;
    const bool read = renderer != nullptr && ReadImageFile(path, bytes);
    const bool header = read && ReadPngSize(bytes.data(), bytes.size(), width, height);
    if (header && !IsSplashSizeAccepted(width, height)) {
        LogSplashSizeRefused();
        return false;
    }
    if (!header || !DecodeTexture(record, renderer, bytes, path)) {
        LogPrintf(Error, "Could not create a texture from the provided custom splash screen: '%s'.",
                  path.c_str());
        return false;
    }
    if (!IsSplashSizeAccepted(record.Width, record.Height)) {
        LogSplashSizeRefused();
        DestroyRecordTexture(record);
        return false;
    }
    return true;
}

bool LoadTextures(cAssetStore& store, SDL_Renderer* renderer, const std::string& requestedSplash)
{
    bool customSplash = false;
    for (int32_t key = 0; key < kBuiltInTextureCount; ++key) {
        cAssetTexture& record = store.Textures[key];
        if (key == TextureSplash && !requestedSplash.empty()) {
            const std::string path = BuildSplashPath(store.BaseDirectory, requestedSplash);
            if (LoadCustomSplash(renderer, path, record)) {
                customSplash = true;
                continue;
            }
            LogPrintf(Error,
                      "Failed in loading requested splash from file: '%s', will fall back to "
                      "using the embedded one instead.",
                      requestedSplash.c_str());
        }
        const void* data = nullptr;
        size_t size = 0;
        if (renderer == nullptr || !GetEmbeddedTexture(key, data, size)) {
            LogPrintf(Verbose, "Called with invalid parameters: %p, '%p', %u.", static_cast<void*>(renderer),
                      data, static_cast<unsigned>(size));
            LogPrintf(Error, "Failed in loading the following texture: '%u'.", static_cast<unsigned>(key));
            return false;
        }
        DestroyRecordTexture(record);
        FreePartialPicture(store, key);
        if (key == TextureLogoSheet)
            LoadPartialEmbeddedTexture(store, renderer, key, data, size, kLogoFrameWidth, kLogoFrameHeight);
        else
            LoadEmbeddedTexture(renderer, key, data, size, record);
        if (record.Texture == nullptr) {
            LogPrintf(Error, "Failed in loading the following texture: '%u'.", static_cast<unsigned>(key));
            return false;
        }
    }
    // A custom splash leaves the built-in one decoded for nothing.
    if (customSplash)
        SDL_FreeSurface(TakeDecodedEmbeddedTexture(TextureSplash));
    return true;
}

bool LoadAssetsWithSplash(SDL_Renderer* renderer, const std::string& requestedSplash,
                          const std::string& launcherDirectory, cLocalization& localization,
                          std::function<void()> fallBackToEnglish, cAssetStore& store, int32_t dpi)
{
    store.BaseDirectory = launcherDirectory;
    bool fallBack = false;
    const bool loaded =
        LoadFonts(store, localization, fallBack, dpi) && LoadTextures(store, renderer, requestedSplash);
    if (!loaded) {
        LogPrintf(Error, "Failed to load the Tavrin Game Launcher's assets.");
    }
    if (fallBack && fallBackToEnglish) {
        fallBackToEnglish();
    }
    return loaded;
}

bool LoadAssets(SDL_Renderer* renderer, const cSettings& settings, const std::string& launcherDirectory,
                cLocalization& localization, std::function<void()> fallBackToEnglish, cAssetStore& store,
                int32_t dpi)
{
    return LoadAssetsWithSplash(renderer, settings.RequestedSplash, launcherDirectory, localization,
                                std::move(fallBackToEnglish), store, dpi);
}

}  // namespace tavrin::launcher
