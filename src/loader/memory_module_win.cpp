#include <windows.h>

#include "loader/memory_module_win.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "loader/image_ranges.h"
#include "loader/pe_unwind.h"
#include "loader/pe_view.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

using EntryPoint = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
using TlsCallback = void(NTAPI*)(PVOID, DWORD, PVOID);

constexpr uint32_t kRuntimeFunctionSize = 12;
constexpr uint64_t kPageSize = 0x1000;
constexpr uint64_t kAllocationGranularity = 0x10000;

// Logs why the image is refused, once, at error level.
bool Refuse(const char* format, ...) TAVRIN_PRINTF(1, 2);
bool Refuse(const char* format, ...)
{
    char reason[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(reason, sizeof reason, format, args);
    va_end(args);
    LogPrintf(Error, "The anti-cheat module cannot be mapped: %s.", reason);
    return false;
}

// --- Windows memory, wrapped once -------------------------------------------

uint8_t* ReserveRegion(uint64_t preferred, size_t size)
{
    return static_cast<uint8_t*>(VirtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(preferred)),
                                              size, MEM_RESERVE, PAGE_NOACCESS));
}

bool CommitRange(uint8_t* at, size_t size)
{
    return VirtualAlloc(at, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

bool ProtectRange(uint8_t* at, size_t size, DWORD protection)
{
    DWORD old = 0;
    return VirtualProtect(at, size, protection, &old) != FALSE;
}

void ReleaseRegion(uint8_t* base) { VirtualFree(base, 0, MEM_RELEASE); }

// A reservation exactly at `at`, or null.
uint8_t* ReserveExactly(uint64_t at, size_t size)
{
    uint8_t* base = ReserveRegion(at, size);
    if (base && reinterpret_cast<uintptr_t>(base) != at) {
        ReleaseRegion(base);
        return nullptr;
    }
    return base;
}

// The lowest free region of `size` bytes starting in [low, high].
uint8_t* ReserveWithin(uint64_t low, uint64_t high, size_t size)
{
    uint64_t at = std::max<uint64_t>((low + kAllocationGranularity - 1) & ~(kAllocationGranularity - 1),
                                     kAllocationGranularity);
    while (at <= high) {
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQuery(reinterpret_cast<void*>(static_cast<uintptr_t>(at)), &info, sizeof info) == 0) {
            return nullptr;
        }
        const uint64_t end = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (info.State == MEM_FREE && end - at >= size) {
            if (uint8_t* base = ReserveExactly(at, size)) {
                return base;
            }
        }
        at = (end + kAllocationGranularity - 1) & ~(kAllocationGranularity - 1);
    }
    return nullptr;
}

// Owns a reservation until the mapping is complete.
class cReservation {
public:
    explicit cReservation(uint8_t* base) : Base(base) {}
    ~cReservation()
    {
        if (Base) {
            ReleaseRegion(Base);
        }
    }
    cReservation(const cReservation&) = delete;
    cReservation& operator=(const cReservation&) = delete;

    uint8_t* Get() const { return Base; }
    uint8_t* Keep() { return std::exchange(Base, nullptr); }

private:
    uint8_t* Base;
};

// --- checks made before any memory is reserved --------------------------------

struct Preflight {
    const cPeView* View = nullptr;
    cPeRangeSet Unwind;            // bytes the unwinder reads, checked in the file
    uint32_t LandedRva = 0;        // a write that would land inside them
    bool Landed = false;
    uint32_t HighLowFixups = 0;
    uint64_t LowestHighLow = UINT32_MAX;  // the 32-bit values the fixups hold
    uint64_t HighestHighLow = 0;
    cMemoryModule::Exports Exports;
    std::vector<uint32_t> TlsCallbacks;
};

bool KeepOutOfUnwindData(Preflight& facts, uint32_t rva, uint32_t size)
{
    if (facts.Unwind.Overlaps(rva, size)) {
        facts.Landed = true;
        facts.LandedRva = rva;
        return false;
    }
    return true;
}

bool NoteRelocation(void* context, uint32_t type, uint32_t rva)
{
    auto* facts = static_cast<Preflight*>(context);
    if (type == kPeRelocationHighLow) {
        // Past the file's bytes the image holds zeros.
        const uint8_t* p = facts->View->RvaToFilePointer(rva, 4);
        uint32_t value = 0;
        if (p) {
            std::memcpy(&value, p, sizeof value);
        }
        ++facts->HighLowFixups;
        facts->LowestHighLow = std::min<uint64_t>(facts->LowestHighLow, value);
        facts->HighestHighLow = std::max<uint64_t>(facts->HighestHighLow, value);
    }
    const uint32_t width = type == kPeRelocationDir64 ? 8 : type == kPeRelocationHighLow ? 4 : 0;
    return width == 0 || KeepOutOfUnwindData(*facts, rva, width);
}

bool AcceptLibrary(void*, const char*) { return true; }

bool NoteImportSlot(void* context, const PeImport& import)
{
    auto* facts = static_cast<Preflight*>(context);
    return KeepOutOfUnwindData(*facts, import.SlotRva, facts->View->PointerSize());
}

bool NoteExportName(void* context, const char* name, uint32_t rva)
{
    static_cast<cMemoryModule::Exports*>(context)->Names.push_back({name, rva});
    return true;
}

bool NoteSection(void* context, const PeSection& section)
{
    if (section.MappedSize() != 0) {
        static_cast<cMemoryModule::Exports*>(context)->Sections.push_back(
            {section.VirtualAddress, section.MappedSize()});
    }
    return true;
}

bool NoteTlsCallback(void* context, uint32_t rva)
{
    auto* facts = static_cast<Preflight*>(context);
    if (!facts->View->RangeInCode(rva, 1)) {
        return false;
    }
    facts->TlsCallbacks.push_back(rva);
    return true;
}

bool CheckHeaders(const cPeView* view)
{
    if (!view || !view->IsMachine64()) {
        return Refuse("it is not an x86-64 PE image");
    }
    if (!view->Validate()) {
        return Refuse("its headers are malformed: %s", view->Fault());
    }
    if (!(view->FileCharacteristics() & kPeFileDll)) {
        return Refuse("it is not a DLL");
    }
    const uint32_t entry = view->GetHeaderValue(kPeEntryPoint);
    if (entry != 0 && !view->RangeInCode(entry, 1)) {
        return Refuse("its entry point lies outside executable code");
    }
    return true;
}

bool CheckUnwindData(Preflight& facts)
{
    const char* fault = nullptr;
    if (!CheckExceptionTable(*facts.View, facts.Unwind, fault)) {
        return Refuse("its exception table is malformed: %s", fault);
    }
    facts.Unwind.Seal();
    return true;
}

// Fixups and import slots are written into the image after the file's bytes
// were checked; none may land inside what the unwinder will read.
bool CheckWrites(Preflight& facts)
{
    const cPeView& view = *facts.View;
    if (!view.ForEachRelocation(NoteRelocation, &facts)) {
        return facts.Landed ? Refuse("a fixup at RVA %#x lands inside unwind data", facts.LandedRva)
                            : Refuse("its relocation table is malformed: %s", view.Fault());
    }
    if (!view.ForEachImport(AcceptLibrary, NoteImportSlot, &facts)) {
        return facts.Landed ? Refuse("an import slot at RVA %#x lands inside unwind data", facts.LandedRva)
                            : Refuse("its import table is malformed: %s", view.Fault());
    }
    return true;
}

// Exports are kept as the file lists them: the image can change later.
bool ReadExports(const cPeView& view, cMemoryModule::Exports& exports)
{
    if (!view.ForEachExport(NoteExportName, &exports)) {
        return Refuse("its export table is malformed: %s", view.Fault());
    }
    const PeDataDirectory directory = view.Directory(kPeDirectoryExport);
    const uint32_t count = view.GetHeaderValue(kPeExportFunctionCount);
    const uint8_t* functions =
        count ? view.RvaToFilePointer(view.GetHeaderValue(kPeExportFunctions), count * 4) : nullptr;
    exports.DirectoryRva = directory.Rva;
    exports.DirectorySize = directory.Size;
    exports.Functions.resize(functions ? count : 0);
    if (functions) {
        std::memcpy(exports.Functions.data(), functions, static_cast<size_t>(count) * 4);
    }
    view.ForEachSection(NoteSection, &exports);
    return true;
}

// Static TLS data needs a slot in every thread's TLS array, which only the
// system's loader hands out; TLS callbacks alone need none.
bool CheckTls(Preflight& facts)
{
    const cPeView& view = *facts.View;
    uint64_t size = 0;
    if (!view.StaticTlsSize(size)) {
        return Refuse("its TLS directory is malformed: %s", view.Fault());
    }
    if (size != 0) {
        return Refuse("it has %llu bytes of static thread-local storage, which a module mapped from memory "
                      "cannot get",
                      static_cast<unsigned long long>(size));
    }
    if (!view.ForEachTlsCallback(NoteTlsCallback, &facts)) {
        return Refuse("its TLS callbacks are malformed: %s",
                      view.Fault() ? view.Fault() : "a callback lies outside executable code");
    }
    return true;
}

bool PassesPreflight(const cPeView* view, Preflight& facts)
{
    if (!CheckHeaders(view)) {
        return false;
    }
    facts.View = view;
    return CheckUnwindData(facts) && CheckWrites(facts) && ReadExports(*view, facts.Exports) &&
           CheckTls(facts);
}

// --- where the image goes --------------------------------------------------------

// Anywhere with 64-bit fixups only; at its preferred base without
// relocations; with 32-bit fixups, at a base where each still fits.
uint8_t* ReserveImage(const cPeView& view, const Preflight& facts, uint32_t imageSize)
{
    const uint64_t preferred = view.GetImageBase();
    uint8_t* base = nullptr;
    if (!view.HasRelocations()) {
        if (!(base = ReserveExactly(preferred, imageSize))) {
            Refuse("its preferred base %#llx is taken and it has no relocations",
                   static_cast<unsigned long long>(preferred));
        }
        return base;
    }
    if (facts.HighLowFixups == 0) {
        if (!(base = ReserveRegion(0, imageSize))) {
            Refuse("no room for its %u bytes", imageSize);
        }
        return base;
    }
    if ((base = ReserveExactly(preferred, imageSize))) {
        return base;
    }
    // Every value + (base - preferred) must stay within 0 .. 4 GiB - 1.
    const uint64_t low = preferred > facts.LowestHighLow ? preferred - facts.LowestHighLow : 0;
    const uint64_t high = preferred + (UINT32_MAX - facts.HighestHighLow);
    if (!(base = ReserveWithin(low, high, imageSize))) {
        Refuse("its preferred base %#llx is taken and its 32-bit fixups fit at no other free base",
               static_cast<unsigned long long>(preferred));
    }
    return base;
}

// --- laying the image out ------------------------------------------------------

struct Layout {
    const uint8_t* Bytes;
    uint8_t* Base;
    int64_t Displacement;
    uint32_t UnfitRva = 0;
    bool Unfit = false;
};

bool CopySection(void* context, const PeSection& section)
{
    auto* layout = static_cast<Layout*>(context);
    if (section.MappedSize() == 0) {
        return true;
    }
    uint8_t* at = layout->Base + section.VirtualAddress;
    if (!CommitRange(at, section.MappedSize())) {
        return false;
    }
    if (section.CopySize() != 0) {
        std::memcpy(at, layout->Bytes + section.RawOffset, section.CopySize());
    }
    return true;
}

bool ApplyRelocation(void* context, uint32_t type, uint32_t rva)
{
    auto* layout = static_cast<Layout*>(context);
    uint8_t* at = layout->Base + rva;
    if (type == kPeRelocationDir64) {
        uint64_t value;
        std::memcpy(&value, at, sizeof value);
        value += static_cast<uint64_t>(layout->Displacement);
        std::memcpy(at, &value, sizeof value);
    } else if (type == kPeRelocationHighLow) {
        // A 32-bit absolute address is right only if the moved one still fits.
        uint32_t value;
        std::memcpy(&value, at, sizeof value);
        const int64_t moved = static_cast<int64_t>(value) + layout->Displacement;
        if (moved < 0 || moved > static_cast<int64_t>(UINT32_MAX)) {
            layout->Unfit = true;
            layout->UnfitRva = rva;
            return false;
        }
        value = static_cast<uint32_t>(moved);
        std::memcpy(at, &value, sizeof value);
    }
    return true;
}

struct ImportState {
    uint8_t* Base;
    const char* Library = nullptr;
    HMODULE Handle = nullptr;
};

// A library that does not load is reported with its first procedure.
bool LoadImportLibrary(void* context, const char* name)
{
    auto* state = static_cast<ImportState*>(context);
    if (state->Library && !state->Handle) {
        return Refuse("the import library %s did not load", state->Library);
    }
    state->Library = name;
    state->Handle = LoadLibraryA(name);
    return true;
}

bool ResolveImport(void* context, const PeImport& import)
{
    auto* state = static_cast<ImportState*>(context);
    const char* request = import.Procedure ? import.Procedure : MAKEINTRESOURCEA(import.Ordinal);
    FARPROC address = state->Handle ? GetProcAddress(state->Handle, request) : nullptr;
    if (!address) {
        const char* why = state->Handle ? "is not exported" : "lives in a library that did not load";
        return import.Procedure ? Refuse("the import %s!%s %s", import.Library, import.Procedure, why)
                                : Refuse("the import %s!#%u %s", import.Library, import.Ordinal, why);
    }
    std::memcpy(state->Base + import.SlotRva, &address, sizeof address);
    return true;
}

bool ResolveImports(const cPeView& view, uint8_t* base)
{
    ImportState imports{base};
    if (!view.ForEachImport(LoadImportLibrary, ResolveImport, &imports)) {
        return false;
    }
    return !(imports.Library && !imports.Handle) ||
           Refuse("the import library %s did not load", imports.Library);
}

bool CopyHeaders(const cPeView& view, const uint8_t* bytes, uint8_t* base)
{
    const uint32_t size = view.GetHeaderValue(kPeSizeOfHeaders);
    if (size == 0) {
        return true;
    }
    if (!CommitRange(base, size)) {
        return false;
    }
    std::memcpy(base, bytes, size);
    return true;
}

// --- page protection -------------------------------------------------------------

// What one page must allow; every used page is readable.
enum PageNeed : uint8_t {
    kPageUsed = 1,
    kPageWrite = 2,
    kPageExecute = 4,
};

// Execute permission follows the execute bit alone: code whose section
// forgot the read bit still has to run. Data that is neither readable nor
// writable by its bits is given both, as before.
uint8_t SectionNeed(uint32_t characteristics)
{
    const bool execute = characteristics & kPeSectionExecute;
    const bool write = characteristics & kPeSectionWrite;
    const bool read = characteristics & kPeSectionRead;
    if (execute) {
        return kPageUsed | kPageExecute | (write ? kPageWrite : 0);
    }
    return (read && !write) ? kPageUsed : kPageUsed | kPageWrite;
}

DWORD PageProtection(uint8_t need)
{
    if (need & kPageExecute) {
        return (need & kPageWrite) ? PAGE_EXECUTE_READWRITE : PAGE_EXECUTE_READ;
    }
    return (need & kPageWrite) ? PAGE_READWRITE : PAGE_READONLY;
}

void MarkPages(std::vector<uint8_t>& needs, uint64_t rva, uint64_t size, uint8_t need)
{
    for (uint64_t page = rva / kPageSize; size != 0 && page <= (rva + size - 1) / kPageSize; ++page) {
        needs[page] |= need;
    }
}

bool MarkSection(void* context, const PeSection& section)
{
    MarkPages(*static_cast<std::vector<uint8_t>*>(context), section.VirtualAddress, section.MappedSize(),
              SectionNeed(section.Characteristics));
    return true;
}

// Protection works on whole pages, so a page that sections share gets the
// union of what each of them needs (the headers, when copied, need reading).
bool ProtectPages(const cPeView& view, uint8_t* base, bool headers)
{
    const uint64_t imageSize = view.GetHeaderValue(kPeSizeOfImage);
    std::vector<uint8_t> needs((imageSize + kPageSize - 1) / kPageSize, 0);
    if (headers) {
        MarkPages(needs, 0, view.GetHeaderValue(kPeSizeOfHeaders), kPageUsed);
    }
    view.ForEachSection(MarkSection, &needs);
    for (size_t first = 0; first < needs.size();) {
        size_t end = first + 1;
        while (end < needs.size() && needs[end] == needs[first]) {
            ++end;
        }
        uint8_t* at = base + first * kPageSize;
        const size_t size = (end - first) * kPageSize;
        if (needs[first] != 0 && !ProtectRange(at, size, PageProtection(needs[first]))) {
            return false;
        }
        if (needs[first] & kPageExecute) {
            FlushInstructionCache(GetCurrentProcess(), at, size);
        }
        first = end;
    }
    return true;
}

bool LayOut(const cPeView& view, Layout& layout, uint32_t flags)
{
    const bool headers = flags & kCopyHeaders;
    if ((headers && !CopyHeaders(view, layout.Bytes, layout.Base)) ||
        !view.ForEachSection(CopySection, &layout)) {
        return Refuse("committing its memory failed");
    }
    if (!view.ForEachRelocation(ApplyRelocation, &layout)) {
        return layout.Unfit ? Refuse("the 32-bit fixup at RVA %#x does not fit at base %p", layout.UnfitRva,
                                     static_cast<void*>(layout.Base))
                            : Refuse("its relocation table is malformed: %s", view.Fault());
    }
    if (!ResolveImports(view, layout.Base)) {
        return false;
    }
    return ProtectPages(view, layout.Base, headers) || Refuse("protecting its pages failed");
}

// Unwinding through the module (C++ exceptions, SEH) needs its unwind data
// registered before any of its code runs.
bool RegisterFunctionTable(const cPeView& view, uint8_t* base, void*& table)
{
    const PeDataDirectory unwind = view.Directory(kPeDirectoryException);
    table = nullptr;
    if (unwind.Size == 0) {
        return true;
    }
    auto* entries = reinterpret_cast<PRUNTIME_FUNCTION>(base + unwind.Rva);
    if (!RtlAddFunctionTable(entries, unwind.Size / kRuntimeFunctionSize, reinterpret_cast<DWORD64>(base))) {
        return Refuse("registering its function table failed");
    }
    table = entries;
    return true;
}

}  // namespace

