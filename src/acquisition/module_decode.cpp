#include "acquisition/module_decode.h"

namespace tavrin::launcher {

namespace {

uint8_t IndexTerm(size_t k) { return static_cast<uint8_t>(3u * static_cast<uint8_t>(k)); }

}  // namespace

void DecodeModule(uint8_t* bytes, size_t length)
{
    if (bytes == nullptr || length < 2) {
        return;
    }
    bytes[length - 1] = static_cast<uint8_t>(bytes[length - 1] - IndexTerm(length - 1));
    for (size_t k = length - 2; k >= 1; --k) {
        bytes[k] = static_cast<uint8_t>(bytes[k] - IndexTerm(k) - bytes[k + 1]);
    }
    bytes[0] = static_cast<uint8_t>(bytes[0] - bytes[1]);
}

void EncodeModule(uint8_t* bytes, size_t length)
{
    if (bytes == nullptr || length < 2) {
        return;
    }
    // Ascending, so bytes[k + 1] still holds the plain byte when bytes[k] is encoded.
    for (size_t k = 0; k + 1 < length; ++k) {
        bytes[k] = static_cast<uint8_t>(bytes[k] + bytes[k + 1] + IndexTerm(k));
    }
    bytes[length - 1] = static_cast<uint8_t>(bytes[length - 1] + IndexTerm(length - 1));
}

}  // namespace tavrin::launcher
