// Decoding of the built-in pictures ahead of the window, on a thread of its
// own that overlaps SDL's start. The logo sheet alone takes tens of
// milliseconds to inflate: the first frame needs only its top rows, and the
// rest waits until that frame is on the screen.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "ui/assets_win.h"

namespace tavrin::launcher {

// Starts decoding every built-in picture; a second call does nothing. Needs
// no SDL subsystem. The whole logo sheet is held back until
// ResumeEmbeddedTextureDecoding, or until someone takes it.
void StartEmbeddedTextureDecoding();
void ResumeEmbeddedTextureDecoding();

// The decoded picture of key, owned by the caller from then on. Waits for
// that picture only. Null when decoding was never started, failed, or the
// picture was already taken: the caller then decodes it itself.
SDL_Surface* TakeDecodedEmbeddedTexture(int32_t key);

// The first frame's rows of the logo sheet (key TextureLogoSheet), decoded
// before the whole sheet; waits for them only. Rows is null as above.
cPictureHead TakeDecodedEmbeddedHead(int32_t key);

// True while the thread is still decoding key's whole picture, so taking it
// would wait.
bool EmbeddedTextureDecodingPending(int32_t key);

// Ends the decoding thread (a held sheet is not decoded) and frees what
// nobody took.
void DiscardDecodedEmbeddedTextures();

}  // namespace tavrin::launcher
