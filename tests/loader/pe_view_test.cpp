#include "loader/pe_view.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "test_support/pe_image_builder.h"

using tavrin::launcher::cPeView;
using tavrin::launcher::PeImport;
using tavrin::launcher::PeSection;
using tavrin::test::cPeImageBuilder;
using tavrin::test::Put16;
using tavrin::test::Put32;
using tavrin::test::Put64;
namespace tl = tavrin::launcher;
namespace tt = tavrin::test;

namespace {

using Bytes = std::vector<uint8_t>;

// An image with code, pointer data and its relocations, imports and exports.
struct FullImage {
    cPeImageBuilder Builder;
    uint32_t Code = 0;
    uint32_t Data = 0;
    uint32_t Slots = 0;
    Bytes Image;

    FullImage()
    {
        Code = Builder.AddCode();
        Data = Builder.AddPointerData(2);
        Slots = Builder.AddImports(
            {{"kernel32.dll", {{"GetTickCount", 0}, {"", 42}}}, {"user32.dll", {{"Beep", 0}}}});
        Builder.AddExports({Code, 0, Code + 6}, {{"Accept", 0}, {"Refuse", 2}});
        Image = Builder.Build();
    }
};

std::unique_ptr<cPeView> OpenValid(const Bytes& image)
{
    auto view = cPeView::Open(image.data(), image.size());
    if (view && !view->Validate()) {
        view.reset();
    }
    return view;
}

struct Relocation {
    uint32_t Type;
    uint32_t Rva;
    bool operator==(const Relocation&) const = default;
};

bool CollectRelocations(const cPeView& view, std::vector<Relocation>& out)
{
    return view.ForEachRelocation(
        [](void* c, uint32_t type, uint32_t rva) {
            static_cast<std::vector<Relocation>*>(c)->push_back({type, rva});
            return true;
        },
        &out);
}

bool CollectImports(const cPeView& view, std::vector<std::string>& out)
{
    return view.ForEachImport(
        [](void* c, const char* library) {
            static_cast<std::vector<std::string>*>(c)->push_back(std::string("lib ") + library);
            return true;
        },
        [](void* c, const PeImport& import) {
            std::string line = import.Procedure ? import.Procedure : "#" + std::to_string(import.Ordinal);
            static_cast<std::vector<std::string>*>(c)->push_back(line + " @" +
                                                                 std::to_string(import.SlotRva));
            return true;
        },
        &out);
}

TEST(PeView, ReadsTheHeadersOfAValidLibrary)
{
    FullImage full;
    auto view = OpenValid(full.Image);
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->IsMachine64());
    EXPECT_EQ(view->PointerSize(), 8u);
    EXPECT_EQ(view->GetImageBase(), 0x180000000u);
    EXPECT_EQ(view->GetHeaderValue(tl::kPeEntryPoint), full.Code);
    EXPECT_EQ(view->GetHeaderValue(tl::kPeSizeOfImage), full.Builder.NextRva());
    EXPECT_EQ(view->GetHeaderValue(tl::kPeSizeOfHeaders), tt::kPeHeaderSize);
    EXPECT_EQ(view->GetHeaderValue(tl::kPeExportFunctionCount), 3u);
    EXPECT_EQ(view->GetHeaderValue(tl::kPeExportNameCount), 2u);
    const uint32_t exports = full.Builder.Sections.back().Rva;
    EXPECT_EQ(view->GetHeaderValue(tl::kPeExportFunctions), exports + 40);
    EXPECT_EQ(view->GetHeaderValue(tl::kPeExportNames), exports + 52);
    EXPECT_EQ(view->GetHeaderValue(tl::kPeExportNameOrdinals), exports + 60);
    EXPECT_EQ(view->GetHeaderValue(99), 0u);

    std::vector<std::string> names;
    EXPECT_TRUE(view->ForEachSection(
        [](void* c, const PeSection& s) {
            static_cast<std::vector<std::string>*>(c)->push_back(s.Name);
            return true;
        },
        &names));
    EXPECT_EQ(names, (std::vector<std::string>{".text", ".data", ".reloc", ".idata", ".edata"}));

