// Small PE64 libraries built in memory for the header view and mapper tests:
// headers in the first 0x400 bytes, sections at RVAs aligned to
// SectionAlignment (0x1000 unless a test sets it) with raw data at
// 0x200-aligned offsets. Tests corrupt the result through the
// offsets below to show what a malformed image does.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace tavrin::test {

inline constexpr uint32_t kPeNtOffset = 0x40;
inline constexpr uint32_t kPeFileHeader = kPeNtOffset + 4;
inline constexpr uint32_t kPeOptionalHeader = kPeNtOffset + 24;
inline constexpr uint32_t kPeDirectories = kPeOptionalHeader + 112;
inline constexpr uint32_t kPeSectionTable = kPeOptionalHeader + 240;
inline constexpr uint32_t kPeHeaderSize = 0x400;

inline void PutLE(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, int width)
{
    if (bytes.size() < offset + width) {
        bytes.resize(offset + width);
    }
    for (int i = 0; i < width; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}
inline void Put16(std::vector<uint8_t>& b, size_t offset, uint16_t v) { PutLE(b, offset, v, 2); }
inline void Put32(std::vector<uint8_t>& b, size_t offset, uint32_t v) { PutLE(b, offset, v, 4); }
inline void Put64(std::vector<uint8_t>& b, size_t offset, uint64_t v) { PutLE(b, offset, v, 8); }

// One import of a library: a procedure name, or an ordinal when Name is empty.
struct PeImportSpec {
    std::string Library;
    std::vector<std::pair<std::string, uint16_t>> Procedures;
};

class cPeImageBuilder {
public:
    static constexpr uint32_t kCode = 0x60000020;   // code, execute, read
    static constexpr uint32_t kData = 0xC0000040;   // initialized data, read, write
    static constexpr uint32_t kRdata = 0x40000040;  // initialized data, read

    uint16_t Machine = 0x8664;
    uint16_t Characteristics = 0x2022;  // executable image, large addresses, DLL
    uint64_t ImageBase = 0x180000000;
    uint32_t EntryPoint = 0;
    uint32_t SectionAlignment = 0x1000;  // a power of two

    struct Section {
        char Name[8];
        uint32_t Rva;
        uint32_t VirtualSize;
        uint32_t Characteristics;
        std::vector<uint8_t> Data;
    };

    // The RVA the next section gets.
    uint32_t NextRva() const
    {
        const uint32_t mask = SectionAlignment - 1;
        if (Sections.empty()) {
            return (kPeHeaderSize + mask) & ~mask;
        }
        const Section& last = Sections.back();
        const uint32_t size = last.VirtualSize ? last.VirtualSize : static_cast<uint32_t>(last.Data.size());
        return last.Rva + ((size + mask) & ~mask) + (size == 0 ? SectionAlignment : 0);
    }

    // virtualSize 0 keeps the data's size.
    uint32_t AddSection(const char* name, uint32_t characteristics, std::vector<uint8_t> data,
                        uint32_t virtualSize = 0)
    {
        Section s{};
        std::memcpy(s.Name, name, std::min(std::strlen(name), sizeof s.Name));
        s.Rva = NextRva();
        s.VirtualSize = virtualSize ? virtualSize : static_cast<uint32_t>(data.size());
        s.Characteristics = characteristics;
        s.Data = std::move(data);
        Sections.push_back(std::move(s));
        return Sections.back().Rva;
    }

    void SetDirectory(uint32_t index, uint32_t rva, uint32_t size) { Directories[index] = {rva, size}; }

    // Code returning 1 in eax (an entry point that accepts), then "xor eax, eax; ret".
    uint32_t AddCode()
    {
        const uint32_t rva = AddSection(".text", kCode, {0xB8, 1, 0, 0, 0, 0xC3, 0x31, 0xC0, 0xC3});
        EntryPoint = rva;
        return rva;
    }

    // A data section of `count` 64-bit values, each the preferred address of
    // value[i]'s own slot, with a relocation block for each.
    uint32_t AddPointerData(uint32_t count)
    {
        const uint32_t rva = NextRva();
        std::vector<uint8_t> data;
        for (uint32_t i = 0; i < count; ++i) {
            Put64(data, i * 8, ImageBase + rva + i * 8);
        }
        AddSection(".data", kData, data);
        std::vector<std::pair<uint32_t, uint32_t>> fixups;
        for (uint32_t i = 0; i < count; ++i) {
            fixups.push_back({10, rva + i * 8});
        }
        AddRelocations(fixups);
        return rva;
    }

    // One block per fixup (type, rva), padded to 4 bytes.
    uint32_t AddRelocations(const std::vector<std::pair<uint32_t, uint32_t>>& fixups)
    {
        std::vector<uint8_t> data;
        for (const auto& [type, rva] : fixups) {
            const size_t at = data.size();
            Put32(data, at, rva & ~0xFFFu);
            Put32(data, at + 4, 12);
            Put16(data, at + 8, static_cast<uint16_t>((type << 12) | (rva & 0xFFF)));
            Put16(data, at + 10, 0);
        }
        const uint32_t rva = AddSection(".reloc", kRdata, data);
        SetDirectory(5, rva, static_cast<uint32_t>(data.size()));
        return rva;
    }

    // A .pdata section of (begin, end, unwind) entries, made the exception directory.
    uint32_t AddFunctionTable(const std::vector<std::array<uint32_t, 3>>& entries)
    {
        std::vector<uint8_t> data;
        for (const auto& entry : entries) {
            for (uint32_t value : entry) {
                Put32(data, data.size(), value);
            }
        }
        const uint32_t rva = AddSection(".pdata", kRdata, data);
        SetDirectory(3, rva, static_cast<uint32_t>(data.size()));
        return rva;
    }

    // Descriptors, lookup tables, address tables and names in one section.
    // Returns the RVA of the first library's address table.
    uint32_t AddImports(const std::vector<PeImportSpec>& libraries)
    {
        const uint32_t rva = NextRva();
        std::vector<uint8_t> data;
        const size_t descriptors = 0;
        size_t cursor = (libraries.size() + 1) * 20;
        uint32_t firstSlots = 0;
        for (size_t i = 0; i < libraries.size(); ++i) {
            const PeImportSpec& lib = libraries[i];
            const size_t tableBytes = (lib.Procedures.size() + 1) * 8;
            const size_t lookup = cursor;
            const size_t slots = lookup + tableBytes;
            cursor = slots + tableBytes;
            if (i == 0) {
                firstSlots = rva + static_cast<uint32_t>(slots);
            }
            for (size_t p = 0; p < lib.Procedures.size(); ++p) {
                const auto& [name, ordinal] = lib.Procedures[p];
                uint64_t thunk = (1ull << 63) | ordinal;
                if (!name.empty()) {
                    thunk = rva + cursor;
                    Put16(data, cursor, 0);
                    std::memcpy(Grow(data, cursor + 2, name.size() + 1), name.c_str(), name.size() + 1);
                    cursor += 2 + name.size() + 1;
                }
                Put64(data, lookup + p * 8, thunk);
                Put64(data, slots + p * 8, thunk);
            }
            Put64(data, lookup + lib.Procedures.size() * 8, 0);
            Put64(data, slots + lib.Procedures.size() * 8, 0);
            const size_t d = descriptors + i * 20;
            Put32(data, d, rva + static_cast<uint32_t>(lookup));
            Put32(data, d + 12, rva + static_cast<uint32_t>(cursor));
            Put32(data, d + 16, rva + static_cast<uint32_t>(slots));
            std::memcpy(Grow(data, cursor, lib.Library.size() + 1), lib.Library.c_str(),
                        lib.Library.size() + 1);
            cursor += lib.Library.size() + 1;
        }
        Put32(data, libraries.size() * 20 + 16, 0);  // the closing descriptor
        AddSection(".idata", kData, data);
        SetDirectory(1, rva, static_cast<uint32_t>((libraries.size() + 1) * 20));
        return firstSlots;
    }

    // An export table of the given function RVAs (0 leaves a gap) and names
    // (name, position), ordinal base 1.
    uint32_t AddExports(const std::vector<uint32_t>& functions,
                        const std::vector<std::pair<std::string, uint16_t>>& names = {})
    {
        const uint32_t rva = NextRva();
        std::vector<uint8_t> data(40);
        const uint32_t functionTable = 40;
        const uint32_t nameTable = functionTable + static_cast<uint32_t>(functions.size()) * 4;
        const uint32_t ordinalTable = nameTable + static_cast<uint32_t>(names.size()) * 4;
        uint32_t cursor = ordinalTable + static_cast<uint32_t>(names.size()) * 2;
        Put32(data, 16, 1);
        Put32(data, 20, static_cast<uint32_t>(functions.size()));
        Put32(data, 24, static_cast<uint32_t>(names.size()));
        Put32(data, 28, rva + functionTable);
        Put32(data, 32, rva + nameTable);
        Put32(data, 36, rva + ordinalTable);
        for (size_t i = 0; i < functions.size(); ++i) {
            Put32(data, functionTable + i * 4, functions[i]);
        }
        for (size_t i = 0; i < names.size(); ++i) {
            Put32(data, nameTable + i * 4, rva + cursor);
            Put16(data, ordinalTable + i * 2, names[i].second);
            std::memcpy(Grow(data, cursor, names[i].first.size() + 1), names[i].first.c_str(),
                        names[i].first.size() + 1);
            cursor += static_cast<uint32_t>(names[i].first.size() + 1);
        }
        AddSection(".edata", kRdata, data);
        SetDirectory(0, rva, static_cast<uint32_t>(data.size()));
        return rva;
    }

    std::vector<uint8_t> Build() const
    {
        std::vector<uint8_t> image(kPeHeaderSize);
        image[0] = 'M';
        image[1] = 'Z';
        Put32(image, 0x3C, kPeNtOffset);
        std::memcpy(&image[kPeNtOffset], "PE\0\0", 4);
        Put16(image, kPeFileHeader, Machine);
        Put16(image, kPeFileHeader + 2, static_cast<uint16_t>(Sections.size()));
        Put16(image, kPeFileHeader + 16, 240);
        Put16(image, kPeFileHeader + 18, Characteristics);
        const uint32_t o = kPeOptionalHeader;
        Put16(image, o, 0x20B);
        Put32(image, o + 16, EntryPoint);
        Put64(image, o + 24, ImageBase);
        Put32(image, o + 32, SectionAlignment);
        Put32(image, o + 36, 0x200);
        Put16(image, o + 40, 6);
        Put16(image, o + 48, 6);
        Put32(image, o + 56, NextRva());
        Put32(image, o + 60, kPeHeaderSize);
        Put16(image, o + 68, 3);
        Put16(image, o + 70, 0x160);
        Put64(image, o + 72, 0x100000);
        Put64(image, o + 80, 0x1000);
        Put64(image, o + 88, 0x100000);
        Put64(image, o + 96, 0x1000);
        Put32(image, o + 108, 16);
        for (uint32_t i = 0; i < 16; ++i) {
            Put32(image, kPeDirectories + i * 8, Directories[i].first);
            Put32(image, kPeDirectories + i * 8 + 4, Directories[i].second);
        }
        size_t raw = kPeHeaderSize;
        for (size_t i = 0; i < Sections.size(); ++i) {
            const Section& s = Sections[i];
            const size_t h = kPeSectionTable + i * 40;
            std::memcpy(&image[h], s.Name, 8);
            Put32(image, h + 8, s.VirtualSize);
            Put32(image, h + 12, s.Rva);
            const uint32_t rawSize = (static_cast<uint32_t>(s.Data.size()) + 0x1FF) & ~0x1FFu;
            Put32(image, h + 16, rawSize);
            Put32(image, h + 20, rawSize ? static_cast<uint32_t>(raw) : 0);
            Put32(image, h + 36, s.Characteristics);
            image.resize(raw + rawSize);
            if (!s.Data.empty()) {
                std::memcpy(&image[raw], s.Data.data(), s.Data.size());
            }
            raw += rawSize;
        }
        return image;
    }

    // Offset of section i's header field (8 VirtualSize, 12 VirtualAddress,
    // 16 SizeOfRawData, 20 PointerToRawData, 36 Characteristics).
    static size_t SectionField(size_t index, size_t field) { return kPeSectionTable + index * 40 + field; }

    std::vector<Section> Sections;
    std::pair<uint32_t, uint32_t> Directories[16] = {};

private:
    static uint8_t* Grow(std::vector<uint8_t>& data, size_t offset, size_t size)
    {
        if (data.size() < offset + size) {
            data.resize(offset + size);
        }
        return &data[offset];
    }
};

}  // namespace tavrin::test
