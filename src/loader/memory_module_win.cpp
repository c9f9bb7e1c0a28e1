#include <windows.h>

#include "loader/memory_module_win.h"

#include <cstring>
#include <memory>
#include <utility>

#include "core/image_ranges.h"
#include "loader/pe_view.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

using EntryPoint = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
using TlsCallback = void(NTAPI*)(PVOID, DWORD, PVOID);

constexpr uint32_t kRuntimeFunctionSize = 12;

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
    uint32_t HighLowFixups = 0;
};

bool CountRelocation(void* context, uint32_t type, uint32_t)
{
    if (type == kPeRelocationHighLow) {
        ++static_cast<Preflight*>(context)->HighLowFixups;
    }
    return true;
}

bool AcceptLibrary(void*, const char*) { return true; }
bool AcceptProcedure(void*, const PeImport&) { return true; }
bool AcceptExport(void*, const char*, uint32_t) { return true; }

struct CodeSearch {
    uint32_t Rva;
    bool Found;
};

bool FindCodeSection(void* context, const PeSection& section)
{
    auto* search = static_cast<CodeSearch*>(context);
    if ((section.Characteristics & kPeSectionExecute) && search->Rva >= section.VirtualAddress &&
        search->Rva - section.VirtualAddress < section.MappedSize()) {
        search->Found = true;
    }
    return true;
}

// Code the mapper calls must lie in a section that will be executable.
bool InCodeSection(const cPeView& view, uint32_t rva)
{
    CodeSearch search{rva, false};
    view.ForEachSection(FindCodeSection, &search);
    return search.Found;
}

bool AcceptTlsCallback(void* context, uint32_t rva)
{
    return InCodeSection(*static_cast<const cPeView*>(context), rva);
}

// Static TLS data needs a slot in every thread's TLS array, which only the
// system's loader can hand out. The C runtime always brings a few bytes of
// bracket markers that no code reads; the image is refused only when its
// code does reach for the TLS array, which would land in another module's
// data.
bool HasUsableTls(const cPeView& view)
{
    if (view.Directory(kPeDirectoryTls).Size == 0) {
        return true;
    }
    PeTlsDirectory tls;
    if (!view.ReadTlsDirectory(tls) || tls.EndOfData < tls.StartOfData) {
        return false;
    }
    const uint64_t dataSize = tls.EndOfData - tls.StartOfData + tls.SizeOfZeroFill;
    if (dataSize != 0 && view.CodeReadsTlsArray()) {
        LogPrintf(
            Error,
            "The module uses %llu bytes of static thread-local storage, which a module mapped from memory "
            "cannot get; refusing it.",
            static_cast<unsigned long long>(dataSize));
        return false;
    }
    return view.ForEachTlsCallback(AcceptTlsCallback, const_cast<cPeView*>(&view));
}

// The system's unwinder follows these entries blindly when an exception
// passes through the module.
bool HasUsableExceptionTable(const cPeView& view)
{
    const PeDataDirectory table = view.Directory(kPeDirectoryException);
    if (table.Size == 0) {
        return true;
    }
    const uint8_t* entries = view.RvaToFilePointer(table.Rva, table.Size);
    if (table.Size % kRuntimeFunctionSize != 0 || !entries) {
        return false;
    }
    for (uint32_t offset = 0; offset < table.Size; offset += kRuntimeFunctionSize) {
        uint32_t begin, end, unwind;
        std::memcpy(&begin, entries + offset, 4);
        std::memcpy(&end, entries + offset + 4, 4);
        std::memcpy(&unwind, entries + offset + 8, 4);
        if (end <= begin || !view.RangeInSection(begin, end - begin) ||
            !view.RangeInSection(unwind & ~1u, 4)) {
            return false;
        }
    }
    return true;
}

// Every table the mapper will follow is whole, before anything is reserved.
bool PassesPreflight(const cPeView& view, Preflight& facts)
{
    if (!view.IsMachine64() || !view.Validate() || !(view.FileCharacteristics() & kPeFileDll)) {
        return false;
    }
    const uint32_t entry = view.GetHeaderValue(kPeEntryPoint);
    if (entry != 0 && !InCodeSection(view, entry)) {
        return false;
    }
    return view.ForEachRelocation(CountRelocation, &facts) &&
           view.ForEachImport(AcceptLibrary, AcceptProcedure, nullptr) &&
           view.ForEachExport(AcceptExport, nullptr) && HasUsableExceptionTable(view) && HasUsableTls(view);
}

