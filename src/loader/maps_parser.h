// Reading a process's memory map (/proc/PID/maps) as outside text: every
// line is checked, malformed ones are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "loader/elf_view.h"

namespace tavrin::launcher {

struct MapsRegion {
    uint64_t Start = 0;
    uint64_t End = 0;
    uint64_t Offset = 0;
    bool Readable = false;
    std::string Path;  // the sixth and following pieces, joined
};

std::vector<MapsRegion> ParseMaps(std::string_view text);

// The C library's image: the base of the first region whose path names it,
// and every readable region of that same file, so that its ELF view never
// reads outside what is mapped.
bool FindLibcInMaps(std::string_view text, ElfImage& image);

// The same for the in-memory file of that name ("/memfd:NAME"), as the
// native module is loaded.
bool FindMemfdImageInMaps(std::string_view text, std::string_view name, ElfImage& image);

}  // namespace tavrin::launcher
