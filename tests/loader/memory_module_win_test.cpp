// The mapper on the test module family (real DLLs built beside the tests) and
// on small hand-made images, all mapped for real under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "loader/memory_module_win.h"
#include "loader/module_interface.h"
#include "loader/pe_view.h"
#include "settings/files_win.h"
#include "test_support/captured_log.h"
#include "test_support/module_marker_win.h"
#include "test_support/pe_image_builder.h"
#include "test_support/scratch_folder_win.h"

using namespace tavrin::launcher;
using tavrin::test::cPeImageBuilder;
using tavrin::test::Put16;
using tavrin::test::Put32;
using tavrin::test::Put64;
namespace tt = tavrin::test;

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;
using ProbeFunction = const void* (*)();

constexpr uint32_t kLoaderFlags = kCallEntryOnLoad | kCallEntryOnUnload;
constexpr uint32_t kPositionProbe = 3;

Bytes ReadTestModule(const std::string& name)
{
    std::wstring binary;
    Bytes bytes;
    if (tavrin::GetEnvironmentValue(L"TAVRIN_BINARY_DIR", binary)) {
        std::wstring path = L"Z:" + binary + L"/testmodules/" + tavrin::Utf8ToUtf16(name);
        for (wchar_t& c : path) {
            c = c == L'/' ? L'\\' : c;
        }
        tavrin::ReadFileBytes(path.c_str(), bytes, 64 << 20);
    }
    return bytes;
}

void CollectCode(KZV_CallbackRecord* record)
{
    static_cast<std::vector<int32_t>*>(record->Context)->push_back(record->Code);
}

struct InitOutcome {
    uint8_t Result;
    std::vector<int32_t> Codes;
};

InitOutcome CallInit(const cMemoryModule& module)
{
    InitOutcome outcome{0, {}};
    KZV_InitRecord record{};
    record.Version = kInitRecordVersion;
    record.Context = &outcome.Codes;
    record.ProductId = "product";
    record.SandboxId = "sandbox";
    record.DeploymentId = "deployment";
    record.Callback = CollectCode;
    auto init = reinterpret_cast<KZV_InitFunction>(module.GetExport(ExportPosition(kExportInit)));
    outcome.Result = init(&record);
    return outcome;
}

MEMORY_BASIC_INFORMATION Query(const void* address)
{
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(address, &info, sizeof info);
    return info;
}

uint32_t ExportRva(const Bytes& image, const char* wanted)
{
    struct Search {
        const char* Name;
        uint32_t Rva;
    } search{wanted, 0};
    auto view = cPeView::Open(image.data(), image.size());
    view->ForEachExport(
        [](void* c, const char* name, uint32_t rva) {
            auto* s = static_cast<Search*>(c);
            if (std::string(name) == s->Name) {
                s->Rva = rva;
            }
            return true;
        },
        &search);
    return search.Rva;
}

