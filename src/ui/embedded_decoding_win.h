// Decoding of the built-in pictures ahead of the window. The logo sheet alone
// takes tens of milliseconds to inflate; on a thread of its own that work
// overlaps SDL's start instead of delaying the first frame and the download.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace tavrin::launcher {

// Starts decoding every built-in picture; a second call does nothing. Needs
// no SDL subsystem.
void StartEmbeddedTextureDecoding();

// The decoded picture of key, owned by the caller from then on. Waits for the
// decoding thread. Null when decoding was never started, failed, or the
// picture was already taken: the caller then decodes it itself.
SDL_Surface* TakeDecodedEmbeddedTexture(int32_t key);

// Waits for the decoding thread and frees what nobody took.
void DiscardDecodedEmbeddedTextures();

}  // namespace tavrin::launcher