    // A callback's false stops the walk and is reported.
    int seen = 0;
    EXPECT_FALSE(
        view->ForEachSection([](void* c, const PeSection&) { return ++*static_cast<int*>(c) < 2; }, &seen));
    EXPECT_EQ(seen, 2);
}

TEST(PeView, ExportKindsAreZeroWithoutAnExportDirectory)
{
    cPeImageBuilder b;
    b.AddCode();
    const Bytes image = b.Build();
    auto view = OpenValid(image);
    ASSERT_TRUE(view);
    for (uint32_t kind = tl::kPeExportFunctions; kind <= tl::kPeExportNameCount; ++kind) {
        EXPECT_EQ(view->GetHeaderValue(kind), 0u) << kind;
    }
    EXPECT_TRUE(view->ForEachExport([](void*, const char*, uint32_t) { return false; }, nullptr));
}

struct HeaderCase {
    const char* Name;
    std::function<void(Bytes&)> Corrupt;
    bool Opens;  // Open still gives a view (then Validate must fail)
};

class PeViewRefuses : public testing::TestWithParam<HeaderCase> {};

TEST_P(PeViewRefuses, MalformedHeaders)
{
    cPeImageBuilder b;
    b.AddCode();
    b.AddPointerData(1);
    Bytes image = b.Build();
    GetParam().Corrupt(image);
    auto view = cPeView::Open(image.data(), image.size());
    EXPECT_EQ(view != nullptr, GetParam().Opens);
    if (view) {
        EXPECT_FALSE(view->Validate());
    }
}

const size_t kOpt = tt::kPeOptionalHeader;
INSTANTIATE_TEST_SUITE_P(
    Cases, PeViewRefuses,
    testing::Values(
        HeaderCase{"Empty", [](Bytes& i) { i.clear(); }, false},
        HeaderCase{"ShorterThanDosHeader", [](Bytes& i) { i.resize(0x3F); }, false},
        HeaderCase{"NoMz", [](Bytes& i) { i[0] = 'X'; }, false},
        HeaderCase{"NegativeNtOffset", [](Bytes& i) { Put32(i, 0x3C, 0x80000000u); }, false},
        HeaderCase{"NtOffsetPastEnd", [](Bytes& i) { Put32(i, 0x3C, static_cast<uint32_t>(i.size() - 8)); },
                   false},
        HeaderCase{"NoPeSignature", [](Bytes& i) { i[tt::kPeNtOffset + 2] = 1; }, false},
        HeaderCase{"Arm64Machine", [](Bytes& i) { Put16(i, tt::kPeFileHeader, 0xAA64); }, false},
        HeaderCase{"X86MachineWithPe64Header", [](Bytes& i) { Put16(i, tt::kPeFileHeader, 0x014C); }, true},
        HeaderCase{"Pe32Magic", [](Bytes& i) { Put16(i, kOpt, 0x10B); }, true},
        HeaderCase{"OddOptionalHeaderSize", [](Bytes& i) { Put16(i, tt::kPeFileHeader + 16, 256); }, true},
        HeaderCase{"TruncatedInOptionalHeader", [](Bytes& i) { i.resize(kOpt + 100); }, true},
        HeaderCase{"SectionTablePastEnd", [](Bytes& i) { Put16(i, tt::kPeFileHeader + 2, 0xFFFF); }, true},
        HeaderCase{"ZeroSizeOfImage", [](Bytes& i) { Put32(i, kOpt + 56, 0); }, true},
        HeaderCase{"HeadersLargerThanImage", [](Bytes& i) { Put32(i, kOpt + 60, 0x100000); }, true},
        HeaderCase{"HeadersLargerThanFile",
                   [](Bytes& i) { Put32(i, kOpt + 56, 0x10000000), Put32(i, kOpt + 60, 0x1000000); }, true},
        HeaderCase{"SectionPastSizeOfImage",
                   [](Bytes& i) { Put32(i, cPeImageBuilder::SectionField(1, 8), 0x10000); }, true},
        HeaderCase{"SectionRvaWraps",
                   [](Bytes& i) { Put32(i, cPeImageBuilder::SectionField(1, 12), 0xFFFFF000u); }, true},
        HeaderCase{"RawDataPastEnd",
                   [](Bytes& i) { Put32(i, cPeImageBuilder::SectionField(0, 20), 0x7FFFFF00); }, true},
        HeaderCase{"TruncatedInSectionData", [](Bytes& i) { i.resize(i.size() - 0x200 + 4); }, true},
        HeaderCase{"EntryPointOutsideSections", [](Bytes& i) { Put32(i, kOpt + 16, 0x800); }, true},
        HeaderCase{"SectionTablePastSizeOfHeaders", [](Bytes& i) { Put32(i, kOpt + 60, 0x170); }, true},
        HeaderCase{"SectionsOverlap",
                   [](Bytes& i) { Put32(i, cPeImageBuilder::SectionField(1, 12), 0x1000); }, true},
        HeaderCase{"SectionInsideAnother",
                   [](Bytes& i) {
                       Put32(i, cPeImageBuilder::SectionField(0, 8), 0x3000);  // .text now covers .data
                       Put32(i, kOpt + 56, 0x5000);
                   },
                   true},
        HeaderCase{"SectionOverTheHeaders",
                   [](Bytes& i) { Put32(i, cPeImageBuilder::SectionField(0, 12), 0x200); }, true}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return info.param.Name; });

