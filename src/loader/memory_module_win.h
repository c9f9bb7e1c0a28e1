// The in-memory image mapper: lays a 64-bit PE library out in reserved
// memory, relocates it, resolves its imports, protects its sections, runs
// its TLS callbacks and entry point, and hands out exports by position.
// The library never touches the disk or the system's loader.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin::launcher {

enum MapFlags : uint32_t {
    kCallEntryOnLoad = 1,
    kCallEntryOnUnload = 2,
    kCopyHeaders = 4,
};

// GetExport's request for an export-table position: its bitwise complement.
inline uintptr_t ExportPosition(uint32_t position) { return ~static_cast<uintptr_t>(position); }

class cMemoryModule {
public:
    cMemoryModule() = default;
    virtual ~cMemoryModule();
    cMemoryModule(const cMemoryModule&) = delete;
    cMemoryModule& operator=(const cMemoryModule&) = delete;

    // Every header field is checked against length and SizeOfImage before
    // use; on any failure nothing stays reserved.
    virtual bool Map(const uint8_t* bytes, size_t length, uint32_t flags);
    // False when nothing is mapped.
    virtual bool Unmap();
    // request: ExportPosition(p), or the address of a NUL-terminated name.
    // Null for a missing export, an RVA of 0 or a forwarder.
    virtual void* GetExport(uintptr_t request) const;

    bool IsMapped() const { return ImageBase != nullptr; }

private:
    uint8_t* ImageBase = nullptr;
    size_t ImageSize = 0;
    uint32_t EntryPointRva = 0;
    uint32_t ExportFunctions = 0;
    uint32_t ExportFunctionCount = 0;
    uint32_t ExportNames = 0;
    uint32_t ExportNameOrdinals = 0;
    uint32_t ExportNameCount = 0;
    uint32_t ExportDirectoryRva = 0;
    uint32_t ExportDirectorySize = 0;
    uint32_t Flags = 0;
    void* FunctionTable = nullptr;
    uint32_t FunctionTableCount = 0;
};

}  // namespace tavrin::launcher
