#include "loader/pe_view.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace tavrin::launcher {

namespace {

constexpr uint32_t kDosHeaderSize = 0x40;
constexpr uint32_t kNtOffsetField = 0x3C;
constexpr uint32_t kFileHeaderEnd = 24;  // "PE\0\0" and the file header
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kImportDescriptorSize = 20;
constexpr uint32_t kExportDirectorySize = 40;
constexpr uint32_t kRelocationBlockHeader = 8;
constexpr uint32_t kMaxDirectories = 16;

// Optional-header offsets shared by both variants.
constexpr uint32_t kOptMagic = 0;
constexpr uint32_t kOptEntryPoint = 16;
constexpr uint32_t kOptSizeOfImage = 56;
constexpr uint32_t kOptSizeOfHeaders = 60;

uint16_t Load16(const uint8_t* p)
{
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint32_t Load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint64_t Load64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

bool FitsIn(uint64_t offset, uint64_t size, uint64_t limit)
{
    return offset <= limit && size <= limit - offset;
}

}  // namespace

std::unique_ptr<cPeView> cPeView::Open(const uint8_t* bytes, size_t length)
{
    if (!bytes || length < kDosHeaderSize || bytes[0] != 'M' || bytes[1] != 'Z') {
        return nullptr;
    }
    const int32_t ntOffset = static_cast<int32_t>(Load32(bytes + kNtOffsetField));
    if (ntOffset < 0 || !FitsIn(static_cast<uint64_t>(ntOffset), kFileHeaderEnd, length)) {
        return nullptr;
    }
    const uint8_t* nt = bytes + ntOffset;
    if (std::memcmp(nt, "PE\0\0", 4) != 0) {
        return nullptr;
    }
    switch (Load16(nt + 4)) {
    case kPeMachineX64:
        return std::make_unique<cPeView64>(bytes, length, static_cast<uint32_t>(ntOffset));
    case kPeMachineX86:
        return std::make_unique<cPeView32>(bytes, length, static_cast<uint32_t>(ntOffset));
    default:
        return nullptr;
    }
}

cPeView::cPeView(const uint8_t* bytes, size_t length, uint32_t ntOffset)
    : Bytes(bytes), Length(length), NtOffset(ntOffset)
{
}

bool cPeView::Read16(uint64_t offset, uint16_t& value) const
{
    if (!FitsIn(offset, 2, Length)) {
        return false;
    }
    value = Load16(Bytes + offset);
    return true;
}

bool cPeView::Read32(uint64_t offset, uint32_t& value) const
{
    if (!FitsIn(offset, 4, Length)) {
        return false;
    }
    value = Load32(Bytes + offset);
    return true;
}

bool cPeView::Read64(uint64_t offset, uint64_t& value) const
{
    if (!FitsIn(offset, 8, Length)) {
        return false;
    }
    value = Load64(Bytes + offset);
    return true;
}

uint16_t cPeView::Machine() const
{
    uint16_t machine = 0;
    Read16(NtOffset + 4, machine);
    return machine;
}

uint16_t cPeView::FileCharacteristics() const
{
    uint16_t characteristics = 0;
    Read16(NtOffset + 22, characteristics);
    return characteristics;
}

uint32_t cPeView::OptionalValue32(uint32_t offset) const
{
    uint32_t value = 0;
    Read32(static_cast<uint64_t>(NtOffset) + kFileHeaderEnd + offset, value);
    return value;
}

uint32_t cPeView::GetHeaderValue(uint32_t kind) const
{
    switch (kind) {
    case kPeEntryPoint:
        return OptionalValue32(kOptEntryPoint);
    case kPeSizeOfImage:
        return OptionalValue32(kOptSizeOfImage);
    case kPeSizeOfHeaders:
        return OptionalValue32(kOptSizeOfHeaders);
    case kPeExportFunctions:
    case kPeExportNames:
    case kPeExportNameOrdinals:
    case kPeExportFunctionCount:
    case kPeExportNameCount:
        break;
    default:
        return 0;
    }
    const PeDataDirectory exports = Directory(kPeDirectoryExport);
    const uint8_t* directory = exports.Size ? RvaToFilePointer(exports.Rva, kExportDirectorySize) : nullptr;
    if (!directory) {
        return 0;
    }
    switch (kind) {
    case kPeExportFunctionCount:
        return Load32(directory + 20);
    case kPeExportNameCount:
        return Load32(directory + 24);
    case kPeExportFunctions:
        return Load32(directory + 28);
    case kPeExportNames:
        return Load32(directory + 32);
    default:
        return Load32(directory + 36);
    }
}

uint64_t cPeView64::GetImageBase() const
{
    uint64_t base = 0;
    Read64(static_cast<uint64_t>(NtOffset) + kFileHeaderEnd + 24, base);
    return base;
}

uint64_t cPeView32::GetImageBase() const { return OptionalValue32(28); }

bool cPeView::SectionAt(uint32_t index, PeSection& section) const
{
    const uint64_t offset = SectionTableOffset() + static_cast<uint64_t>(index) * kSectionHeaderSize;
    if (!FitsIn(offset, kSectionHeaderSize, Length)) {
        return false;
    }
    const uint8_t* p = Bytes + offset;
    std::memcpy(section.Name, p, 8);
    section.Name[8] = '\0';
    section.VirtualSize = Load32(p + 8);
    section.VirtualAddress = Load32(p + 12);
    section.RawSize = Load32(p + 16);
    section.RawOffset = Load32(p + 20);
    section.Characteristics = Load32(p + 36);
    return true;
}

bool cPeView::Refuse(const char* fault) const
{
    LastFault = fault;
    return false;
}

uint16_t cPeView::SectionCount() const
{
    uint16_t count = 0;
    Read16(NtOffset + 6, count);
    return count;
}

bool cPeView::Validate() const
{
    LastFault = nullptr;
    uint16_t optionalSize = 0;
    uint16_t magic = 0;
    const uint64_t optional = static_cast<uint64_t>(NtOffset) + kFileHeaderEnd;
    if (!Read16(NtOffset + 20, optionalSize) || !Read16(optional + kOptMagic, magic)) {
        return Refuse("the headers are cut short");
    }
    // The section table sits right after an optional header of the standard
    // size; any other size would move it.
    const uint16_t sectionCount = SectionCount();
    const uint64_t tableEnd = SectionTableOffset() + static_cast<uint64_t>(sectionCount) * kSectionHeaderSize;
    if (magic != ExpectedMagic() || optionalSize != OptionalHeaderSize() || tableEnd > Length) {
        return Refuse("the optional header or the section table is malformed");
    }
    const uint32_t imageSize = GetHeaderValue(kPeSizeOfImage);
    const uint32_t headerSize = GetHeaderValue(kPeSizeOfHeaders);
    if (imageSize == 0 || headerSize > imageSize || headerSize > Length) {
        return Refuse("SizeOfImage or SizeOfHeaders is out of bounds");
    }
    // Headers copied into the image must carry the whole section table.
    if (tableEnd > headerSize) {
        return Refuse("the section table ends past SizeOfHeaders");
    }
    for (uint32_t i = 0; i < sectionCount; ++i) {
        PeSection section;
        SectionAt(i, section);
        if (!FitsIn(section.VirtualAddress, section.MappedSize(), imageSize) ||
            !FitsIn(section.RawOffset, section.CopySize(), Length)) {
            return Refuse("a section lies outside SizeOfImage or the file");
        }
    }
    if (!SectionsAreDisjoint(sectionCount, headerSize)) {
        return Refuse("two sections, or a section and the headers, share addresses");
    }
    const uint32_t entry = GetHeaderValue(kPeEntryPoint);
    return entry == 0 || RangeInSection(entry, 1) || Refuse("the entry point lies outside the sections");
}

// Each byte of the image has one source: overlapping sections would let a
// later copy change bytes checked in an earlier one.
bool cPeView::SectionsAreDisjoint(uint16_t count, uint32_t headerSize) const
{
    std::vector<std::pair<uint64_t, uint64_t>> ranges{{0, headerSize}};
    for (uint32_t i = 0; i < count; ++i) {
        PeSection section;
        if (SectionAt(i, section) && section.MappedSize() != 0) {
            ranges.push_back({section.VirtualAddress,
                              static_cast<uint64_t>(section.VirtualAddress) + section.MappedSize()});
        }
    }
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 1; i < ranges.size(); ++i) {
        if (ranges[i].first < ranges[i - 1].second) {
            return false;
        }
    }
    return true;
}