TEST(PeView, RawCopyIsBoundedByVirtualSizeAndZeroVirtualSizeUsesRawSize)
{
    cPeImageBuilder b;
    b.AddCode();
    const uint32_t data = b.AddSection(".data", cPeImageBuilder::kData, Bytes(0x300, 0xAB), 0x100);
    Bytes image = b.Build();
    auto view = OpenValid(image);
    ASSERT_TRUE(view);
    // Raw size 0x400 but only 0x100 bytes belong to the image.
    EXPECT_EQ(view->RvaToFilePointer(data, 0x100), &image[0x600]);
    EXPECT_EQ(view->RvaToFilePointer(data + 0xFF), &image[0x6FF]);
    EXPECT_EQ(view->RvaToFilePointer(data + 0x100), nullptr);
    EXPECT_EQ(view->RvaToFilePointer(data, 0x101), nullptr);
    EXPECT_EQ(view->RvaToFilePointer(0x10), nullptr);  // headers are no section
    EXPECT_FALSE(view->RangeInSection(data + 0x100, 1));

    Put32(image, cPeImageBuilder::SectionField(1, 8), 0);
    view = OpenValid(image);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->RvaToFilePointer(data + 0x3FF), &image[0x9FF]);
    EXPECT_TRUE(view->RangeInSection(data, 0x400));
    EXPECT_FALSE(view->RangeInSection(data, 0x401));
}

TEST(PeView, VirtualTailBeyondRawDataIsNotInTheFile)
{
    cPeImageBuilder b;
    const uint32_t bss = b.AddSection(".bss", cPeImageBuilder::kData, Bytes(0x10, 1), 0x2000);
    const Bytes image = b.Build();
    auto view = OpenValid(image);
    ASSERT_TRUE(view);
    EXPECT_NE(view->RvaToFilePointer(bss + 0x1FF), nullptr);  // raw size is 0x200
    EXPECT_EQ(view->RvaToFilePointer(bss + 0x200), nullptr);
    EXPECT_TRUE(view->RangeInSection(bss + 0x1FF8, 8));
}

