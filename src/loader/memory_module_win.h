// The in-memory image mapper: lays a 64-bit PE library out in reserved
// memory, relocates it, resolves its imports, protects its pages, runs its
// TLS callbacks and entry point, and hands out exports by position.
// The library never touches the disk or the system's loader. A refused
// image is logged at error level with the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tavrin::launcher {

enum MapFlags : uint32_t {
    kCallEntryOnLoad = 1,
    kCallEntryOnUnload = 2,
    kCopyHeaders = 4,
};

// How the launcher maps its module. The headers come along, read-only: the C
// runtime's start-up reads the image's own headers (pseudo-relocations,
// section lookup) through __ImageBase.
inline constexpr uint32_t kLauncherMapFlags = kCallEntryOnLoad | kCallEntryOnUnload | kCopyHeaders;

// GetExport's request for an export-table position: its bitwise complement.
inline uintptr_t ExportPosition(uint32_t position) { return ~static_cast<uintptr_t>(position); }

class cMemoryModule {
public:
    cMemoryModule() = default;
    virtual ~cMemoryModule();
    cMemoryModule(const cMemoryModule&) = delete;
    cMemoryModule& operator=(const cMemoryModule&) = delete;

    // Every header field and table is checked in the bytes before use, and
    // nothing checked there can change on its way into the image; on any
    // failure nothing stays reserved.
    virtual bool Map(const uint8_t* bytes, size_t length, uint32_t flags);
    // False when nothing is mapped.
    virtual bool Unmap();
    // request: ExportPosition(p), or the address of a NUL-terminated name.
    // Null for a missing export, an RVA of 0 or a forwarder.
    virtual void* GetExport(uintptr_t request) const;

    bool IsMapped() const { return ImageBase != nullptr; }

    // What Map learns from the file before anything is reserved.
    struct Exports {
        uint32_t DirectoryRva = 0;
        uint32_t DirectorySize = 0;
        std::vector<uint32_t> Functions;                        // by position
        std::vector<std::pair<std::string, uint32_t>> Names;    // name, RVA
        std::vector<std::pair<uint32_t, uint32_t>> Sections;    // RVA, mapped size
    };

private:
    void* ExportAt(uint32_t rva) const;
    void CallTlsCallbacks(uint32_t reason) const;
    bool CallEntryPoint(uint32_t reason) const;
    void Forget();

    uint8_t* ImageBase = nullptr;
    uint32_t EntryPointRva = 0;
    uint32_t Flags = 0;
    void* FunctionTable = nullptr;
    Exports Table;
    std::vector<uint32_t> TlsCallbacks;
};

}  // namespace tavrin::launcher
