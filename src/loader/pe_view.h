// A read-only view of the headers of an unmapped PE image held in memory.
// Every read is checked against the byte length: the bytes are hostile until
// the mapper has laid them out, and even then only the view reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tavrin::launcher {

inline constexpr uint16_t kPeMachineX86 = 0x014C;
inline constexpr uint16_t kPeMachineX64 = 0x8664;
inline constexpr uint16_t kPeFileRelocsStripped = 0x0001;
inline constexpr uint16_t kPeFileDll = 0x2000;

inline constexpr uint32_t kPeSectionExecute = 0x20000000;
inline constexpr uint32_t kPeSectionRead = 0x40000000;
inline constexpr uint32_t kPeSectionWrite = 0x80000000;

inline constexpr uint32_t kPeRelocationAbsolute = 0;
inline constexpr uint32_t kPeRelocationHighLow = 3;
inline constexpr uint32_t kPeRelocationDir64 = 10;

enum PeDirectory : uint32_t {
    kPeDirectoryExport = 0,
    kPeDirectoryImport = 1,
    kPeDirectoryException = 3,
    kPeDirectoryRelocation = 5,
    kPeDirectoryTls = 9,
};

// Kinds for GetHeaderValue; the export kinds are 0 without an export directory.
enum PeHeaderKind : uint32_t {
    kPeEntryPoint = 0,
    kPeSizeOfImage = 1,
    kPeExportFunctions = 2,
    kPeExportNames = 3,
    kPeExportNameOrdinals = 4,
    kPeExportFunctionCount = 5,
    kPeExportNameCount = 6,
    kPeSizeOfHeaders = 7,
};

struct PeSection {
    char Name[9];  // NUL-terminated copy
    uint32_t VirtualAddress;
    uint32_t VirtualSize;  // as written; MappedSize() is what the image gets
    uint32_t RawOffset;
    uint32_t RawSize;
    uint32_t Characteristics;

    // A section without a virtual size takes its raw size.
    uint32_t MappedSize() const { return VirtualSize ? VirtualSize : RawSize; }
    // Raw bytes beyond the mapped size belong to file alignment, not the image.
    uint32_t CopySize() const { return RawSize < MappedSize() ? RawSize : MappedSize(); }
};

struct PeDataDirectory {
    uint32_t Rva;
    uint32_t Size;
};

struct PeImport {
    const char* Library;    // inside the bytes, NUL-terminated
    const char* Procedure;  // null for an import by ordinal
    uint16_t Ordinal;
    uint32_t SlotRva;  // address-table slot the resolved address goes to
};

struct PeTlsDirectory {
    uint64_t StartOfData;  // virtual addresses at the preferred base
    uint64_t EndOfData;
    uint64_t AddressOfIndex;
    uint64_t AddressOfCallbacks;
    uint32_t SizeOfZeroFill;
};

// Callbacks return false to stop the walk.
using PeSectionCallback = bool (*)(void* context, const PeSection& section);
using PeRelocationCallback = bool (*)(void* context, uint32_t type, uint32_t rva);
using PeLibraryCallback = bool (*)(void* context, const char* library);
using PeProcedureCallback = bool (*)(void* context, const PeImport& import);
using PeExportCallback = bool (*)(void* context, const char* name, uint32_t rva);
using PeTlsCallback = bool (*)(void* context, uint32_t rva);

class cPeView {
public:
    virtual ~cPeView() = default;

    // The view that fits the file header's machine (x86 or x86-64), or null
    // when the bytes do not begin like a PE image. Call Validate before use.
    static std::unique_ptr<cPeView> Open(const uint8_t* bytes, size_t length);

    bool IsMachine64() const { return Machine() == kPeMachineX64; }
    uint16_t Machine() const;
    uint16_t FileCharacteristics() const;
    uint32_t GetHeaderValue(uint32_t kind) const;
    virtual uint64_t GetImageBase() const = 0;
    virtual uint32_t PointerSize() const = 0;

    // The headers, the section table and every section's extent fit the
    // bytes and SizeOfImage, the section table ends inside SizeOfHeaders, no
    // two sections (nor a section and the headers) share an address, and the
    // optional header matches the variant.
    bool Validate() const;

    // Why the last check or walk refused the bytes (a walk stopped by its
    // callback sets nothing); null when none did.
    const char* Fault() const { return LastFault; }

    PeDataDirectory Directory(uint32_t index) const;
    // [rva, rva + size) lies inside the mapped extent of one section.
    bool RangeInSection(uint64_t rva, uint64_t size) const;
    // The same, in a section that will be executable.
    bool RangeInCode(uint64_t rva, uint64_t size) const;