TEST(PeView, WalksRelocations)
{
    FullImage full;
    auto view = OpenValid(full.Image);
    ASSERT_TRUE(view);
    std::vector<Relocation> seen;
    EXPECT_TRUE(CollectRelocations(*view, seen));
    EXPECT_EQ(seen,
              (std::vector<Relocation>{
                  {10, full.Data}, {0, full.Data & ~0xFFFu}, {10, full.Data + 8}, {0, full.Data & ~0xFFFu}}));
    EXPECT_TRUE(view->HasRelocations());
    Put16(full.Image, tt::kPeFileHeader + 18, 0x2023);  // relocations stripped
    EXPECT_FALSE(cPeView::Open(full.Image.data(), full.Image.size())->HasRelocations());
}

struct TableCase {
    const char* Name;
    std::function<void(Bytes&, const FullImage&)> Corrupt;
};

uint32_t FileOffsetOf(const FullImage& f, uint32_t rva)
{
    auto view = cPeView::Open(f.Image.data(), f.Image.size());
    return static_cast<uint32_t>(view->RvaToFilePointer(rva) - f.Image.data());
}

uint32_t DirectoryRva(const FullImage& f, int index) { return f.Builder.Directories[index].first; }

class PeViewRelocationsRefuse : public testing::TestWithParam<TableCase> {};

TEST_P(PeViewRelocationsRefuse, MalformedTable)
{
    FullImage full;
    Bytes image = full.Image;
    GetParam().Corrupt(image, full);
    auto view = OpenValid(image);
    ASSERT_TRUE(view);
    std::vector<Relocation> seen;
    EXPECT_FALSE(CollectRelocations(*view, seen));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PeViewRelocationsRefuse,
    testing::Values(
        TableCase{"BlockSizeBelowHeader",
                  [](Bytes& i, const FullImage& f) { Put32(i, FileOffsetOf(f, DirectoryRva(f, 5)) + 4, 4); }},
        TableCase{
            "BlockPastDirectory",
            [](Bytes& i, const FullImage& f) { Put32(i, FileOffsetOf(f, DirectoryRva(f, 5)) + 4, 0x1000); }},
        TableCase{"DirectoryNotHeaderSized",
                  [](Bytes& i, const FullImage&) { Put32(i, tt::kPeDirectories + 5 * 8 + 4, 28); }},
        TableCase{"DirectoryPastRawData",
                  [](Bytes& i, const FullImage&) { Put32(i, tt::kPeDirectories + 5 * 8 + 4, 0x10000); }},
        TableCase{
            "FixupTargetOutsideSections",
            [](Bytes& i, const FullImage& f) { Put32(i, FileOffsetOf(f, DirectoryRva(f, 5)), 0x40000); }},
        TableCase{"FixupOfAnotherType",
                  [](Bytes& i, const FullImage& f) {
                      // HIGHADJ (4): its second slot would be taken for a fixup.
                      Put16(i, FileOffsetOf(f, DirectoryRva(f, 5)) + 8, 0x4000);
                  }},
        TableCase{"FixupStraddlesSectionEnd",
                  [](Bytes& i, const FullImage& f) {
                      // The pointer section holds 16 bytes: a 64-bit fixup at 12 runs past it.
                      Put16(i, FileOffsetOf(f, DirectoryRva(f, 5)) + 8, 0xA00C);
                  }}),
    [](const testing::TestParamInfo<TableCase>& info) { return info.param.Name; });

TEST(PeView, ZeroSizedRelocationBlockEndsTheWalk)
{
    FullImage full;
    Put32(full.Image, FileOffsetOf(full, DirectoryRva(full, 5)) + 12 + 4, 0);
    auto view = OpenValid(full.Image);
    std::vector<Relocation> seen;
    EXPECT_TRUE(CollectRelocations(*view, seen));
    EXPECT_EQ(seen.size(), 2u);
}

