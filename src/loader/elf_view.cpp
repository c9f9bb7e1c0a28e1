#include "loader/elf_view.h"

#include <cstring>
#include <string_view>

namespace tavrin::launcher {

namespace {

constexpr uint16_t kTypeSharedObject = 3;
constexpr uint16_t kMachineX86_64 = 62;
constexpr uint16_t kProgramHeaderSize = 56;
constexpr uint32_t kProgramDynamic = 2;
constexpr int64_t kTagEnd = 0;
constexpr int64_t kTagHash = 4;
constexpr int64_t kTagStringTable = 5;
constexpr int64_t kTagSymbolTable = 6;
constexpr int64_t kTagGnuHash = 0x6FFFFEF5;
constexpr int64_t kTagVersionSymbols = 0x6FFFFFF0;
constexpr uint64_t kSymbolSize = 24;
constexpr uint16_t kSectionUndefined = 0;
constexpr uint16_t kVersionHidden = 0x8000;
constexpr uint8_t kSymbolObject = 1;
constexpr uint8_t kSymbolFunction = 2;

class cImageReader {
public:
    explicit cImageReader(const ElfImage& image) : Image(image) {}

    bool Read(uint64_t address, void* out, uint64_t size) const
    {
        if (address + size < address) {
            return false;
        }
        for (const MemoryRange& range : Image.Readable) {
            if (address >= range.Start && address + size <= range.End) {
                std::memcpy(out, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), size);
                return true;
            }
        }
        return false;
    }

    template <typename T>
    bool Read(uint64_t address, T& value) const
    {
        return Read(address, &value, sizeof(T));
    }

    // Offsets into the image relative to its base; false on overflow.
    bool At(uint64_t offset, uint64_t& address) const
    {
        address = Image.Base + offset;
        return address >= Image.Base;
    }

    // The loader relocates dynamic-section addresses; a file on disk keeps
    // them relative to the base.
    bool Resolve(uint64_t value, uint64_t& address) const
    {
        if (value >= Image.Base) {
            address = value;
            return true;
        }
        return At(value, address);
    }

    uint64_t Base() const { return Image.Base; }

private:
    const ElfImage& Image;
};

struct DynamicTables {
    uint64_t Strings = 0;
    uint64_t Symbols = 0;
    uint64_t Versions = 0;
    uint64_t Hash = 0;
    bool GnuHash = false;
};

bool CheckHeader(const cImageReader& reader, uint64_t& phoff, uint16_t& phnum)
{
    uint8_t header[64];
    if (!reader.Read(reader.Base(), header, sizeof(header))) {
        return false;
    }
    uint16_t type;
    uint16_t machine;
    uint16_t phentsize;
    std::memcpy(&type, header + 16, 2);
    std::memcpy(&machine, header + 18, 2);
    std::memcpy(&phoff, header + 32, 8);
    std::memcpy(&phentsize, header + 54, 2);
    std::memcpy(&phnum, header + 56, 2);
    // 64-bit little-endian only: the fields are read in that layout.
    return std::memcmp(header,
                       "\x7F"
                       "ELF",
                       4) == 0 &&
           header[4] == 2 && header[5] == 1 && type == kTypeSharedObject && machine == kMachineX86_64 &&
           phentsize == kProgramHeaderSize;
}

bool FindDynamicSection(const cImageReader& reader, uint64_t& dynamic)
{
    uint64_t phoff;
    uint16_t phnum;
    if (!CheckHeader(reader, phoff, phnum)) {
        return false;
    }
    for (uint16_t i = 0; i < phnum; ++i) {
        uint64_t entry;
        uint32_t type;
        uint64_t vaddr;
        if (!reader.At(phoff + uint64_t{i} * kProgramHeaderSize, entry) || !reader.Read(entry, type) ||
            !reader.Read(entry + 16, vaddr)) {
            return false;
        }
        if (type == kProgramDynamic) {
            return reader.At(vaddr, dynamic);
        }
    }
    return false;
}

bool ReadDynamicTables(const cImageReader& reader, DynamicTables& tables)
{
    uint64_t entry;
    if (!FindDynamicSection(reader, entry)) {
        return false;
    }
    for (;; entry += 16) {
        int64_t tag;
        uint64_t value;
        if (entry + 16 < entry || !reader.Read(entry, tag) || !reader.Read(entry + 8, value)) {
            return false;
        }
        if (tag == kTagEnd) {
            break;
        }
        uint64_t address;
        if (!reader.Resolve(value, address)) {
            continue;
        }
        switch (tag) {
        case kTagHash:
            tables.Hash = address;
            tables.GnuHash = false;
            break;
        case kTagGnuHash:
            tables.Hash = address;
            tables.GnuHash = true;
            break;
        case kTagStringTable:
            tables.Strings = address;
            break;
        case kTagSymbolTable:
            tables.Symbols = address;
            break;
        case kTagVersionSymbols:
            tables.Versions = address;
            break;
        default:
            break;
        }
    }
    return tables.Strings && tables.Symbols && tables.Hash;
}

struct SymbolLookup {
    const cImageReader& Reader;
    const DynamicTables& Tables;
    std::string_view Name;