PeDataDirectory cPeView::Directory(uint32_t index) const
{
    PeDataDirectory directory{0, 0};
    const uint32_t count = OptionalValue32(DirectoryTableOffset() - 4);
    if (index >= kMaxDirectories || index >= count) {
        return directory;
    }
    const uint32_t offset = DirectoryTableOffset() + index * 8;
    directory.Rva = OptionalValue32(offset);
    directory.Size = OptionalValue32(offset + 4);
    return directory;
}

bool cPeView::ForEachSection(PeSectionCallback callback, void* context) const
{
    const uint16_t count = SectionCount();
    for (uint32_t i = 0; i < count; ++i) {
        PeSection section;
        if (!SectionAt(i, section) || !callback(context, section)) {
            return false;
        }
    }
    return true;
}

namespace {

struct RangeSearch {
    uint64_t Rva;
    uint64_t Size;
    uint32_t Required;  // characteristics the section must have
    bool Found;
};

bool FindRange(void* context, const PeSection& section)
{
    auto* search = static_cast<RangeSearch*>(context);
    if (search->Rva >= section.VirtualAddress &&
        FitsIn(search->Rva - section.VirtualAddress, search->Size, section.MappedSize()) &&
        (section.Characteristics & search->Required) == search->Required) {
        search->Found = true;
        return false;
    }
    return true;
}

}  // namespace

