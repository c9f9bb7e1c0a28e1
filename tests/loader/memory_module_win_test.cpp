// The mapper on the test module family (real DLLs built beside the tests) and
// on small hand-made images, all mapped for real under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/files_win.h"
#include "loader/memory_module_win.h"
#include "loader/module_interface.h"
#include "loader/pe_view.h"
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

constexpr uint32_t kLoaderFlags = kLauncherMapFlags;
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

    // The loader's flags bring the headers, read-only.
    void* init0 = module.GetExport(ExportPosition(kExportInit));
    const uint8_t* base = static_cast<const uint8_t*>(init0) - ExportRva(bytes, "ModuleInit");
    EXPECT_EQ(base[0], 'M');
    EXPECT_EQ(Query(base).Protect, static_cast<DWORD>(PAGE_READONLY));

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

// Built with their normal runtime (C++ exceptions thrown and caught inside the
// module unwind through the registered function table; the C runtime's
// start-up reads the image's own headers), or linked with sections closer
// than a page: each maps and runs with the loader's own flags.
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
                                                     kLoaderFlags,
                                                     {kLoaderLaunchSucceeded},
                                                     {"attach", "init", "detach"}},
                                         RuntimeCase{"module_crt.dll",
                                                     kLoaderFlags,
                                                     {kLoaderCreateGameProcess, kLoaderLaunchConfirmed},
                                                     {"constructor", "attach", "init", "detach"}},
                                         RuntimeCase{"module_align512.dll",
                                                     kLoaderFlags,
                                                     {kLoaderCreateGameProcess, kLoaderLaunchConfirmed},
                                                     {"attach", "init", "detach"}}));

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

// A TLS directory with data of `templateSize` bytes plus `zeroFill`.
Bytes ImageWithTlsData(cPeImageBuilder& b, uint32_t templateSize, uint32_t zeroFill)
{
    b.AddCode();
    const uint32_t tls = b.NextRva();
    Bytes directory(48 + templateSize);
    Put64(directory, 0, b.ImageBase + tls + 48);
    Put64(directory, 8, b.ImageBase + tls + 48 + templateSize);
    Put32(directory, 32, zeroFill);
    b.AddSection(".tls", cPeImageBuilder::kData, directory);
    b.SetDirectory(kPeDirectoryTls, tls, 40);
    return b.Build();
}

// Static TLS data needs a slot in every thread's TLS array, which only the
// system's loader hands out; what the code does with it does not matter. The
// C runtime's lone null start marker (one pointer, as every image built with
// it has) is no data.
TEST(MemoryModuleImage, StaticTlsDataIsRefusedWithALogLine)
{
    for (const auto& [templateSize, zeroFill] : {std::pair{16u, 0u}, std::pair{0u, 16u}, std::pair{8u, 8u}}) {
        tt::cCapturedLog log(tavrin::Error);
        cPeImageBuilder b = FixedImage();
        const Bytes image = ImageWithTlsData(b, templateSize, zeroFill);
        cMemoryModule module;
        EXPECT_FALSE(module.Map(image.data(), image.size(), kLoaderFlags)) << templateSize << "+" << zeroFill;
        EXPECT_EQ(log.Count("static thread-local storage"), 1u);
        EXPECT_EQ(Query(FixedAt(0)).State, static_cast<DWORD>(MEM_FREE));
    }
    for (uint32_t templateSize : {0u, 8u}) {
        cPeImageBuilder none = FixedImage();
        const Bytes image = ImageWithTlsData(none, templateSize, 0);
        cMemoryModule module;
        EXPECT_TRUE(module.Map(image.data(), image.size(), kLoaderFlags)) << templateSize;
    }
}