TEST(MemoryModuleFamily, NormalModuleRunsThroughItsEntryPointsAndUnmaps)
{
    tt::cModuleMarker marker;
    const Bytes bytes = ReadTestModule("module_normal.dll");
    ASSERT_FALSE(bytes.empty()) << "module_normal.dll not built";
    cMemoryModule module;
    ASSERT_TRUE(module.Map(bytes.data(), bytes.size(), kLoaderFlags));
    EXPECT_TRUE(module.IsMapped());
    EXPECT_FALSE(module.Map(bytes.data(), bytes.size(), kLoaderFlags));

    for (uint32_t position : {kExportInit, kExportSecond, kExportThird, kExportLocale}) {
        EXPECT_NE(module.GetExport(ExportPosition(position)), nullptr) << position;
    }
    EXPECT_EQ(module.GetExport(ExportPosition(5)), nullptr);
    EXPECT_EQ(module.GetExport(ExportPosition(0xFFFFFFFF)), nullptr);
    EXPECT_EQ(module.GetExport(reinterpret_cast<uintptr_t>("ModuleInit")),
              module.GetExport(ExportPosition(kExportInit)));
    EXPECT_EQ(module.GetExport(reinterpret_cast<uintptr_t>("ModuleInitX")), nullptr);

    KZV_LocaleRecord locale{kLocaleRecordVersion, "en", "us"};
    reinterpret_cast<KZV_LocaleFunction>(module.GetExport(ExportPosition(kExportLocale)))(&locale);
    const InitOutcome init = CallInit(module);
    EXPECT_EQ(init.Result, 1);
    EXPECT_EQ(init.Codes, (std::vector<int32_t>{kLoaderCreateGameProcess, kLoaderLaunchConfirmed}));
    uint32_t one = 1;
    reinterpret_cast<KZV_SecondFunction>(module.GetExport(ExportPosition(kExportSecond)))(&one);

    // The loader's flags leave the headers out: the first page stays inaccessible.
    void* init0 = module.GetExport(ExportPosition(kExportInit));
    const uint8_t* base = static_cast<const uint8_t*>(init0) - ExportRva(bytes, "ModuleInit");
    EXPECT_EQ(Query(base).State, static_cast<DWORD>(MEM_RESERVE));

    EXPECT_TRUE(module.Unmap());
    EXPECT_FALSE(module.IsMapped());
    EXPECT_FALSE(module.Unmap());
    EXPECT_EQ(module.GetExport(ExportPosition(kExportInit)), nullptr);
    EXPECT_EQ(Query(base).State, static_cast<DWORD>(MEM_FREE));
    EXPECT_EQ(marker.Read(), (Lines{"attach", "locale en us", "init", "second 1", "detach"}));
}

struct InitCase {
    const char* Module;
    uint8_t Result;
    std::vector<int32_t> Codes;
};

class MemoryModuleInit : public testing::TestWithParam<InitCase> {};

TEST_P(MemoryModuleInit, ReportsAndReturns)
{
    tt::cModuleMarker marker;
    const Bytes bytes = ReadTestModule(GetParam().Module);
    cMemoryModule module;
    ASSERT_TRUE(module.Map(bytes.data(), bytes.size(), kLoaderFlags));
    const InitOutcome init = CallInit(module);
    EXPECT_EQ(init.Result, GetParam().Result);
    EXPECT_EQ(init.Codes, GetParam().Codes);
}

INSTANTIATE_TEST_SUITE_P(Family, MemoryModuleInit,
                         testing::Values(InitCase{"module_1003.dll", 1, {kLoaderLaunchSucceeded}},
                                         InitCase{"module_init0.dll", 0, {}},
                                         InitCase{"module_init255.dll", 255, {}}));

TEST(MemoryModuleFamily, MissingPositionsGiveNull)
{
    const Bytes noLocale = ReadTestModule("module_no_locale.dll");
    cMemoryModule module;
    ASSERT_TRUE(module.Map(noLocale.data(), noLocale.size(), kLoaderFlags));
    EXPECT_NE(module.GetExport(ExportPosition(kExportThird)), nullptr);
    EXPECT_NE(module.GetExport(ExportPosition(kPositionProbe)), nullptr);
    EXPECT_EQ(module.GetExport(ExportPosition(kExportLocale)), nullptr);

    const Bytes noThird = ReadTestModule("module_no_third.dll");
    cMemoryModule other;
    ASSERT_TRUE(other.Map(noThird.data(), noThird.size(), kLoaderFlags));
    EXPECT_NE(other.GetExport(ExportPosition(kExportSecond)), nullptr);
    EXPECT_EQ(other.GetExport(ExportPosition(kExportThird)), nullptr);
    EXPECT_NE(other.GetExport(ExportPosition(kExportLocale)), nullptr);
}

TEST(MemoryModuleFamily, RefusedAttachIsUndoneInsideMap)
{
    tt::cModuleMarker marker;
    const Bytes bytes = ReadTestModule("module_entry_refuses.dll");
    cMemoryModule module;
    EXPECT_FALSE(module.Map(bytes.data(), bytes.size(), kLoaderFlags));
    EXPECT_FALSE(module.IsMapped());
    EXPECT_FALSE(module.Unmap());
    EXPECT_EQ(marker.Read(), (Lines{"attach", "detach"}));
}