bool cPeView::RangeInSection(uint64_t rva, uint64_t size) const
{
    RangeSearch search{rva, size, 0, false};
    ForEachSection(FindRange, &search);
    return search.Found;
}

bool cPeView::RangeInCode(uint64_t rva, uint64_t size) const
{
    RangeSearch search{rva, size, kPeSectionExecute, false};
    ForEachSection(FindRange, &search);
    return search.Found;
}

bool cPeView::FileSpan(uint64_t rva, const uint8_t*& data, uint32_t& available) const
{
    const uint16_t count = SectionCount();
    for (uint32_t i = 0; i < count; ++i) {
        PeSection section;
        if (!SectionAt(i, section)) {
            return false;
        }
        const uint64_t start = section.VirtualAddress;
        if (rva < start || rva - start >= section.MappedSize()) {
            continue;
        }
        // Past the copied raw bytes the section is zero-filled memory that
        // the file does not hold.
        const uint64_t inSection = rva - start;
        if (inSection >= section.CopySize() || !FitsIn(section.RawOffset, section.CopySize(), Length)) {
            return false;
        }
        data = Bytes + section.RawOffset + inSection;
        available = static_cast<uint32_t>(section.CopySize() - inSection);
        return true;
    }
    return false;
}

const uint8_t* cPeView::RvaToFilePointer(uint32_t rva, uint32_t size) const
{
    const uint8_t* data = nullptr;
    uint32_t available = 0;
    if (!FileSpan(rva, data, available) || available < size) {
        return nullptr;
    }
    return data;
}

const char* cPeView::StringAt(uint32_t rva) const
{
    const uint8_t* data = nullptr;
    uint32_t available = 0;
    if (!FileSpan(rva, data, available) || !std::memchr(data, 0, available)) {
        return nullptr;
    }
    return reinterpret_cast<const char*>(data);
}

bool cPeView::HasRelocations() const
{
    return Directory(kPeDirectoryRelocation).Size != 0 && !(FileCharacteristics() & kPeFileRelocsStripped);
}

bool cPeView::WalkRelocationBlock(const uint8_t* block, uint32_t page, uint32_t entries,
                                  PeRelocationCallback callback, void* context) const
{
    for (uint32_t i = 0; i < entries; ++i) {
        const uint16_t entry = Load16(block + kRelocationBlockHeader + i * 2);
        const uint32_t type = entry >> 12;
        const uint64_t rva = static_cast<uint64_t>(page) + (entry & 0xFFF);
        if (type != kPeRelocationAbsolute && type != kPeRelocationHighLow && type != kPeRelocationDir64) {
            return Refuse("a fixup has a type other than ABSOLUTE, HIGHLOW and DIR64");
        }
        const uint32_t width = type == kPeRelocationDir64 ? 8 : type == kPeRelocationHighLow ? 4 : 0;
        if ((width && !RangeInSection(rva, width)) || rva > UINT32_MAX) {
            return Refuse("a fixup lies outside the sections");
        }
        if (!callback(context, type, static_cast<uint32_t>(rva))) {
            return false;
        }
    }
    return true;
}

bool cPeView::ForEachRelocation(PeRelocationCallback callback, void* context) const
{
    const PeDataDirectory directory = Directory(kPeDirectoryRelocation);
    if (directory.Size == 0) {
        return true;
    }
    const uint8_t* table = RvaToFilePointer(directory.Rva, directory.Size);
    if (!table) {
        return Refuse("the relocation table lies outside the sections' data");
    }
    uint32_t position = 0;
    while (position < directory.Size) {
        if (directory.Size - position < kRelocationBlockHeader) {
            return Refuse("a relocation block is cut short");
        }
        const uint32_t page = Load32(table + position);
        const uint32_t blockSize = Load32(table + position + 4);
        if (blockSize == 0) {
            return true;
        }
        if (blockSize < kRelocationBlockHeader || blockSize > directory.Size - position) {
            return Refuse("a relocation block has a bad size");
        }
        const uint32_t entries = (blockSize - kRelocationBlockHeader) / 2;
        if (!WalkRelocationBlock(table + position, page, entries, callback, context)) {
            return false;
        }
        position += blockSize;
    }
    return true;
}