cMemoryModule::~cMemoryModule() { Unmap(); }

bool cMemoryModule::Map(const uint8_t* bytes, size_t length, uint32_t flags)
{
    if (IsMapped()) {
        return false;
    }
    std::unique_ptr<cPeView> view = cPeView::Open(bytes, length);
    Preflight facts;
    if (!PassesPreflight(view.get(), facts)) {
        return false;
    }
    const uint32_t imageSize = view->GetHeaderValue(kPeSizeOfImage);
    cReservation reservation(ReserveImage(*view, facts, imageSize));
    if (!reservation.Get()) {
        return false;
    }
    uint8_t* base = reservation.Get();
    Layout layout{bytes, base, static_cast<int64_t>(reinterpret_cast<uintptr_t>(base) - view->GetImageBase())};
    if (!LayOut(*view, layout, flags) || !RegisterFunctionTable(*view, base, FunctionTable)) {
        return false;
    }
    ImageBase = reservation.Keep();
    RegisterImageRange(ImageBase, imageSize, "anti-cheat module");
    Flags = flags;
    EntryPointRva = view->GetHeaderValue(kPeEntryPoint);
    Table = std::move(facts.Exports);
    TlsCallbacks = std::move(facts.TlsCallbacks);
    if (!(flags & kCallEntryOnLoad)) {
        return true;
    }
    CallTlsCallbacks(DLL_PROCESS_ATTACH);
    if (CallEntryPoint(DLL_PROCESS_ATTACH)) {
        return true;
    }
    // A refused attach is undone here, so no failure leaves memory behind.
    Refuse("its entry point refused process attach");
    Unmap();
    return false;
}

