// Fuzz entry for the ELF symbol lookup over a byte buffer: the buffer is the
// only readable memory, so any read outside it is a finding.
#include <cstddef>
#include <cstdint>

#include "loader/elf_view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint64_t start = reinterpret_cast<uintptr_t>(data);
    const tavrin::launcher::ElfImage image{start, {{start, start + size}}};
    for (const char* name : {"dlopen", "dlsym", "a", "__libc_dlopen_mode"}) {
        const uint64_t found = tavrin::launcher::FindElfSymbol(image, name);
        (void)found;
    }
    (void)tavrin::launcher::ElfFileFitsInBuffer(data, size);
    return 0;
}