// Sections closer than a page: each page gets what every section on it needs.
TEST(MemoryModuleImage, SectionsSharingAPageGetTheUnionOfTheirProtections)
{
    cPeImageBuilder b = FixedImage();
    b.SectionAlignment = 0x200;
    const uint32_t code = b.AddCode();
    const uint32_t data = b.AddSection(".data", cPeImageBuilder::kData, Bytes(0x10, 5), 0xE00);
    const uint32_t rdata = b.AddSection(".rdata", cPeImageBuilder::kRdata, {7});
    ASSERT_EQ(code, 0x400u);
    ASSERT_EQ(data, 0x600u);
    ASSERT_EQ(rdata, 0x1400u);
    const Bytes image = b.Build();
    cMemoryModule module;
    ASSERT_TRUE(module.Map(image.data(), image.size(), kLoaderFlags));  // runs the code on page 0
    EXPECT_EQ(Query(FixedAt(0)).Protect, static_cast<DWORD>(PAGE_EXECUTE_READWRITE));
    EXPECT_EQ(Query(FixedAt(0x1000)).Protect, static_cast<DWORD>(PAGE_READWRITE));
    EXPECT_EQ(*FixedAt(data), 5);
    EXPECT_EQ(*FixedAt(rdata), 7);
}

// AddCode's function, the one an unwind record in these images describes.
constexpr uint32_t kCodeRva = 0x1000;

// An .xdata section of the record the callback builds at the RVA it is given,
// and a .pdata entry for the whole of AddCode's code.
void AddUnwind(cPeImageBuilder& b, const std::function<Bytes(uint32_t)>& record)
{
    const uint32_t xdata = b.NextRva();
    b.AddSection(".xdata", cPeImageBuilder::kRdata, record(xdata));
    b.AddFunctionTable({{kCodeRva, kCodeRva + 9, xdata}});
}

TEST(MemoryModuleImage, FunctionTableIsRegisteredWhileMappedAndRemovedAtUnmap)
{
    cPeImageBuilder b = FixedImage();
    b.AddCode();
    const uint32_t xdata = b.NextRva();
    // A record with two codes and a handler inside the code, and a record
    // chained to the first function's entry.
    Bytes records{0x09, 4, 2, 0, 0x04, 0x32, 0x01, 0x50};
    Put32(records, 8, kCodeRva + 6);
    Put32(records, 12, 0);
    Bytes chained{0x21, 0, 0, 0};
    Put32(chained, 4, kCodeRva);
    Put32(chained, 8, kCodeRva + 6);
    Put32(chained, 12, xdata);
    records.insert(records.end(), chained.begin(), chained.end());
    b.AddSection(".xdata", cPeImageBuilder::kRdata, records);
    b.AddFunctionTable({{kCodeRva, kCodeRva + 6, xdata}, {kCodeRva + 6, kCodeRva + 9, xdata + 16}});
    const Bytes image = b.Build();
    cMemoryModule module;
    ASSERT_TRUE(module.Map(image.data(), image.size(), kLoaderFlags));
    DWORD64 base = 0;
    const PRUNTIME_FUNCTION found = RtlLookupFunctionEntry(kFixedBase + kCodeRva + 7, &base, nullptr);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->BeginAddress, kCodeRva + 6);
    EXPECT_EQ(base, kFixedBase);
    EXPECT_TRUE(module.Unmap());
    EXPECT_EQ(RtlLookupFunctionEntry(kFixedBase + kCodeRva + 7, &base, nullptr), nullptr);
}

// Exports are handed out as the file listed them, never re-read from the
// image that relocations and the module itself can change.
TEST(MemoryModuleImage, ExportsComeFromTheCheckedFileEvenWhenAFixupLandsInTheirTables)
{
    cPeImageBuilder b;
    b.ImageBase = reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));  // taken: the image moves
    const uint32_t code = b.AddCode();
    const uint32_t exports = b.AddExports({code}, {{"Run", 0}});
    b.AddRelocations({{10, exports + 40}});  // over the function and the name table
    const Bytes image = b.Build();
    cMemoryModule module;
    ASSERT_TRUE(module.Map(image.data(), image.size(), kLoaderFlags));
    using Run = int (*)();
    auto byPosition = reinterpret_cast<Run>(module.GetExport(ExportPosition(0)));
    ASSERT_NE(byPosition, nullptr);
    EXPECT_EQ(module.GetExport(reinterpret_cast<uintptr_t>("Run")), reinterpret_cast<void*>(byPosition));
    EXPECT_EQ(byPosition(), 1);
}