    // The symbol at index when it carries the name, is defined, is a plain
    // function or object (an indirect function's value is its resolver, a
    // thread-local one's an offset: neither is an address to use), and is
    // the default version (as the dynamic loader would bind it); else 0.
    uint64_t Match(uint64_t index) const
    {
        uint64_t symbol = Tables.Symbols + index * kSymbolSize;
        if (index > UINT64_MAX / kSymbolSize || symbol < Tables.Symbols) {
            return 0;
        }
        uint32_t nameOffset;
        uint8_t info;
        uint16_t section;
        uint64_t value;
        if (!Reader.Read(symbol, nameOffset) || !Reader.Read(symbol + 4, info) ||
            !Reader.Read(symbol + 6, section) || !Reader.Read(symbol + 8, value) ||
            section == kSectionUndefined || !IsPlainSymbol(info) || !NameMatches(nameOffset)) {
            return 0;
        }
        if (Tables.Versions) {
            uint16_t version;
            if (!Reader.Read(Tables.Versions + index * 2, version) || (version & kVersionHidden)) {
                return 0;
            }
        }
        uint64_t address;
        return Reader.At(value, address) ? address : 0;
    }

    static bool IsPlainSymbol(uint8_t info)
    {
        const uint8_t type = info & 0xF;
        return type == kSymbolObject || type == kSymbolFunction;
    }