TEST(MemoryModuleFamily, UnresolvableImportRefusesBeforeAnyModuleCodeRuns)
{
    tt::cModuleMarker marker;
    const Bytes bytes = ReadTestModule("module_bad_import.dll");
    cMemoryModule module;
    EXPECT_FALSE(module.Map(bytes.data(), bytes.size(), kLoaderFlags));
    EXPECT_FALSE(module.IsMapped());
    EXPECT_TRUE(marker.Read().empty());
}

TEST(MemoryModuleFamily, ImportByOrdinalResolves)
{
    const Bytes bytes = ReadTestModule("module_ordinal_import.dll");
    cMemoryModule module;
    ASSERT_TRUE(module.Map(bytes.data(), bytes.size(), kLoaderFlags));
    auto probe = reinterpret_cast<ProbeFunction>(module.GetExport(ExportPosition(kPositionProbe)));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(probe()), GetCurrentProcessId());
}

TEST(MemoryModuleFamily, FixupsMoveByTheFull64BitDisplacement)
{
    const Bytes bytes = ReadTestModule("module_high_base.dll");
    cMemoryModule module;
    ASSERT_TRUE(module.Map(bytes.data(), bytes.size(), kLoaderFlags));
    auto probe = reinterpret_cast<ProbeFunction>(module.GetExport(ExportPosition(kPositionProbe)));
    const auto* base = reinterpret_cast<const uint8_t*>(probe) - ExportRva(bytes, "ModuleProbe");
    const uint64_t preferred = cPeView::Open(bytes.data(), bytes.size())->GetImageBase();
    const uint64_t actual = reinterpret_cast<uintptr_t>(base);
    const uint64_t distance = actual > preferred ? actual - preferred : preferred - actual;
    EXPECT_GT(distance, 0x100000000ull) << "the test needs a displacement above 4 GiB";

    // The module's data holds the address of one of its globals.
    const auto* pointer = static_cast<const int*>(probe());
    const uint32_t imageSize = cPeView::Open(bytes.data(), bytes.size())->GetHeaderValue(kPeSizeOfImage);
    ASSERT_GE(reinterpret_cast<const uint8_t*>(pointer), base);
    ASSERT_LT(reinterpret_cast<const uint8_t*>(pointer), base + imageSize);
    EXPECT_EQ(*pointer, 0x5A17);
}

TEST(MemoryModuleFamily, TlsCallbacksRunBeforeAndAfterTheEntryPoint)
{
    tt::cModuleMarker marker;
    const Bytes bytes = ReadTestModule("module_tls.dll");
    cMemoryModule module;
    ASSERT_TRUE(module.Map(bytes.data(), bytes.size(), kLoaderFlags));
    EXPECT_TRUE(module.Unmap());
    EXPECT_EQ(marker.Read(), (Lines{"tls attach", "attach", "tls detach", "detach"}));
}

// Built with their normal runtime: C++ exceptions thrown and caught inside the
// module unwind through the registered function table. The runtime's start-up
// reads the image's own headers, so these need kCopyHeaders: without it that
// read faults at the image base.
struct RuntimeCase {
    const char* Module;
    uint32_t Flags;
    std::vector<int32_t> Codes;
    Lines Marker;
};

class MemoryModuleRuntime : public testing::TestWithParam<RuntimeCase> {};

TEST_P(MemoryModuleRuntime, InitializesAndRuns)
{
    tt::cModuleMarker marker;
    const Bytes bytes = ReadTestModule(GetParam().Module);
    cMemoryModule module;
    ASSERT_TRUE(module.Map(bytes.data(), bytes.size(), GetParam().Flags));
    const InitOutcome init = CallInit(module);
    EXPECT_EQ(init.Result, 1);
    EXPECT_EQ(init.Codes, GetParam().Codes);
    EXPECT_TRUE(module.Unmap());
    EXPECT_EQ(marker.Read(), GetParam().Marker);
}

INSTANTIATE_TEST_SUITE_P(Family, MemoryModuleRuntime,
                         testing::Values(RuntimeCase{"module_throws.dll",
                                                     kLoaderFlags | kCopyHeaders,
                                                     {kLoaderLaunchSucceeded},
                                                     {"attach", "init", "detach"}},
                                         RuntimeCase{"module_crt.dll",
                                                     kLoaderFlags | kCopyHeaders,
                                                     {kLoaderCreateGameProcess, kLoaderLaunchConfirmed},
                                                     {"constructor", "attach", "init", "detach"}}));