TEST(PeView, WalksImportsByNameAndOrdinal)
{
    FullImage full;
    auto view = OpenValid(full.Image);
    ASSERT_TRUE(view);
    std::vector<std::string> seen;
    EXPECT_TRUE(CollectImports(*view, seen));
    const std::string s = std::to_string(full.Slots);
    const std::string s8 = std::to_string(full.Slots + 8);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0], "lib kernel32.dll");
    EXPECT_EQ(seen[1], "GetTickCount @" + s);
    EXPECT_EQ(seen[2], "#42 @" + s8);
    EXPECT_EQ(seen[3], "lib user32.dll");
    EXPECT_EQ(seen[4].substr(0, 6), "Beep @");
}

class PeViewImportsRefuse : public testing::TestWithParam<TableCase> {};

TEST_P(PeViewImportsRefuse, MalformedTable)
{
    FullImage full;
    Bytes image = full.Image;
    GetParam().Corrupt(image, full);
    auto view = OpenValid(image);
    ASSERT_TRUE(view);
    std::vector<std::string> seen;
    EXPECT_FALSE(CollectImports(*view, seen));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PeViewImportsRefuse,
    testing::Values(TableCase{"LibraryNameOutOfBounds",
                              [](Bytes& i, const FullImage& f) {
                                  Put32(i, FileOffsetOf(f, DirectoryRva(f, 1)) + 12, 0x7FFF0000);
                              }},
                    TableCase{"LibraryNameUnterminated",
                              [](Bytes& i, const FullImage& f) {
                                  // The name runs to the end of the section's raw data without a NUL.
                                  const uint32_t at = FileOffsetOf(f, f.Builder.Sections[3].Rva);
                                  std::fill(i.begin() + at + 60, i.begin() + at + 0x200, 'x');
                                  Put32(i, FileOffsetOf(f, DirectoryRva(f, 1)) + 12,
                                        f.Builder.Sections[3].Rva + 60);
                              }},
                    TableCase{"ProcedureNameOutOfBounds",
                              [](Bytes& i, const FullImage& f) {
                                  const uint32_t lookup = FileOffsetOf(f, DirectoryRva(f, 1)) + 60;
                                  Put64(i, lookup, 0x7FFFF000);
                              }},
                    TableCase{"NameEntryWithHighBits",
                              [](Bytes& i, const FullImage& f) {
                                  Put64(i, FileOffsetOf(f, DirectoryRva(f, 1)) + 60,
                                        0x0000000100000000ull | f.Builder.Sections[3].Rva);
                              }},
                    TableCase{"OrdinalZero",
                              [](Bytes& i, const FullImage& f) {
                                  Put64(i, FileOffsetOf(f, DirectoryRva(f, 1)) + 68, 1ull << 63);
                              }},
                    TableCase{"AddressTableOutsideSections",
                              [](Bytes& i, const FullImage& f) {
                                  Put32(i, FileOffsetOf(f, DirectoryRva(f, 1)) + 16, 0x80000);
                              }},
                    TableCase{"NoAddressTable",
                              [](Bytes& i, const FullImage& f) {
                                  Put32(i, FileOffsetOf(f, DirectoryRva(f, 1)) + 16, 0);
                              }},
                    TableCase{"DescriptorsRunOffTheSection",
                              [](Bytes& i, const FullImage& f) {
                                  // A good descriptor ends the section: no closing one follows.
                                  const auto& idata = f.Builder.Sections[3];
                                  const uint32_t last = idata.Rva + idata.VirtualSize - 20;
                                  const uint32_t first = FileOffsetOf(f, idata.Rva);
                                  std::copy(i.begin() + first, i.begin() + first + 20,
                                            i.begin() + FileOffsetOf(f, last));
                                  Put32(i, tt::kPeDirectories + 8, last);
                              }}),
    [](const testing::TestParamInfo<TableCase>& info) { return info.param.Name; });