// --- laying the image out ------------------------------------------------------

struct Layout {
    const uint8_t* Bytes;
    uint8_t* Base;
    int64_t Displacement;
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
            return false;
        }
        value = static_cast<uint32_t>(moved);
        std::memcpy(at, &value, sizeof value);
    }
    return true;
}

struct ImportState {
    uint8_t* Base;
    HMODULE Library = nullptr;
};

bool LoadImportLibrary(void* context, const char* name)
{
    auto* state = static_cast<ImportState*>(context);
    state->Library = LoadLibraryA(name);
    return state->Library != nullptr;
}

bool ResolveImport(void* context, const PeImport& import)
{
    auto* state = static_cast<ImportState*>(context);
    const char* request = import.Procedure ? import.Procedure : MAKEINTRESOURCEA(import.Ordinal);
    FARPROC address = GetProcAddress(state->Library, request);
    if (!address) {
        return false;
    }
    std::memcpy(state->Base + import.SlotRva, &address, sizeof address);
    return true;
}

// Execute permission follows the execute bit alone: code whose section
// forgot the read bit still has to run.
DWORD SectionProtection(uint32_t characteristics)
{
    const bool execute = characteristics & kPeSectionExecute;
    const bool write = characteristics & kPeSectionWrite;
    const bool read = characteristics & kPeSectionRead;
    if (execute) {
        return write ? PAGE_EXECUTE_READWRITE : PAGE_EXECUTE_READ;
    }
    if (read && !write) {
        return PAGE_READONLY;
    }
    return PAGE_READWRITE;
}