bool cMemoryModule::Unmap()
{
    if (!IsMapped()) {
        return false;
    }
    if (Flags & kCallEntryOnUnload) {
        CallTlsCallbacks(DLL_PROCESS_DETACH);
        CallEntryPoint(DLL_PROCESS_DETACH);
    }
    if (FunctionTable) {
        RtlDeleteFunctionTable(static_cast<PRUNTIME_FUNCTION>(FunctionTable));
    }
    UnregisterImageRange(ImageBase);
    ReleaseRegion(ImageBase);
    Forget();
    return true;
}

void cMemoryModule::Forget()
{
    ImageBase = nullptr;
    EntryPointRva = Flags = 0;
    FunctionTable = nullptr;
    Table = Exports{};
    TlsCallbacks.clear();
}

void cMemoryModule::CallTlsCallbacks(uint32_t reason) const
{
    for (uint32_t rva : TlsCallbacks) {
        reinterpret_cast<TlsCallback>(ImageBase + rva)(ImageBase, reason, nullptr);
    }
}

bool cMemoryModule::CallEntryPoint(uint32_t reason) const
{
    if (EntryPointRva == 0) {
        return true;
    }
    auto entry = reinterpret_cast<EntryPoint>(ImageBase + EntryPointRva);
    return entry(reinterpret_cast<HINSTANCE>(ImageBase), reason, nullptr) != FALSE;
}

void* cMemoryModule::ExportAt(uint32_t rva) const
{
    const bool forwarder = rva >= Table.DirectoryRva && rva - Table.DirectoryRva < Table.DirectorySize;
    if (rva == 0 || forwarder) {
        return nullptr;
    }
    for (const auto& [start, size] : Table.Sections) {
        if (rva >= start && rva - start < size) {
            return ImageBase + rva;
        }
    }
    return nullptr;
}

void* cMemoryModule::GetExport(uintptr_t request) const
{
    if (!IsMapped() || request == 0) {
        return nullptr;
    }
    // Positions arrive complemented, so their upper half is all ones; no
    // user-space name pointer looks like that.
    if ((static_cast<uint64_t>(request) >> 32) == 0xFFFFFFFFu) {
        const uint32_t position = static_cast<uint32_t>(~request);
        return position < Table.Functions.size() ? ExportAt(Table.Functions[position]) : nullptr;
    }
    const char* name = reinterpret_cast<const char*>(request);
    for (const auto& [exported, rva] : Table.Names) {
        if (exported == name) {
            return ExportAt(rva);
        }
    }
    return nullptr;
}

}  // namespace tavrin::launcher