struct RefusalCase {
    const char* Name;
    std::function<void(cPeImageBuilder&)> Shape;  // before Build
    std::function<void(Bytes&)> Corrupt;          // after Build
    const char* Why;                              // in the one error line that says why
};

class MemoryModuleRefuses : public testing::TestWithParam<RefusalCase> {};

// Every refusal says why in one error line and leaves the preferred base
// free: nothing stays reserved.
TEST_P(MemoryModuleRefuses, MalformedOrUnmappableImage)
{
    tt::cCapturedLog log(tavrin::Error);
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
    EXPECT_EQ(log.Count(GetParam().Why), 1u) << GetParam().Why;
}

uint64_t OwnImageBase() { return reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr)); }

const size_t kOpt = tt::kPeOptionalHeader;

// Unwind records for AddCode's function.
void Unwind(cPeImageBuilder& b, Bytes record) { AddUnwind(b, [&](uint32_t) { return record; }); }

INSTANTIATE_TEST_SUITE_P(
    Cases, MemoryModuleRefuses,
    testing::Values(
        RefusalCase{"Truncated", nullptr, [](Bytes& i) { i.resize(0x300); }, "headers are malformed"},
        RefusalCase{"SectionPastSizeOfImage", nullptr,
                    [](Bytes& i) { Put32(i, cPeImageBuilder::SectionField(0, 8), 0x100000); },
                    "headers are malformed"},
        RefusalCase{"Arm64Machine", nullptr, [](Bytes& i) { Put16(i, tt::kPeFileHeader, 0xAA64); },
                    "not an x86-64 PE image"},
        RefusalCase{"Pe32Image", nullptr,
                    [](Bytes& i) {
                        Put16(i, tt::kPeFileHeader, 0x014C);
                        Put16(i, tt::kPeFileHeader + 16, 224);
                        Put16(i, kOpt, 0x10B);
                    },
                    "not an x86-64 PE image"},
        RefusalCase{"NotADll", nullptr, [](Bytes& i) { Put16(i, tt::kPeFileHeader + 18, 0x0022); },
                    "not a DLL"},
        RefusalCase{"EntryPointRefuses", nullptr, [](Bytes& i) { Put32(i, kOpt + 16, 0x1006); },
                    "entry point refused"},
        RefusalCase{
            "EntryPointInData",
            [](cPeImageBuilder& b) { b.EntryPoint = b.AddSection(".data", cPeImageBuilder::kData, {0xC3}); },
            nullptr, "entry point lies outside executable code"},
        RefusalCase{"SectionTablePastSizeOfHeaders", nullptr, [](Bytes& i) { Put32(i, kOpt + 60, 0x160); },
                    "section table ends past SizeOfHeaders"},
        RefusalCase{"OverlappingSections",
                    [](cPeImageBuilder& b) {
                        b.AddSection(".data", cPeImageBuilder::kData, {1});
                        b.AddSection(".data2", cPeImageBuilder::kData, {2});
                    },
                    [](Bytes& i) { Put32(i, cPeImageBuilder::SectionField(2, 12), 0x2000); }, "share addresses"},
        RefusalCase{"SectionOverTheHeaders", nullptr,
                    [](Bytes& i) { Put32(i, cPeImageBuilder::SectionField(0, 12), 0x200); },
                    "share addresses"},
        RefusalCase{"RelocationBlockOutOfBounds", [](cPeImageBuilder& b) { b.AddPointerData(1); },
                    [](Bytes& i) { Put32(i, tt::kPeDirectories + 5 * 8 + 4, 0x4000); },
                    "relocation table is malformed"},
        RefusalCase{"RelocationOfAnotherType",
                    [](cPeImageBuilder& b) {
                        const uint32_t data = b.AddSection(".data", cPeImageBuilder::kData, Bytes(8));
                        b.AddRelocations({{4, data}});
                    },
                    nullptr, "type other than ABSOLUTE, HIGHLOW and DIR64"},
        RefusalCase{"ImportNameOutOfBounds",
                    [](cPeImageBuilder& b) {
                        b.AddImports({{"kernel32.dll", {{"GetTickCount", 0}}}});
                    },
                    [](Bytes& i) { Put32(i, 0x600 + 12, 0x7FFF0000); }, "import table is malformed"},
        RefusalCase{"ImportedProcedureMissing",
                    [](cPeImageBuilder& b) {
                        b.AddImports({{"kernel32.dll", {{"TavrinNoSuchFunction", 0}}}});
                    },
                    nullptr, "kernel32.dll!TavrinNoSuchFunction"},
        RefusalCase{"ImportedOrdinalMissing",
                    [](cPeImageBuilder& b) {
                        b.AddImports({{"kernel32.dll", {{"", 65000}}}});
                    },
                    nullptr, "kernel32.dll!#65000"},
        RefusalCase{"ImportedLibraryMissing",
                    [](cPeImageBuilder& b) {
                        b.AddImports({{"tavrin_no_such_library.dll", {{"F", 0}}}});
                    },
                    nullptr, "tavrin_no_such_library.dll!F"},
        RefusalCase{"ExportTableOutOfBounds", [](cPeImageBuilder& b) { b.AddExports({0x1000}); },
                    [](Bytes& i) { Put32(i, 0x600 + 28, 0x7FFF0000); }, "export table is malformed"},
        RefusalCase{"ExceptionEntryOutsideCode",
                    [](cPeImageBuilder& b) {
                        const uint32_t data = b.AddSection(".data", cPeImageBuilder::kData, Bytes(16));
                        b.AddFunctionTable({{data, data + 8, data + 8}});
                    },
                    nullptr, "function entry lies outside executable code"},
        RefusalCase{"UnwindVersion3", [](cPeImageBuilder& b) { Unwind(b, {0x03, 0, 0, 0}); }, nullptr,
                    "unknown version or flags"},
        RefusalCase{"UnwindCodesPastTheirSection", [](cPeImageBuilder& b) { Unwind(b, {0x01, 0, 200, 0}); },
                    nullptr, "unwind record lies outside the sections' data"},
        RefusalCase{"UnwindCodeLongerThanTheCount",
                    [](cPeImageBuilder& b) { Unwind(b, {0x01, 0, 1, 0, 0x00, 0x04, 0, 0}); }, nullptr,
                    "malformed unwind code"},
        RefusalCase{"UnwindAllocLargeWithBadInfo",
                    [](cPeImageBuilder& b) { Unwind(b, {0x01, 0, 2, 0, 0x00, 0x21, 0, 0}); }, nullptr,
                    "malformed unwind code"},
        RefusalCase{"UnwindUnknownOperation",
                    [](cPeImageBuilder& b) { Unwind(b, {0x01, 0, 1, 0, 0x00, 0x0B, 0, 0}); }, nullptr,
                    "malformed unwind code"},
        RefusalCase{"UnwindFramePointerWithoutRegister",
                    [](cPeImageBuilder& b) { Unwind(b, {0x01, 0, 1, 0, 0x00, 0x03, 0, 0}); }, nullptr,
                    "malformed unwind code"},
        RefusalCase{"UnwindHandlerOutsideCode",
                    [](cPeImageBuilder& b) {
                        AddUnwind(b, [](uint32_t xdata) {
                            Bytes record{0x09, 0, 0, 0};
                            Put32(record, 4, xdata);  // the handler: the record itself
                            return record;
                        });
                    },
                    nullptr, "handler lies outside executable code"},
        RefusalCase{"UnwindChainLoops",
                    [](cPeImageBuilder& b) {
                        AddUnwind(b, [](uint32_t xdata) {
                            Bytes record{0x21, 0, 0, 0};
                            Put32(record, 4, kCodeRva);
                            Put32(record, 8, kCodeRva + 9);
                            Put32(record, 12, xdata);
                            return record;
                        });
                    },
                    nullptr, "unwind chain is too long or loops"},
        RefusalCase{"FixupInsideTheExceptionTable",
                    [](cPeImageBuilder& b) {
                        Unwind(b, {0x01, 0, 0, 0});
                        b.AddRelocations({{10, b.Sections.back().Rva}});
                    },
                    nullptr, "lands inside unwind data"},
        RefusalCase{"ImportSlotInsideAnUnwindRecord",
                    [](cPeImageBuilder& b) {
                        Unwind(b, {0x01, 0, 2, 0, 0x04, 0x32, 0x01, 0x50});
                        const uint32_t xdata = b.Sections[b.Sections.size() - 2].Rva;
                        b.AddImports({{"kernel32.dll", {{"GetTickCount", 0}}}});
                        Put32(b.Sections.back().Data, 16, xdata);  // the address table
                    },
                    nullptr, "lands inside unwind data"},
        // 32-bit absolute addresses that fit nowhere but at the preferred
        // base (0 and 4 GiB - 1), or no relocations at all; here the base is
        // taken by the test program itself.
        RefusalCase{"HighLowFixupsWithoutTheirBase",
                    [](cPeImageBuilder& b) {
                        b.ImageBase = OwnImageBase();
                        Bytes values(8);
                        Put32(values, 4, 0xFFFFFFFFu);
                        const uint32_t data = b.AddSection(".data", cPeImageBuilder::kData, values);
                        b.AddRelocations({{3, data}, {3, data + 4}});
                    },
                    nullptr, "32-bit fixups fit at no other free base"},
        RefusalCase{"NoRelocationsWithoutItsBase", [](cPeImageBuilder& b) { b.ImageBase = OwnImageBase(); },
                    nullptr, "is taken and it has no relocations"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.Name; });

// Held by the test for its whole run, so an image linked for it has to move.
class cHeldAddress {
public:
    explicit cHeldAddress(uint64_t address)
        : Held(VirtualAlloc(reinterpret_cast<void*>(address), 0x10000, MEM_RESERVE, PAGE_NOACCESS))
    {
    }
    ~cHeldAddress()
    {
        if (Held) {
            VirtualFree(Held, 0, MEM_RELEASE);
        }
    }
    uint64_t Address() const { return reinterpret_cast<uintptr_t>(Held); }

private:
    void* Held;
};

TEST(MemoryModuleImage, HighLowFixupsMoveWithTheImageWhenTheyFit)
{
    constexpr uint64_t kLowBase = 0x50000000;
    cHeldAddress held(kLowBase);
    ASSERT_EQ(held.Address(), kLowBase);
    cPeImageBuilder b;
    b.ImageBase = kLowBase;
    const uint32_t code = b.AddCode();
    const uint32_t data = b.NextRva();
    Bytes values(8);
    Put32(values, 0, static_cast<uint32_t>(kLowBase + data + 4));
    b.AddSection(".data", cPeImageBuilder::kData, values);
    b.AddRelocations({{3, data}});
    b.AddExports({code});
    const Bytes image = b.Build();
    cMemoryModule module;
    ASSERT_TRUE(module.Map(image.data(), image.size(), kLoaderFlags));
    const auto* base = static_cast<const uint8_t*>(module.GetExport(ExportPosition(0))) - code;
    EXPECT_NE(reinterpret_cast<uintptr_t>(base), kLowBase);
    uint32_t value;
    std::memcpy(&value, base + data, 4);
    EXPECT_EQ(value, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base + data + 4)));
}

}  // namespace
