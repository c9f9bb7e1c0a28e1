#include "acquisition/system_names.h"

#include <cstring>

namespace tavrin::launcher {

namespace {

struct SystemEntry {
    const char* Name;
    const char* Suffix;
};

constexpr SystemEntry kSystems[] = {
    {"win32", "x86"},
    {"wow64", "wow64"},
    {"wow64_win64", "wow64_x64"},
    {"win64_wow64", "x64_wow64"},
    {"win64", "x64"},
    {"winarm_x64_wow64", "winarm_x64_wow64"},
    {"winarm_x64_x64", "winarm_x64_x64"},
    {"linux64", "linux_x64"},
    {"linux32", "linux_x86"},
    {"linux64_32", "linux_x64_x86"},
    {"linux32_64", "linux_x86_x64"},
    {"mac64", "mac_x64"},
    {"mac_arm64", "mac_arm64"},
};

constexpr uint32_t kClrDirectoryIndex = 14;
constexpr uint32_t kClr32BitRequired = 2;
constexpr uint16_t kPe32PlusMagic = 0x20B;

bool Read16(const uint8_t* image, size_t size, size_t offset, uint16_t& value)
{
    if (offset > size || size - offset < 2) {
        return false;
    }
    value = static_cast<uint16_t>(image[offset] | (image[offset + 1] << 8));
    return true;
}

bool Read32(const uint8_t* image, size_t size, size_t offset, uint32_t& value)
{
    if (offset > size || size - offset < 4) {
        return false;
    }
    value = static_cast<uint32_t>(image[offset]) | (static_cast<uint32_t>(image[offset + 1]) << 8) |
            (static_cast<uint32_t>(image[offset + 2]) << 16) |
            (static_cast<uint32_t>(image[offset + 3]) << 24);
    return true;
}

// File offset of an RVA through the section table.
bool RvaToOffset(const uint8_t* image, size_t size, size_t sectionTable, uint16_t sectionCount, uint32_t rva,
                 size_t& offset)
{
    constexpr size_t kSectionHeaderSize = 40;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const size_t header = sectionTable + i * kSectionHeaderSize;
        uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawPointer = 0;
        if (!Read32(image, size, header + 8, virtualSize) ||
            !Read32(image, size, header + 12, virtualAddress) || !Read32(image, size, header + 16, rawSize) ||
            !Read32(image, size, header + 20, rawPointer)) {
            return false;
        }
        const uint32_t span = virtualSize > rawSize ? virtualSize : rawSize;
        if (rva >= virtualAddress && rva - virtualAddress < span) {
            const uint64_t delta = rva - virtualAddress;
            if (delta >= rawSize) {
                return false;
            }
            offset = static_cast<size_t>(rawPointer + delta);
            return true;
        }
    }
    return false;
}

// The cache file suffix of a system name; "INVALID_SYSTEM" outside the table.
const char* ModuleFileSuffix(const std::string& systemName)
{
    for (const SystemEntry& entry : kSystems) {
        if (systemName == entry.Name) {
            return entry.Suffix;
        }
    }
    return "INVALID_SYSTEM";
}

}  // namespace

std::string ModuleFileNameForSystem(const std::string& systemName)
{
    return std::string("tavrin_") + ModuleFileSuffix(systemName) + ".kzv";
}

GameBitness BitnessFromBinaryType(uint32_t binaryType)
{
    if (binaryType == kBinaryType32BitWindows) {
        return GameBitness::Bits32;
    }
    if (binaryType == kBinaryType64BitWindows) {
        return GameBitness::Bits64;
    }
    return GameBitness::Unknown;
}

std::string SystemNameFor(GameBitness bitness, bool wine, bool arm64Host)
{
    if (bitness == GameBitness::Unknown) {
        return kNoSystemName;
    }
    const bool is64 = bitness == GameBitness::Bits64;
    if (wine) {
        return is64 ? "linux64" : "linux64_32";
    }
    if (arm64Host) {
        return is64 ? "winarm_x64_x64" : "winarm_x64_wow64";
    }
    return is64 ? "win64" : "win64_wow64";
}

bool FindClrHeaderFlags(const uint8_t* image, size_t size, uint32_t& flags)
{
    flags = 0;
    if (image == nullptr || size < 0x40 || image[0] != 'M' || image[1] != 'Z') {
        return false;
    }
    uint32_t peOffset = 0;
    if (!Read32(image, size, 0x3C, peOffset) || peOffset > size || size - peOffset < 4 ||
        std::memcmp(image + peOffset, "PE\0\0", 4) != 0) {
        return false;
    }
    const size_t fileHeader = static_cast<size_t>(peOffset) + 4;
    const size_t optionalHeader = fileHeader + 20;
    uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
    if (!Read16(image, size, fileHeader + 2, sectionCount) ||
        !Read16(image, size, fileHeader + 16, optionalSize) || !Read16(image, size, optionalHeader, magic) ||
        magic != kPe32PlusMagic) {
        return false;
    }
    uint32_t directoryCount = 0;
    if (!Read32(image, size, optionalHeader + 108, directoryCount) || directoryCount <= kClrDirectoryIndex) {
        return false;
    }
    const size_t directory = optionalHeader + 112 + kClrDirectoryIndex * 8;
    if (directory + 8 > optionalHeader + optionalSize) {
        return false;
    }
    uint32_t clrRva = 0, clrSize = 0;
    if (!Read32(image, size, directory, clrRva) || !Read32(image, size, directory + 4, clrSize) ||
        clrRva == 0 || clrSize < 20) {
        return false;
    }
    size_t clrOffset = 0;
    if (!RvaToOffset(image, size, optionalHeader + optionalSize, sectionCount, clrRva, clrOffset)) {
        return false;
    }
    // IMAGE_COR20_HEADER: cb, runtime version, metadata directory, then flags.
    return Read32(image, size, clrOffset + 16, flags);
}

bool ClrHeaderMeans64Bit(const uint8_t* image, size_t size)
{
    uint32_t flags = 0;
    return FindClrHeaderFlags(image, size, flags) && flags != 0 && (flags & kClr32BitRequired) == 0;
}

}  // namespace tavrin::launcher