bool cPeView::ReadThunk(uint32_t rva, uint64_t& thunk) const
{
    const uint8_t* p = RvaToFilePointer(rva, PointerSize());
    if (!p) {
        return false;
    }
    thunk = PointerSize() == 8 ? Load64(p) : Load32(p);
    return true;
}

bool cPeView::WalkImportThunks(uint32_t lookupRva, uint32_t slotRva, const char* library,
                               PeProcedureCallback onProcedure, void* context) const
{
    const uint32_t step = PointerSize();
    const uint64_t ordinalFlag = step == 8 ? (1ull << 63) : (1ull << 31);
    for (uint64_t index = 0;; ++index) {
        const uint64_t lookup = lookupRva + index * step;
        const uint64_t slot = slotRva + index * step;
        uint64_t thunk = 0;
        if (lookup > UINT32_MAX || !ReadThunk(static_cast<uint32_t>(lookup), thunk)) {
            return Refuse("an import lookup table lies outside the sections' data");
        }
        if (thunk == 0) {
            return true;
        }
        if (!RangeInSection(slot, step)) {
            return Refuse("an import address slot lies outside the sections");
        }
        PeImport import{library, nullptr, 0, static_cast<uint32_t>(slot)};
        if (thunk & ordinalFlag) {
            import.Ordinal = static_cast<uint16_t>(thunk & 0xFFFF);
            if (import.Ordinal == 0) {
                return Refuse("an import has ordinal 0");
            }
        } else {
            // A name entry is a 31-bit RVA of a hint (2 bytes) and the name.
            if (thunk > 0x7FFFFFFF || !(import.Procedure = StringAt(static_cast<uint32_t>(thunk) + 2))) {
                return Refuse("an imported procedure's name lies outside the sections' data");
            }
        }
        if (!onProcedure(context, import)) {
            return false;
        }
    }
}

bool cPeView::ForEachImport(PeLibraryCallback onLibrary, PeProcedureCallback onProcedure, void* context) const
{
    const PeDataDirectory directory = Directory(kPeDirectoryImport);
    if (directory.Size == 0) {
        return true;
    }
    for (uint64_t rva = directory.Rva;; rva += kImportDescriptorSize) {
        const uint8_t* descriptor =
            rva <= UINT32_MAX ? RvaToFilePointer(static_cast<uint32_t>(rva), kImportDescriptorSize) : nullptr;
        if (!descriptor) {
            return Refuse("the import descriptors run outside the sections' data");
        }
        const uint32_t lookupRva = Load32(descriptor);
        const uint32_t nameRva = Load32(descriptor + 12);
        const uint32_t slotRva = Load32(descriptor + 16);
        if (nameRva == 0) {
            return true;
        }
        const char* library = StringAt(nameRva);
        if (!library || slotRva == 0) {
            return Refuse("an import descriptor names no library or no address table");
        }
        if (!onLibrary(context, library) ||
            !WalkImportThunks(lookupRva ? lookupRva : slotRva, slotRva, library, onProcedure, context)) {
            return false;
        }
    }
}

bool cPeView::ForEachExport(PeExportCallback callback, void* context) const
{
    const PeDataDirectory directory = Directory(kPeDirectoryExport);
    if (directory.Size == 0) {
        return true;
    }
    const uint8_t* table = RvaToFilePointer(directory.Rva, kExportDirectorySize);
    if (!table) {
        return Refuse("the export directory lies outside the sections' data");
    }
    const uint32_t functionCount = Load32(table + 20);
    const uint32_t nameCount = Load32(table + 24);
    const uint64_t functionsSize = static_cast<uint64_t>(functionCount) * 4;
    const uint64_t namesSize = static_cast<uint64_t>(nameCount) * 4;
    if (functionsSize > UINT32_MAX || namesSize > UINT32_MAX) {
        return Refuse("the export tables are too large");
    }
    const uint8_t* functions = RvaToFilePointer(Load32(table + 28), static_cast<uint32_t>(functionsSize));
    const uint8_t* names = RvaToFilePointer(Load32(table + 32), static_cast<uint32_t>(namesSize));
    const uint8_t* ordinals = RvaToFilePointer(Load32(table + 36), nameCount * 2);
    if ((functionCount && !functions) || (nameCount && (!names || !ordinals))) {
        return Refuse("an export table lies outside the sections' data");
    }
    for (uint32_t i = 0; i < nameCount; ++i) {
        const char* name = StringAt(Load32(names + i * 4));
        const uint16_t ordinal = Load16(ordinals + i * 2);
        if (!name || ordinal >= functionCount) {
            return Refuse("an export name or its position is out of bounds");
        }
        if (!callback(context, name, Load32(functions + ordinal * 4))) {
            return false;
        }
    }
    return true;
}

