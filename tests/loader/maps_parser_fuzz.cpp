// Fuzz entry for the memory-map reader: every region it keeps is well
// formed, and a library base never lies above its first region.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "loader/maps_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const tavrin::launcher::MapsRegion& region : tavrin::launcher::ParseMaps(text)) {
        if (region.Start >= region.End) {
            __builtin_trap();
        }
    }
    tavrin::launcher::ElfImage image;
    if (tavrin::launcher::FindLibcInMaps(text, image)) {
        for (const tavrin::launcher::MemoryRange& range : image.Readable) {
            if (range.Start >= range.End || range.Start < image.Base) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