TEST(MemoryModuleHeaders, CopyHeadersMapsThemReadOnly)
{
    const Bytes bytes = ReadTestModule("module_normal.dll");
    cMemoryModule module;
    ASSERT_TRUE(module.Map(bytes.data(), bytes.size(), kCopyHeaders));
    const auto* base = static_cast<const uint8_t*>(module.GetExport(ExportPosition(kExportInit))) -
                       ExportRva(bytes, "ModuleInit");
    EXPECT_EQ(base[0], 'M');
    EXPECT_EQ(base[1], 'Z');
    EXPECT_EQ(Query(base).Protect, static_cast<DWORD>(PAGE_READONLY));
}

// --- hand-made images ------------------------------------------------------------

// Far from anything Wine places by itself, so an image without relocations
// gets exactly this base and a test can look at its memory.
constexpr uint64_t kFixedBase = 0x7E0000000000;

cPeImageBuilder FixedImage()
{
    cPeImageBuilder b;
    b.ImageBase = kFixedBase;
    return b;
}

const uint8_t* FixedAt(uint32_t rva) { return reinterpret_cast<const uint8_t*>(kFixedBase + rva); }

TEST(MemoryModuleImage, ProtectsByTheTopCharacteristicBitsAndKeepsCodeExecutable)
{
    cPeImageBuilder b = FixedImage();
    const uint32_t executeOnly = b.AddSection(".text", 0x20000020, {0xB8, 1, 0, 0, 0, 0xC3});
    b.EntryPoint = executeOnly;
    const uint32_t readOnly = b.AddSection(".rdata", 0x40000040, {1});
    const uint32_t readWrite = b.AddSection(".data", 0xC0000040, {2});
    const uint32_t writeOnly = b.AddSection(".wdata", 0x80000040, {3});
    const uint32_t none = b.AddSection(".none", 0x00000040, {4});
    const Bytes image = b.Build();
    cMemoryModule module;
    ASSERT_TRUE(module.Map(image.data(), image.size(), kLoaderFlags));  // runs the execute-only entry
    EXPECT_EQ(Query(FixedAt(executeOnly)).Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
    EXPECT_EQ(Query(FixedAt(readOnly)).Protect, static_cast<DWORD>(PAGE_READONLY));
    EXPECT_EQ(Query(FixedAt(readWrite)).Protect, static_cast<DWORD>(PAGE_READWRITE));
    EXPECT_EQ(Query(FixedAt(writeOnly)).Protect, static_cast<DWORD>(PAGE_READWRITE));
    EXPECT_EQ(Query(FixedAt(none)).Protect, static_cast<DWORD>(PAGE_READWRITE));
    EXPECT_EQ(*FixedAt(none), 4);
}

TEST(MemoryModuleImage, CopiesNoMoreThanTheVirtualSizeAndSizesByRawDataWithoutOne)
{
    cPeImageBuilder b = FixedImage();
    // Raw data twice the virtual size: the tail must not land in the next page.
    const uint32_t small = b.AddSection(".small", cPeImageBuilder::kData, Bytes(0x1200, 0xAA), 0x1000);
    const uint32_t next = b.AddSection(".next", cPeImageBuilder::kData, Bytes(0x10, 0x55));
    const uint32_t sized = b.AddSection(".sized", cPeImageBuilder::kData, Bytes(0x300, 0x77));
    Bytes image = b.Build();
    Put32(image, cPeImageBuilder::SectionField(2, 8), 0);  // VirtualSize 0
    cMemoryModule module;
    ASSERT_TRUE(module.Map(image.data(), image.size(), kLoaderFlags));
    EXPECT_EQ(FixedAt(small)[0xFFF], 0xAA);
    EXPECT_EQ(FixedAt(next)[0], 0x55);
    EXPECT_EQ(FixedAt(sized)[0x2FF], 0x77);
}

TEST(MemoryModuleImage, ResolvesOrdinal42AndHandsOutOnlyRealExports)
{
    cPeImageBuilder b = FixedImage();
    const uint32_t code = b.AddCode();
    const uint32_t slots = b.AddImports({{"kernel32.dll", {{"", 42}, {"GetTickCount", 0}}}});
    const uint32_t exports = b.NextRva();
    // Positions: code, RVA 0, a forwarder string inside the export directory.
    b.AddExports({code, 0, exports + 40}, {{"Forwarded", 2}});
    b.EntryPoint = 0;  // no entry call at all
    const Bytes image = b.Build();
    cMemoryModule module;
    ASSERT_TRUE(module.Map(image.data(), image.size(), kLoaderFlags));
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    const auto* slot = reinterpret_cast<const FARPROC*>(FixedAt(slots));
    EXPECT_EQ(slot[0], GetProcAddress(kernel32, MAKEINTRESOURCEA(42)));
    EXPECT_EQ(slot[1], GetProcAddress(kernel32, "GetTickCount"));
    EXPECT_EQ(module.GetExport(ExportPosition(0)), FixedAt(code));
    EXPECT_EQ(module.GetExport(ExportPosition(1)), nullptr);
    EXPECT_EQ(module.GetExport(ExportPosition(2)), nullptr);
    EXPECT_EQ(module.GetExport(reinterpret_cast<uintptr_t>("Forwarded")), nullptr);
}

// TLS data of 8 bytes: only code that reads the thread's TLS array needs it.
Bytes ImageWithTlsData(cPeImageBuilder& b, Bytes code)
{
    b.EntryPoint = b.AddSection(".text", cPeImageBuilder::kCode, std::move(code));
    const uint32_t tls = b.NextRva();
    Bytes directory(48);
    Put64(directory, 0, kFixedBase + tls + 40);
    Put64(directory, 8, kFixedBase + tls + 48);
    b.AddSection(".tls", cPeImageBuilder::kData, directory);
    b.SetDirectory(kPeDirectoryTls, tls, 40);
    return b.Build();
}

TEST(MemoryModuleImage, CodeReadingStaticTlsIsRefusedWithALogLine)
{
    tt::cCapturedLog log;
    cPeImageBuilder reads = FixedImage();
    // mov rax, gs:[0x58]; mov eax, 1; ret
    const Bytes image =
        ImageWithTlsData(reads, {0x65, 0x48, 0x8B, 0x04, 0x25, 0x58, 0, 0, 0, 0xB8, 1, 0, 0, 0, 0xC3});
    cMemoryModule module;
    EXPECT_FALSE(module.Map(image.data(), image.size(), kLoaderFlags));
    EXPECT_EQ(log.Count("static thread-local storage"), 1u);
    EXPECT_EQ(Query(FixedAt(0)).State, static_cast<DWORD>(MEM_FREE));

    cPeImageBuilder markersOnly = FixedImage();
    const Bytes other = ImageWithTlsData(markersOnly, {0xB8, 1, 0, 0, 0, 0xC3});
    EXPECT_TRUE(module.Map(other.data(), other.size(), kLoaderFlags));
}

struct RefusalCase {
    const char* Name;
    std::function<void(cPeImageBuilder&)> Shape;  // before Build
    std::function<void(Bytes&)> Corrupt;          // after Build
};

class MemoryModuleRefuses : public testing::TestWithParam<RefusalCase> {};

// Every refusal leaves the preferred base free: nothing stays reserved.
TEST_P(MemoryModuleRefuses, MalformedOrUnmappableImage)
{
    cPeImageBuilder b = FixedImage();
    b.AddCode();
    if (GetParam().Shape) {
        GetParam().Shape(b);
    }
    Bytes image = b.Build();
    if (GetParam().Corrupt) {
        GetParam().Corrupt(image);
    }
    cMemoryModule module;
    EXPECT_FALSE(module.Map(image.data(), image.size(), kLoaderFlags));
    EXPECT_FALSE(module.IsMapped());
    EXPECT_EQ(Query(FixedAt(0)).State, static_cast<DWORD>(MEM_FREE));
}

uint64_t OwnImageBase() { return reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr)); }