bool cPeView64::ReadTlsDirectory(PeTlsDirectory& tls) const
{
    const PeDataDirectory directory = Directory(kPeDirectoryTls);
    const uint8_t* p = directory.Size ? RvaToFilePointer(directory.Rva, 40) : nullptr;
    if (!p) {
        return false;
    }
    tls.StartOfData = Load64(p);
    tls.EndOfData = Load64(p + 8);
    tls.AddressOfIndex = Load64(p + 16);
    tls.AddressOfCallbacks = Load64(p + 24);
    tls.SizeOfZeroFill = Load32(p + 32);
    return true;
}

bool cPeView32::ReadTlsDirectory(PeTlsDirectory& tls) const
{
    const PeDataDirectory directory = Directory(kPeDirectoryTls);
    const uint8_t* p = directory.Size ? RvaToFilePointer(directory.Rva, 24) : nullptr;
    if (!p) {
        return false;
    }
    tls.StartOfData = Load32(p);
    tls.EndOfData = Load32(p + 4);
    tls.AddressOfIndex = Load32(p + 8);
    tls.AddressOfCallbacks = Load32(p + 12);
    tls.SizeOfZeroFill = Load32(p + 16);
    return true;
}

bool cPeView::StaticTlsSize(uint64_t& size) const
{
    size = 0;
    if (Directory(kPeDirectoryTls).Size == 0) {
        return true;
    }
    PeTlsDirectory tls;
    if (!ReadTlsDirectory(tls)) {
        return Refuse("the TLS directory lies outside the sections' data");
    }
    const uint64_t templateSize = tls.EndOfData - tls.StartOfData;
    if (tls.EndOfData < tls.StartOfData || templateSize > UINT64_MAX - tls.SizeOfZeroFill) {
        return Refuse("the TLS directory's data range is inverted");
    }
    size = templateSize + tls.SizeOfZeroFill;
    if (size == PointerSize() && IsRuntimeStartMarker(tls)) {
        size = 0;
    }
    return true;
}

// The C runtime brackets an image's TLS template with its own markers and
// starts the template at the first one, a null pointer: an image without
// thread-local variables declares exactly that one pointer. Any variable
// of its own makes the template longer.
bool cPeView::IsRuntimeStartMarker(const PeTlsDirectory& tls) const
{
    const uint64_t base = GetImageBase();
    if (tls.StartOfData < base || tls.StartOfData - base > UINT32_MAX) {
        return false;
    }
    const uint8_t* marker = RvaToFilePointer(static_cast<uint32_t>(tls.StartOfData - base), PointerSize());
    return marker && std::all_of(marker, marker + PointerSize(), [](uint8_t byte) { return byte == 0; });
}

bool cPeView::ForEachTlsCallback(PeTlsCallback callback, void* context) const
{
    if (Directory(kPeDirectoryTls).Size == 0) {
        return true;
    }
    PeTlsDirectory tls;
    if (!ReadTlsDirectory(tls)) {
        return Refuse("the TLS directory lies outside the sections' data");
    }
    if (tls.AddressOfCallbacks == 0) {
        return true;
    }
    // The directory holds addresses at the preferred base.
    const uint64_t base = GetImageBase();
    const uint32_t step = PointerSize();
    if (tls.AddressOfCallbacks < base) {
        return Refuse("the TLS callback list lies below the image");
    }
    for (uint64_t rva = tls.AddressOfCallbacks - base;; rva += step) {
        uint64_t address = 0;
        if (rva > UINT32_MAX || !ReadThunk(static_cast<uint32_t>(rva), address)) {
            return Refuse("the TLS callback list runs outside the sections' data");
        }
        if (address == 0) {
            return true;
        }
        if (address < base || !RangeInSection(address - base, 1)) {
            return Refuse("a TLS callback lies outside the sections");
        }
        if (!callback(context, static_cast<uint32_t>(address - base))) {
            return false;
        }
    }
}

}  // namespace tavrin::launcher
