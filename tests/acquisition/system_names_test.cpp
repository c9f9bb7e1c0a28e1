#include "acquisition/system_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tavrin::launcher {
namespace {

TEST(ModuleFileNameForSystem, WholeTable)
{
    const std::pair<const char*, const char*> cases[] = {
        {"win32", "tavrin_x86.kzv"},
        {"wow64", "tavrin_wow64.kzv"},
        {"wow64_win64", "tavrin_wow64_x64.kzv"},
        {"win64_wow64", "tavrin_x64_wow64.kzv"},
        {"win64", "tavrin_x64.kzv"},
        {"winarm_x64_wow64", "tavrin_winarm_x64_wow64.kzv"},
        {"winarm_x64_x64", "tavrin_winarm_x64_x64.kzv"},
        {"linux64", "tavrin_linux_x64.kzv"},
        {"linux32", "tavrin_linux_x86.kzv"},
        {"linux64_32", "tavrin_linux_x64_x86.kzv"},
        {"linux32_64", "tavrin_linux_x86_x64.kzv"},
        {"mac64", "tavrin_mac_x64.kzv"},
        {"mac_arm64", "tavrin_mac_arm64.kzv"},
        {"WIN64", "tavrin_INVALID_SYSTEM.kzv"},
        {"win64 ", "tavrin_INVALID_SYSTEM.kzv"},
        {"N/A", "tavrin_INVALID_SYSTEM.kzv"},
        {"", "tavrin_INVALID_SYSTEM.kzv"},
    };
    for (const auto& [system, file] : cases) {
        EXPECT_EQ(ModuleFileNameForSystem(system), file) << system;
    }
}

TEST(SystemNameFor, WineBeforeProcessor)
{
    using B = GameBitness;
    EXPECT_EQ(SystemNameFor(B::Bits32, false, false), "win64_wow64");
    EXPECT_EQ(SystemNameFor(B::Bits64, false, false), "win64");
    EXPECT_EQ(SystemNameFor(B::Bits32, false, true), "winarm_x64_wow64");
    EXPECT_EQ(SystemNameFor(B::Bits64, false, true), "winarm_x64_x64");
    EXPECT_EQ(SystemNameFor(B::Bits32, true, true), "linux64_32");
    EXPECT_EQ(SystemNameFor(B::Bits64, true, false), "linux64");
    EXPECT_EQ(SystemNameFor(B::Unknown, true, false), "N/A");
    EXPECT_EQ(BitnessFromBinaryType(0), B::Bits32);
    EXPECT_EQ(BitnessFromBinaryType(6), B::Bits64);
    EXPECT_EQ(BitnessFromBinaryType(5), B::Unknown);
}

// A minimal PE image with one section holding a CLR header.
std::vector<uint8_t> MakeImage(uint16_t magic, uint32_t clrFlags, bool withClr)
{
    std::vector<uint8_t> image(0x400, 0);
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&image[at], &v, 2); };
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&image[at], &v, 4); };
    image[0] = 'M';
    image[1] = 'Z';
    const size_t pe = 0x80;
    put32(0x3C, pe);
    std::memcpy(&image[pe], "PE\0\0", 4);
    const size_t optional = pe + 24;
    const uint16_t optionalSize = 240;
    put16(pe + 4 + 2, 1);              // one section
    put16(pe + 4 + 16, optionalSize);  // size of optional header
    put16(optional, magic);
    put32(optional + 108, 16);  // directory count
    if (withClr) {
        put32(optional + 112 + 14 * 8, 0x2010);
        put32(optional + 112 + 14 * 8 + 4, 72);
    }
    const size_t section = optional + optionalSize;
    put32(section + 8, 0x1000);   // virtual size
    put32(section + 12, 0x2000);  // virtual address
    put32(section + 16, 0x100);   // raw size
    put32(section + 20, 0x300);   // raw pointer
    put32(0x300 + 0x10 + 16, clrFlags);
    return image;
}

TEST(FindClrHeaderFlags, ManagedImages)
{
    uint32_t flags = 0;
    std::vector<uint8_t> image = MakeImage(0x20B, 1, true);
    ASSERT_TRUE(FindClrHeaderFlags(image.data(), image.size(), flags));
    EXPECT_EQ(flags, 1u);
    EXPECT_TRUE(ClrHeaderMeans64Bit(image.data(), image.size()));

    image = MakeImage(0x20B, 1 | 2, true);
    EXPECT_FALSE(ClrHeaderMeans64Bit(image.data(), image.size()));
    image = MakeImage(0x20B, 0, true);
    EXPECT_FALSE(ClrHeaderMeans64Bit(image.data(), image.size()));
    image = MakeImage(0x20B, 1, false);
    EXPECT_FALSE(FindClrHeaderFlags(image.data(), image.size(), flags));
    // PE32 images leave the decision to the operating system.
    image = MakeImage(0x10B, 1, true);
    EXPECT_FALSE(FindClrHeaderFlags(image.data(), image.size(), flags));
}

TEST(FindClrHeaderFlags, TruncatedOrBrokenImagesAreRejected)
{
    const std::vector<uint8_t> whole = MakeImage(0x20B, 1, true);
    uint32_t flags = 0;
    for (size_t size = 0; size < 0x324; size += 7) {  // flags end at 0x324
        EXPECT_FALSE(FindClrHeaderFlags(whole.data(), size, flags)) << size;
    }
    std::vector<uint8_t> image = whole;
    std::memset(&image[0x3C], 0xFF, 4);  // PE offset far outside
    EXPECT_FALSE(FindClrHeaderFlags(image.data(), image.size(), flags));
    image = whole;
    image[0x80] = 'X';
    EXPECT_FALSE(FindClrHeaderFlags(image.data(), image.size(), flags));
    image = whole;
    const uint32_t farRaw = 0xFFFFFFF0u;
    std::memcpy(&image[0x80 + 24 + 240 + 20], &farRaw, 4);  // raw pointer outside
    EXPECT_FALSE(FindClrHeaderFlags(image.data(), image.size(), flags));
    EXPECT_FALSE(FindClrHeaderFlags(nullptr, 100, flags));
}

}  // namespace
}  // namespace tavrin::launcher
