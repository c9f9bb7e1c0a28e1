// Fuzz entry for the cache metadata reader, with the format round trip.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "acquisition/cache_metadata.h"

using namespace tavrin::launcher;

namespace {

bool HasControlByte(const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CacheMetadata metadata;
    if (!ParseCacheMetadata(text, metadata)) {
        return 0;
    }
    // An accepted ETag goes back out as a request header.
    if (metadata.ETag.empty() || metadata.Sha1.empty() || HasControlByte(metadata.ETag) ||
        HasControlByte(metadata.Sha1)) {
        __builtin_trap();
    }
    CacheMetadata again;
    if (!ParseCacheMetadata(FormatCacheMetadata(metadata.Sha1, metadata.ETag), again) ||
        again.Sha1 != metadata.Sha1 || again.ETag != metadata.ETag) {
        __builtin_trap();
    }
    return 0;
}
