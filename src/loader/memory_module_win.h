// The in-memory image mapper: lays a 64-bit PE library out in reserved
// memory, relocates it, resolves its imports, protects its sections, runs
// its TLS callbacks and entry point, and hands out exports by position.
// The library never touches the disk or the system's loader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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
    struct MappedRange {
        uint32_t Rva;
        uint32_t Size;
    };

    void* ExportAtPosition(uint32_t position) const;
    void* ExportByName(const char* name) const;
    bool InSection(uint32_t rva, uint32_t size) const;
    void CallTlsCallbacks(uint32_t reason) const;
    bool CallEntryPoint(uint32_t reason) const;
    void Forget();

    uint8_t* ImageBase = nullptr;
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
    std::vector<MappedRange> Sections;
    std::vector<uint32_t> TlsCallbacks;
};

}  // namespace tavrin::launcher
