#include "ui/embedded_decoding_win.h"

#include <array>
#include <mutex>
#include <thread>

#include "ui/assets.h"
#include "ui/assets_win.h"

namespace tavrin::launcher {

namespace {

struct cDecodedTextures {
    std::mutex Lock;
    std::thread Thread;
    std::array<SDL_Surface*, kBuiltInTextureCount> Surfaces{};

    ~cDecodedTextures() { Discard(); }

    void Join()
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (Thread.joinable())
            Thread.join();
    }

    void Discard()
    {
        Join();
        for (SDL_Surface*& surface : Surfaces) {
            SDL_FreeSurface(surface);
            surface = nullptr;
        }
    }
};

cDecodedTextures& Decoded()
{
    static cDecodedTextures decoded;
    return decoded;
}

SDL_Surface* DecodeEmbeddedTexture(int32_t key)
{
    const void* data = nullptr;
    size_t size = 0;
    return GetEmbeddedTexture(key, data, size) ? DecodeEmbeddedPicture(data, size) : nullptr;
}

}  // namespace

void StartEmbeddedTextureDecoding()
{
    cDecodedTextures& decoded = Decoded();
    std::lock_guard<std::mutex> guard(decoded.Lock);
    if (decoded.Thread.joinable())
        return;
    try {
        decoded.Thread = std::thread([&decoded] {
            // Only this thread writes the slots until it is joined.
            for (int32_t key = 0; key < kBuiltInTextureCount; ++key)
                decoded.Surfaces[key] = DecodeEmbeddedTexture(key);
        });
    } catch (...) {
        // Without the thread every picture is decoded where it is needed.
    }
}

SDL_Surface* TakeDecodedEmbeddedTexture(int32_t key)
{
    if (key < 0 || key >= kBuiltInTextureCount)
        return nullptr;
    cDecodedTextures& decoded = Decoded();
    decoded.Join();
    SDL_Surface* surface = decoded.Surfaces[key];
    decoded.Surfaces[key] = nullptr;
    return surface;
}

void DiscardDecodedEmbeddedTextures() { Decoded().Discard(); }

}  // namespace tavrin::launcher
