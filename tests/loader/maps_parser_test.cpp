#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loader/maps_parser.h"

using namespace tavrin::launcher;

namespace {

TEST(MapsParser, KeepsWellFormedLinesOnly)
{
    const std::string text =
        "7f0000000000-7f0000001000 r--p 00000000 08:01 42     /usr/lib/libfoo.so\n"
        "7f0000001000-7f0000002000 r-xp 00001000 08:01 42\n"  // five pieces
        "7f0000002000 r--p 00000000 08:01 42 /x\n"            // no end
        "7f0000002000-7f0000003000-7f0000004000 r--p 0 08:01 42 /x\n"
        "7f000000200g-7f0000003000 r--p 0 08:01 42 /x\n"
        "7f0000003000-7f0000003000 r--p 0 08:01 42 /empty\n"
        "7f0000003000-7f0000004000 r--p zz 08:01 42 /x\n"
        "10000000000000000-7f0000004000 r--p 0 08:01 42 /x\n"
        "\n"
        "  7f0000004000-7f0000005000   ---p   00002000 08:01 42   /a path/with  spaces  ";
    const std::vector<MapsRegion> regions = ParseMaps(text);
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[0].Start, 0x7f0000000000u);
    EXPECT_EQ(regions[0].End, 0x7f0000001000u);
    EXPECT_TRUE(regions[0].Readable);
    EXPECT_EQ(regions[0].Path, "/usr/lib/libfoo.so");
    EXPECT_EQ(regions[1].Offset, 0x2000u);
    EXPECT_FALSE(regions[1].Readable);
    EXPECT_EQ(regions[1].Path, "/apath/withspaces");
}

TEST(MapsParser, FindsTheFirstLibcLineAndItsReadableRegions)
{
    const std::string text =
        "555500000000-555500001000 r--p 00000000 08:01 1 /usr/lib/x86_64-linux-gnu/libcurl.so.4\n"
        "7f0000028000-7f000002a000 r-xp 00028000 08:01 7 /usr/lib/x86_64-linux-gnu/libc.so.6\n"
        "7f0000000000-7f0000028000 r--p 00000000 08:01 7 /usr/lib/x86_64-linux-gnu/libc.so.6\n"
        "7f000002a000-7f000002b000 ---p 0002a000 08:01 7 /usr/lib/x86_64-linux-gnu/libc.so.6\n"
        "7f000002b000-7f000002c000 rw-p 0002b000 08:01 7 /usr/lib/x86_64-linux-gnu/libc.so.6\n"
        "7f1000000000-7f1000001000 r--p 00000000 08:01 8 /usr/lib/libc.so.6.old\n";
    ElfImage image;
    ASSERT_TRUE(FindLibcInMaps(text, image));
    EXPECT_EQ(image.Base, 0x7f0000000000u);  // start minus file offset
    ASSERT_EQ(image.Readable.size(), 3u);
    EXPECT_EQ(image.Readable[0].Start, 0x7f0000028000u);
    EXPECT_EQ(image.Readable[1].Start, 0x7f0000000000u);
    EXPECT_EQ(image.Readable[2].Start, 0x7f000002b000u);
}

// The native module is an in-memory file; the kernel marks it deleted.
TEST(MapsParser, FindsAnInMemoryFileByItsName)
{
    const std::string name = "0a1b2c3d-0001-0002-0003-00000000000f0004";
    const std::string text =
        "7e0000000000-7e0000001000 r--p 00000000 00:01 9 /memfd:" + name + "x (deleted)\n"
        "7f0000000000-7f0000001000 r--p 00000000 00:01 5 /memfd:" + name + " (deleted)\n"
        "7f0000001000-7f0000002000 r-xp 00001000 00:01 5 /memfd:" + name + " (deleted)\n"
        "7f0000002000-7f0000003000 ---p 00002000 00:01 5 /memfd:" + name + " (deleted)\n";
    ElfImage image;
    ASSERT_TRUE(FindMemfdImageInMaps(text, name, image));
    EXPECT_EQ(image.Base, 0x7f0000000000u);
    ASSERT_EQ(image.Readable.size(), 2u);
    EXPECT_EQ(image.Readable[1].End, 0x7f0000002000u);
    EXPECT_FALSE(FindMemfdImageInMaps(text, "0a1b2c3d", image));
    EXPECT_FALSE(FindMemfdImageInMaps(text, "", image));
}

TEST(MapsParser, LibcNamesAndRefusals)
{
    struct Case {
        const char* Line;
        bool Found;
    };
    const Case cases[] = {
        {"7f0000001000-7f0000002000 r--p 00000000 08:01 7 /lib/x86_64-linux-gnu/libc-2.31.so", true},
        {"7f0000001000-7f0000002000 r--p 00000000 08:01 7 /LIB/LIBC.SO.6", true},
        {"7f0000001000-7f0000002000 r--p 00000000 08:01 7 /usr/lib/libcrypto.so.3", false},
        {"7f0000001000-7f0000002000 r--p 00000000 08:01 7 [heap]", false},
        // An offset beyond the start would put the base below zero.
        {"0000000001000-0000000002000 r--p 00002000 08:01 7 /usr/lib/libc.so.6", false},
        {"", false},
    };
    // A region of the same file below the base is not part of the image.
    ElfImage image;
    ASSERT_TRUE(FindLibcInMaps("7f0000010000-7f0000011000 r--p 00008000 08:01 7 /usr/lib/libc.so.6\n"
                               "7f0000001000-7f0000002000 r--p 00000000 08:01 7 /usr/lib/libc.so.6\n",
                               image));
    EXPECT_EQ(image.Base, 0x7f0000008000u);
    ASSERT_EQ(image.Readable.size(), 1u);
    EXPECT_EQ(image.Readable[0].Start, 0x7f0000010000u);
    for (const Case& c : cases) {
        ElfImage image;
        EXPECT_EQ(FindLibcInMaps(c.Line, image), c.Found) << c.Line;
    }
}

}  // namespace
