// Symbol lookup in an ELF shared object that is already in memory, through
// its dynamic section and hash tables. Every byte of the image is outside
// input: each read is checked against the ranges the caller declares
// readable, so a damaged image yields "not found", never a stray read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin::launcher {

struct MemoryRange {
    uint64_t Start = 0;  // first address
    uint64_t End = 0;    // one past the last
};

struct ElfImage {
    uint64_t Base = 0;  // where the ELF header lies
    std::vector<MemoryRange> Readable;
};

// The address of the named, defined symbol (default version only), or 0.
uint64_t FindElfSymbol(const ElfImage& image, const char* name);

// True when the bytes are a 64-bit x86-64 shared object whose program
// headers and every loadable segment's file bytes lie inside the buffer.
// The dynamic loader maps a truncated file and faults when it touches the
// missing part, so this is checked before the bytes are handed to it.
bool ElfFileFitsInBuffer(const uint8_t* data, size_t size);

}  // namespace tavrin::launcher