const size_t kOpt = tt::kPeOptionalHeader;
INSTANTIATE_TEST_SUITE_P(
    Cases, MemoryModuleRefuses,
    testing::Values(
        RefusalCase{"Truncated", nullptr, [](Bytes& i) { i.resize(0x300); }},
        RefusalCase{"SectionPastSizeOfImage", nullptr,
                    [](Bytes& i) { Put32(i, cPeImageBuilder::SectionField(0, 8), 0x100000); }},
        RefusalCase{"Arm64Machine", nullptr, [](Bytes& i) { Put16(i, tt::kPeFileHeader, 0xAA64); }},
        RefusalCase{"Pe32Image", nullptr,
                    [](Bytes& i) {
                        Put16(i, tt::kPeFileHeader, 0x014C);
                        Put16(i, tt::kPeFileHeader + 16, 224);
                        Put16(i, kOpt, 0x10B);
                    }},
        RefusalCase{"NotADll", nullptr, [](Bytes& i) { Put16(i, tt::kPeFileHeader + 18, 0x0022); }},
        RefusalCase{"EntryPointRefuses", nullptr, [](Bytes& i) { Put32(i, kOpt + 16, 0x1006); }},
        RefusalCase{
            "EntryPointInData",
            [](cPeImageBuilder& b) { b.EntryPoint = b.AddSection(".data", cPeImageBuilder::kData, {0xC3}); },
            nullptr},
        RefusalCase{"RelocationBlockOutOfBounds", [](cPeImageBuilder& b) { b.AddPointerData(1); },
                    [](Bytes& i) { Put32(i, tt::kPeDirectories + 5 * 8 + 4, 0x4000); }},
        RefusalCase{"ImportNameOutOfBounds",
                    [](cPeImageBuilder& b) {
                        b.AddImports({{"kernel32.dll", {{"GetTickCount", 0}}}});
                    },
                    [](Bytes& i) { Put32(i, 0x600 + 12, 0x7FFF0000); }},
        RefusalCase{"ImportedProcedureMissing",
                    [](cPeImageBuilder& b) {
                        b.AddImports({{"kernel32.dll", {{"TavrinNoSuchFunction", 0}}}});
                    },
                    nullptr},
        RefusalCase{"ImportedLibraryMissing",
                    [](cPeImageBuilder& b) {
                        b.AddImports({{"tavrin_no_such_library.dll", {{"F", 0}}}});
                    },
                    nullptr},
        RefusalCase{"ExportTableOutOfBounds", [](cPeImageBuilder& b) { b.AddExports({0x1000}); },
                    [](Bytes& i) { Put32(i, 0x600 + 28, 0x7FFF0000); }},
        RefusalCase{"ExceptionEntryOutsideCode",
                    [](cPeImageBuilder& b) {
                        Bytes table(12);
                        Put32(table, 0, 0x1000);
                        Put32(table, 4, 0x9000);
                        Put32(table, 8, 0x1000);
                        b.SetDirectory(kPeDirectoryException,
                                       b.AddSection(".pdata", cPeImageBuilder::kRdata, table), 12);
                    },
                    nullptr},
        // 32-bit absolute addresses, or no relocations at all, need the
        // preferred base; here it is taken by the test program itself.
        RefusalCase{"HighLowFixupWithoutItsBase",
                    [](cPeImageBuilder& b) {
                        b.ImageBase = OwnImageBase();
                        b.AddRelocations({{3, 0x1000}});
                    },
                    nullptr},
        RefusalCase{"NoRelocationsWithoutItsBase", [](cPeImageBuilder& b) { b.ImageBase = OwnImageBase(); },
                    nullptr}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.Name; });

TEST(MemoryModuleImage, HighLowFixupAtItsPreferredBaseMaps)
{
    cPeImageBuilder b = FixedImage();
    b.AddCode();
    const uint32_t data = b.AddSection(".data", cPeImageBuilder::kData, {0x44, 0x33, 0x22, 0x11});
    b.AddRelocations({{3, data}});
    const Bytes image = b.Build();
    cMemoryModule module;
    ASSERT_TRUE(module.Map(image.data(), image.size(), kLoaderFlags));
    uint32_t value;
    std::memcpy(&value, FixedAt(data), 4);
    EXPECT_EQ(value, 0x11223344u);  // no displacement, no change
}

}  // namespace