    bool NameMatches(uint32_t offset) const
    {
        char stored[256];
        const uint64_t address = Tables.Strings + offset;
        return Name.size() < sizeof(stored) && address >= Tables.Strings &&
               Reader.Read(address, stored, Name.size() + 1) && stored[Name.size()] == '\0' &&
               std::memcmp(stored, Name.data(), Name.size()) == 0;
    }
};

uint32_t GnuHashOf(std::string_view name)
{
    uint32_t h = 5381;
    for (unsigned char c : name) {
        h = h * 33 + c;
    }
    return h;
}

uint32_t ElfHashOf(std::string_view name)
{
    uint32_t h = 0;
    for (unsigned char c : name) {
        h = (h << 4) + c;
        const uint32_t g = h & 0xF0000000u;
        if (g) {
            h ^= g >> 24;
        }
        h &= ~g;
    }
    return h;
}

uint64_t LookupGnu(const SymbolLookup& lookup)
{
    const cImageReader& reader = lookup.Reader;
    const uint64_t table = lookup.Tables.Hash;
    uint32_t header[4];  // bucket count, symbol offset, bloom size, bloom shift
    if (!reader.Read(table, header, sizeof(header)) || header[0] == 0) {
        return 0;
    }
    const uint32_t h = GnuHashOf(lookup.Name);
    const uint64_t buckets = table + 16 + uint64_t{header[2]} * 8;
    const uint64_t chains = buckets + uint64_t{header[0]} * 4;
    uint32_t index;
    if (buckets < table || !reader.Read(buckets + uint64_t{h % header[0]} * 4, index) || index < header[1]) {
        return 0;
    }
    // Each step reads one further chain word; the walk ends at the word
    // with bit 0 set or at the end of readable memory.
    for (uint64_t i = index;; ++i) {
        uint32_t chain;
        if (!reader.Read(chains + (i - header[1]) * 4, chain)) {
            return 0;
        }
        if ((h | 1) == (chain | 1)) {
            if (const uint64_t found = lookup.Match(i)) {
                return found;
            }
        }
        if (chain & 1) {
            return 0;
        }
    }
}

uint64_t LookupClassic(const SymbolLookup& lookup)
{
    const cImageReader& reader = lookup.Reader;
    const uint64_t table = lookup.Tables.Hash;
    uint32_t counts[2];  // bucket count, chain count
    if (!reader.Read(table, counts, sizeof(counts)) || counts[0] == 0) {
        return 0;
    }
    const uint64_t buckets = table + 8;
    const uint64_t chains = buckets + uint64_t{counts[0]} * 4;
    uint32_t index;
    uint32_t lastChain;
    // The whole chain array must be there: that also bounds the walk below
    // by the image's size, whatever count the table claims.
    if (counts[1] == 0 || !reader.Read(chains + (uint64_t{counts[1]} - 1) * 4, lastChain) ||
        !reader.Read(buckets + uint64_t{ElfHashOf(lookup.Name) % counts[0]} * 4, index)) {
        return 0;
    }
    // A chain longer than the chain array has a loop in it.
    for (uint32_t steps = 0; index != 0 && index < counts[1] && steps < counts[1]; ++steps) {
        if (const uint64_t found = lookup.Match(index)) {
            return found;
        }
        if (!reader.Read(chains + uint64_t{index} * 4, index)) {
            return 0;
        }
    }
    return 0;
}

constexpr uint32_t kProgramLoad = 1;

}  // namespace

bool ElfFileFitsInBuffer(const uint8_t* data, size_t size)
{
    if (!data || size < 64) {
        return false;
    }
    const uint64_t start = reinterpret_cast<uintptr_t>(data);
    const ElfImage whole{start, {{start, start + size}}};
    const cImageReader reader(whole);
    uint64_t phoff;
    uint16_t phnum;
    if (!CheckHeader(reader, phoff, phnum) || phoff > size ||
        uint64_t{phnum} * kProgramHeaderSize > size - phoff) {
        return false;
    }
    for (uint16_t i = 0; i < phnum; ++i) {
        const uint8_t* entry = data + phoff + uint64_t{i} * kProgramHeaderSize;
        uint32_t type;
        uint64_t offset;
        uint64_t fileSize;
        uint64_t memorySize;
        std::memcpy(&type, entry, 4);
        std::memcpy(&offset, entry + 8, 8);
        std::memcpy(&fileSize, entry + 32, 8);
        std::memcpy(&memorySize, entry + 40, 8);
        if ((type == kProgramLoad || type == kProgramDynamic) &&
            (offset > size || fileSize > size - offset || fileSize > memorySize)) {
            return false;
        }
    }
    return true;
}

uint64_t FindElfSymbol(const ElfImage& image, const char* name)
{
    if (!name || !*name) {
        return 0;
    }
    const cImageReader reader(image);
    DynamicTables tables;
    if (!ReadDynamicTables(reader, tables)) {
        return 0;
    }
    const SymbolLookup lookup{reader, tables, name};
    return tables.GnuHash ? LookupGnu(lookup) : LookupClassic(lookup);
}

}  // namespace tavrin::launcher