TEST(PeView, WalksExportsAndRefusesAnOrdinalPastTheTable)
{
    FullImage full;
    auto view = OpenValid(full.Image);
    ASSERT_TRUE(view);
    std::vector<std::string> seen;
    EXPECT_TRUE(view->ForEachExport(
        [](void* c, const char* name, uint32_t rva) {
            static_cast<std::vector<std::string>*>(c)->push_back(std::string(name) + "=" +
                                                                 std::to_string(rva));
            return true;
        },
        &seen));
    EXPECT_EQ(seen, (std::vector<std::string>{"Accept=" + std::to_string(full.Code),
                                              "Refuse=" + std::to_string(full.Code + 6)}));

    const uint32_t ordinals = FileOffsetOf(full, full.Builder.Sections.back().Rva) + 60;
    Put16(full.Image, ordinals + 2, 3);
    view = OpenValid(full.Image);
    EXPECT_FALSE(view->ForEachExport([](void*, const char*, uint32_t) { return true; }, nullptr));
}

uint32_t FileOffsetOfRva(const Bytes& image, uint32_t rva)
{
    auto view = cPeView::Open(image.data(), image.size());
    return static_cast<uint32_t>(view->RvaToFilePointer(rva) - image.data());
}

// A TLS directory with its callback list in one data section.
Bytes ImageWithTlsCallbacks(cPeImageBuilder& b, std::vector<uint64_t> callbacks, uint64_t start = 0,
                            uint64_t end = 0)
{
    const uint32_t code = b.AddCode();
    const uint32_t data = b.NextRva();
    Bytes d(64 + callbacks.size() * 8 + 8);
    Put64(d, 0, start);
    Put64(d, 8, end);
    Put64(d, 16, b.ImageBase + data + 48);
    Put64(d, 24, b.ImageBase + data + 64);
    for (size_t i = 0; i < callbacks.size(); ++i) {
        Put64(d, 64 + i * 8, callbacks[i] ? b.ImageBase + code + callbacks[i] - 1 : 0);
    }
    b.AddSection(".tls", cPeImageBuilder::kData, d);
    b.SetDirectory(9, data, 40);
    return b.Build();
}

TEST(PeView, ListsTlsCallbacks)
{
    cPeImageBuilder b;
    Bytes image = ImageWithTlsCallbacks(b, {1, 7});
    auto view = OpenValid(image);
    ASSERT_TRUE(view);
    tl::PeTlsDirectory tls;
    ASSERT_TRUE(view->ReadTlsDirectory(tls));
    EXPECT_EQ(tls.EndOfData - tls.StartOfData, 0u);
    std::vector<uint32_t> rvas;
    EXPECT_TRUE(view->ForEachTlsCallback(
        [](void* c, uint32_t rva) {
            static_cast<std::vector<uint32_t>*>(c)->push_back(rva);
            return true;
        },
        &rvas));
    EXPECT_EQ(rvas, (std::vector<uint32_t>{0x1000, 0x1006}));

    cPeImageBuilder outside;
    image = ImageWithTlsCallbacks(outside, {0x5000});
    EXPECT_FALSE(OpenValid(image)->ForEachTlsCallback([](void*, uint32_t) { return true; }, nullptr));
}

TEST(PeView, ReadsAPe32Header)
{
    Bytes image(0x400);
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, 0x80);
    std::memcpy(&image[0x80], "PE\0\0", 4);
    Put16(image, 0x84, 0x014C);
    Put16(image, 0x84 + 16, 224);
    Put16(image, 0x98, 0x10B);
    Put32(image, 0x98 + 28, 0x10000000);
    Put32(image, 0x98 + 56, 0x1000);
    Put32(image, 0x98 + 60, 0x400);
    auto view = OpenValid(image);
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->IsMachine64());
    EXPECT_EQ(view->PointerSize(), 4u);
    EXPECT_EQ(view->GetImageBase(), 0x10000000u);
    Put16(image, 0x98, 0x20B);
    EXPECT_FALSE(cPeView::Open(image.data(), image.size())->Validate());
}

}  // namespace

