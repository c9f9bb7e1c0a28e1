#include "ui/embedded_decoding_win.h"

#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "ui/assets.h"
#include "ui/layout.h"

namespace tavrin::launcher {

namespace {

struct cDecodedTextures {
    std::mutex Lock;
    std::condition_variable Decoded;
    std::thread Thread;
    bool Started = false;
    // Written by the thread under Lock as each picture is done.
    std::array<SDL_Surface*, kBuiltInTextureCount> Surfaces{};
    std::array<bool, kBuiltInTextureCount> Done{};
    cPictureHead Head;
    bool HeadDone = false;
    bool Resumed = false;
    bool Cancelled = false;

    ~cDecodedTextures() { Discard(); }

    void Publish(int32_t key, SDL_Surface* surface)
    {
        std::lock_guard<std::mutex> guard(Lock);
        Surfaces[key] = surface;
        Done[key] = true;
        Decoded.notify_all();
    }

    void PublishHead(cPictureHead head)
    {
        std::lock_guard<std::mutex> guard(Lock);
        Head = head;
        HeadDone = true;
        Decoded.notify_all();
    }

    // False when the thread is to end without decoding the rest.
    bool WaitForResume()
    {
        std::unique_lock<std::mutex> lock(Lock);
        Decoded.wait(lock, [this] { return Resumed || Cancelled; });
        return !Cancelled;
    }

    void Resume()
    {
        std::lock_guard<std::mutex> guard(Lock);
        Resumed = true;
        Decoded.notify_all();
    }

    void Discard()
    {
        {
            std::lock_guard<std::mutex> guard(Lock);
            Cancelled = true;
            Decoded.notify_all();
        }
        if (Thread.joinable())
            Thread.join();
        std::lock_guard<std::mutex> guard(Lock);
        for (SDL_Surface*& surface : Surfaces) {
            SDL_FreeSurface(surface);
            surface = nullptr;
        }
        SDL_FreeSurface(Head.Rows);
        Head = cPictureHead{};
        Started = false;
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

cPictureHead DecodeLogoSheetHead()
{
    const void* data = nullptr;
    size_t size = 0;
    return GetEmbeddedTexture(TextureLogoSheet, data, size)
               ? DecodeEmbeddedPictureHead(data, size, kLogoFrameHeight)
               : cPictureHead{};
}

// What the first frame shows comes first; the rest of the logo sheet last.
void DecodeAll(cDecodedTextures& decoded)
{
    for (int32_t key = 0; key < kBuiltInTextureCount; ++key) {
        if (key != TextureLogoSheet)
            decoded.Publish(key, DecodeEmbeddedTexture(key));
    }
    decoded.PublishHead(DecodeLogoSheetHead());
    const bool resumed = decoded.WaitForResume();
    decoded.Publish(TextureLogoSheet, resumed ? DecodeEmbeddedTexture(TextureLogoSheet) : nullptr);
}

}  // namespace

void StartEmbeddedTextureDecoding()
{
    cDecodedTextures& decoded = Decoded();
    std::lock_guard<std::mutex> guard(decoded.Lock);
    if (decoded.Started)
        return;
    decoded.Done.fill(false);
    decoded.HeadDone = false;
    decoded.Resumed = false;
    decoded.Cancelled = false;
    try {
        decoded.Thread = std::thread([&decoded] { DecodeAll(decoded); });
        decoded.Started = true;
    } catch (...) {
        // Without the thread every picture is decoded where it is needed.
    }
}

void ResumeEmbeddedTextureDecoding() { Decoded().Resume(); }

SDL_Surface* TakeDecodedEmbeddedTexture(int32_t key)
{
    if (key < 0 || key >= kBuiltInTextureCount)
        return nullptr;
    cDecodedTextures& decoded = Decoded();
    std::unique_lock<std::mutex> lock(decoded.Lock);
    if (!decoded.Started)
        return nullptr;
    // Whoever waits for the held sheet needs it now.
    if (key == TextureLogoSheet) {
        decoded.Resumed = true;
        decoded.Decoded.notify_all();
    }
    decoded.Decoded.wait(lock, [&] { return decoded.Done[key]; });
    SDL_Surface* surface = decoded.Surfaces[key];
    decoded.Surfaces[key] = nullptr;
    return surface;
}

cPictureHead TakeDecodedEmbeddedHead(int32_t key)
{
    if (key != TextureLogoSheet)
        return {};
    cDecodedTextures& decoded = Decoded();
    std::unique_lock<std::mutex> lock(decoded.Lock);
    if (!decoded.Started)
        return {};
    decoded.Decoded.wait(lock, [&] { return decoded.HeadDone; });
    cPictureHead head = decoded.Head;
    decoded.Head = cPictureHead{};
    return head;
}

bool EmbeddedTextureDecodingPending(int32_t key)
{
    if (key < 0 || key >= kBuiltInTextureCount)
        return false;
    cDecodedTextures& decoded = Decoded();
    std::lock_guard<std::mutex> guard(decoded.Lock);
    return decoded.Started && !decoded.Done[key];
}

void DiscardDecodedEmbeddedTextures() { Decoded().Discard(); }

}  // namespace tavrin::launcher