    // Each walk returns true when it reached the end of its table, false when
    // the table is malformed or a callback stopped it.
    bool ForEachSection(PeSectionCallback callback, void* context) const;
    // Entries of the types ABSOLUTE, HIGHLOW and DIR64 (any other type fails
    // the walk); the targets of 32- and 64-bit fixups lie inside a section.
    bool ForEachRelocation(PeRelocationCallback callback, void* context) const;
    bool ForEachImport(PeLibraryCallback onLibrary, PeProcedureCallback onProcedure, void* context) const;
    bool ForEachExport(PeExportCallback callback, void* context) const;
    bool HasRelocations() const;
    // False when there is no TLS directory or it cannot be read.
    virtual bool ReadTlsDirectory(PeTlsDirectory& tls) const = 0;
    // The callbacks listed by the TLS directory, as RVAs inside a section;
    // true (and no calls) without a TLS directory.
    bool ForEachTlsCallback(PeTlsCallback callback, void* context) const;

    // The static TLS data every thread of the image needs, in bytes: the
    // template (EndOfData - StartOfData) plus SizeOfZeroFill. 0 without a
    // TLS directory, and 0 for a template that is only the C runtime's null
    // start marker (one pointer, no zero fill); false when the directory
    // cannot be read or is inverted.
    bool StaticTlsSize(uint64_t& size) const;

    // The file bytes behind [rva, rva + size), or null unless all of them lie
    // in the raw data of one section.
    const uint8_t* RvaToFilePointer(uint32_t rva, uint32_t size = 1) const;

protected:
    cPeView(const uint8_t* bytes, size_t length, uint32_t ntOffset);

    virtual uint16_t ExpectedMagic() const = 0;
    virtual uint32_t OptionalHeaderSize() const = 0;
    virtual uint32_t DirectoryTableOffset() const = 0;

    bool Read16(uint64_t offset, uint16_t& value) const;
    bool Read32(uint64_t offset, uint32_t& value) const;
    bool Read64(uint64_t offset, uint64_t& value) const;
    uint32_t OptionalValue32(uint32_t offset) const;
    // A NUL-terminated string at rva inside one section's raw data.
    const char* StringAt(uint32_t rva) const;
    // The file bytes from rva to the end of its section's raw data.
    bool FileSpan(uint64_t rva, const uint8_t*& data, uint32_t& available) const;

    // Records why a check failed and returns false.
    bool Refuse(const char* fault) const;

    const uint8_t* Bytes;
    size_t Length;
    uint32_t NtOffset;
    mutable const char* LastFault = nullptr;

private:
    bool SectionAt(uint32_t index, PeSection& section) const;
    uint16_t SectionCount() const;
    bool SectionsAreDisjoint(uint16_t count, uint32_t headerSize) const;
    bool IsRuntimeStartMarker(const PeTlsDirectory& tls) const;
    bool WalkRelocationBlock(const uint8_t* block, uint32_t page, uint32_t entries,
                             PeRelocationCallback callback, void* context) const;
    uint32_t SectionTableOffset() const { return NtOffset + 24 + OptionalHeaderSize(); }
    bool ReadThunk(uint32_t rva, uint64_t& thunk) const;
    bool WalkImportThunks(uint32_t lookupRva, uint32_t slotRva, const char* library,
                          PeProcedureCallback onProcedure, void* context) const;
};

class cPeView64 final : public cPeView {
public:
    cPeView64(const uint8_t* bytes, size_t length, uint32_t ntOffset) : cPeView(bytes, length, ntOffset) {}
    uint64_t GetImageBase() const override;
    uint32_t PointerSize() const override { return 8; }
    bool ReadTlsDirectory(PeTlsDirectory& tls) const override;

protected:
    uint16_t ExpectedMagic() const override { return 0x20B; }
    uint32_t OptionalHeaderSize() const override { return 240; }
    uint32_t DirectoryTableOffset() const override { return 112; }
};

class cPeView32 final : public cPeView {
public:
    cPeView32(const uint8_t* bytes, size_t length, uint32_t ntOffset) : cPeView(bytes, length, ntOffset) {}
    uint64_t GetImageBase() const override;
    uint32_t PointerSize() const override { return 4; }
    bool ReadTlsDirectory(PeTlsDirectory& tls) const override;

protected:
    uint16_t ExpectedMagic() const override { return 0x10B; }
    uint32_t OptionalHeaderSize() const override { return 224; }
    uint32_t DirectoryTableOffset() const override { return 96; }
};

}  // namespace tavrin::launcher