namespace {

struct TlsSizeCase {
    const char* Name;
    uint64_t Start;  // offsets into the .tls section, 0 for none
    uint64_t End;
    uint32_t ZeroFill;
    bool Reads;
    uint64_t Size;
};

class PeViewStaticTls : public testing::TestWithParam<TlsSizeCase> {};

// The TLS directory alone says how much static TLS data the image needs;
// callbacks without data need none.
TEST_P(PeViewStaticTls, SizeComesFromTheDirectory)
{
    cPeImageBuilder b;
    Bytes image = ImageWithTlsCallbacks(b, {1}, GetParam().Start ? b.ImageBase + 0x2000 + GetParam().Start : 0,
                                        GetParam().End ? b.ImageBase + 0x2000 + GetParam().End : 0);
    Put32(image, FileOffsetOfRva(image, 0x2000) + 32, GetParam().ZeroFill);
    auto view = OpenValid(image);
    ASSERT_TRUE(view);
    uint64_t size = 99;
    EXPECT_EQ(view->StaticTlsSize(size), GetParam().Reads);
    if (GetParam().Reads) {
        EXPECT_EQ(size, GetParam().Size);
    } else {
        EXPECT_NE(view->Fault(), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PeViewStaticTls,
                         testing::Values(TlsSizeCase{"CallbacksOnly", 0, 0, 0, true, 0},
                                         TlsSizeCase{"EmptyTemplate", 40, 40, 0, true, 0},
                                         TlsSizeCase{"RuntimeStartMarkerOnly", 40, 48, 0, true, 0},
                                         TlsSizeCase{"PointerSizedButNotZero", 64, 72, 0, true, 8},
                                         TlsSizeCase{"Template", 40, 56, 0, true, 16},
                                         TlsSizeCase{"ZeroFillOnly", 0, 0, 16, true, 16},
                                         TlsSizeCase{"MarkerAndZeroFill", 40, 48, 16, true, 24},
                                         TlsSizeCase{"Inverted", 48, 40, 0, false, 0},
                                         TlsSizeCase{"PointerSizedOutsideTheFile", 0x3000, 0x3008, 0, true, 8}),
                         [](const testing::TestParamInfo<TlsSizeCase>& info) { return info.param.Name; });

TEST(PeView, StaticTlsSizeWithoutOrWithAnUnreadableDirectory)
{
    cPeImageBuilder b;
    b.AddCode();
    Bytes image = b.Build();
    uint64_t size = 99;
    EXPECT_TRUE(OpenValid(image)->StaticTlsSize(size));
    EXPECT_EQ(size, 0u);
    Put32(image, tt::kPeDirectories + 9 * 8, 0x7000);
    Put32(image, tt::kPeDirectories + 9 * 8 + 4, 40);
    EXPECT_FALSE(OpenValid(image)->StaticTlsSize(size));
}

TEST(PeView, SaysWhyItRefused)
{
    FullImage full;
    Put32(full.Image, cPeImageBuilder::SectionField(1, 12), 0x1000);
    auto view = cPeView::Open(full.Image.data(), full.Image.size());
    EXPECT_FALSE(view->Validate());
    EXPECT_STREQ(view->Fault(), "two sections, or a section and the headers, share addresses");

    FullImage other;
    Put16(other.Image, FileOffsetOf(other, DirectoryRva(other, 5)) + 8, 0x4000);
    view = OpenValid(other.Image);
    std::vector<Relocation> seen;
    EXPECT_FALSE(CollectRelocations(*view, seen));
    EXPECT_STREQ(view->Fault(), "a fixup has a type other than ABSOLUTE, HIGHLOW and DIR64");
    EXPECT_TRUE(view->Validate());
    EXPECT_EQ(view->Fault(), nullptr);
}

TEST(PeView, RangeInCodeNeedsAnExecutableSection)
{
    FullImage full;
    auto view = OpenValid(full.Image);
    EXPECT_TRUE(view->RangeInCode(full.Code, 9));
    EXPECT_FALSE(view->RangeInCode(full.Code, 10));
    EXPECT_FALSE(view->RangeInCode(full.Data, 1));
    EXPECT_TRUE(view->RangeInSection(full.Data, 1));
}

}  // namespace