bool ProtectSection(void* context, const PeSection& section)
{
    auto* layout = static_cast<Layout*>(context);
    if (section.MappedSize() == 0) {
        return true;
    }
    uint8_t* at = layout->Base + section.VirtualAddress;
    const DWORD protection = SectionProtection(section.Characteristics);
    if (!ProtectRange(at, section.MappedSize(), protection)) {
        return false;
    }
    if (section.Characteristics & kPeSectionExecute) {
        FlushInstructionCache(GetCurrentProcess(), at, section.MappedSize());
    }
    return true;
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

bool ProtectHeaders(const cPeView& view, uint8_t* base)
{
    const uint32_t size = view.GetHeaderValue(kPeSizeOfHeaders);
    return size == 0 || ProtectRange(base, size, PAGE_READONLY);
}

bool RecordSection(void* context, const PeSection& section)
{
    if (section.MappedSize() != 0) {
        static_cast<std::vector<std::pair<uint32_t, uint32_t>>*>(context)->push_back(
            {section.VirtualAddress, section.MappedSize()});
    }
    return true;
}

bool RecordTlsCallback(void* context, uint32_t rva)
{
    static_cast<std::vector<uint32_t>*>(context)->push_back(rva);
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
    if (!view || !PassesPreflight(*view, facts)) {
        return false;
    }
    // Without relocations, or with 32-bit absolute addresses, the image is
    // only right at (or within 4 GiB of) the base it was linked for.
    const bool needsPreferredBase = !view->HasRelocations() || facts.HighLowFixups != 0;
    const uint32_t imageSize = view->GetHeaderValue(kPeSizeOfImage);
    cReservation reservation(ReserveRegion(needsPreferredBase ? view->GetImageBase() : 0, imageSize));
    if (!reservation.Get()) {
        return false;
    }
    uint8_t* base = reservation.Get();
    if (needsPreferredBase && reinterpret_cast<uintptr_t>(base) != view->GetImageBase()) {
        return false;
    }
    Layout layout{bytes, base,
                  static_cast<int64_t>(reinterpret_cast<uintptr_t>(base) - view->GetImageBase())};
    ImportState imports{base};
    if ((flags & kCopyHeaders) && !CopyHeaders(*view, bytes, base)) {
        return false;
    }
    if (!view->ForEachSection(CopySection, &layout) || !view->ForEachRelocation(ApplyRelocation, &layout) ||
        !view->ForEachImport(LoadImportLibrary, ResolveImport, &imports) ||
        !view->ForEachSection(ProtectSection, &layout) ||
        ((flags & kCopyHeaders) && !ProtectHeaders(*view, base))) {
        return false;
    }

    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    std::vector<uint32_t> tlsCallbacks;
    view->ForEachSection(RecordSection, &ranges);
    view->ForEachTlsCallback(RecordTlsCallback, &tlsCallbacks);

    // Unwinding through the module (C++ exceptions, SEH) needs its unwind
    // data registered before any of its code runs.
    const PeDataDirectory unwind = view->Directory(kPeDirectoryException);
    if (unwind.Size != 0) {
        auto* table = reinterpret_cast<PRUNTIME_FUNCTION>(base + unwind.Rva);
        if (!RtlAddFunctionTable(table, unwind.Size / kRuntimeFunctionSize,
                                 reinterpret_cast<DWORD64>(base))) {
            return false;
        }
        FunctionTable = table;
    }

    ImageBase = reservation.Keep();
    RegisterImageRange(ImageBase, imageSize, "anti-cheat module");
    Flags = flags;
    EntryPointRva = view->GetHeaderValue(kPeEntryPoint);
    ExportFunctions = view->GetHeaderValue(kPeExportFunctions);
    ExportFunctionCount = view->GetHeaderValue(kPeExportFunctionCount);
    ExportNames = view->GetHeaderValue(kPeExportNames);
    ExportNameOrdinals = view->GetHeaderValue(kPeExportNameOrdinals);
    ExportNameCount = view->GetHeaderValue(kPeExportNameCount);
    const PeDataDirectory exports = view->Directory(kPeDirectoryExport);
    ExportDirectoryRva = exports.Rva;
    ExportDirectorySize = exports.Size;
    for (const auto& [rva, size] : ranges) {
        Sections.push_back({rva, size});
    }
    TlsCallbacks = std::move(tlsCallbacks);

    if (!(flags & kCallEntryOnLoad)) {
        return true;
    }
    CallTlsCallbacks(DLL_PROCESS_ATTACH);
    if (CallEntryPoint(DLL_PROCESS_ATTACH)) {
        return true;
    }
    // A refused attach is undone here, so no failure leaves memory behind.
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
    EntryPointRva = ExportFunctions = ExportFunctionCount = ExportNames = ExportNameOrdinals = 0;
    ExportNameCount = ExportDirectoryRva = ExportDirectorySize = Flags = 0;
    FunctionTable = nullptr;
    Sections.clear();
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

bool cMemoryModule::InSection(uint32_t rva, uint32_t size) const
{
    for (const MappedRange& range : Sections) {
        if (rva >= range.Rva && rva - range.Rva < range.Size && size <= range.Size - (rva - range.Rva)) {
            return true;
        }
    }
    return false;
}

void* cMemoryModule::ExportAtPosition(uint32_t position) const
{
    if (position >= ExportFunctionCount) {
        return nullptr;
    }
    uint32_t rva;
    std::memcpy(&rva, ImageBase + ExportFunctions + static_cast<size_t>(position) * 4, sizeof rva);
    const bool forwarder = rva >= ExportDirectoryRva && rva - ExportDirectoryRva < ExportDirectorySize;
    if (rva == 0 || forwarder || !InSection(rva, 1)) {
        return nullptr;
    }
    return ImageBase + rva;
}

void* cMemoryModule::ExportByName(const char* name) const
{
    for (uint32_t i = 0; i < ExportNameCount; ++i) {
        uint32_t nameRva;
        uint16_t ordinal;
        std::memcpy(&nameRva, ImageBase + ExportNames + static_cast<size_t>(i) * 4, sizeof nameRva);
        std::memcpy(&ordinal, ImageBase + ExportNameOrdinals + static_cast<size_t>(i) * 2, sizeof ordinal);
        // The names were checked to end inside their section when mapped.
        if (std::strcmp(reinterpret_cast<const char*>(ImageBase + nameRva), name) == 0) {
            return ExportAtPosition(ordinal);
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
        return ExportAtPosition(static_cast<uint32_t>(~request));
    }
    return ExportByName(reinterpret_cast<const char*>(request));
}

}  // namespace tavrin::launcher
