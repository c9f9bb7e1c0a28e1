// Fuzz entry for the PE header view and the unwind checks: every walk and
// every decision (static TLS, exception table) on every input, validated or
// not, must stay inside the bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "loader/pe_unwind.h"
#include "loader/pe_view.h"

using namespace tavrin::launcher;

namespace {

// Touches every byte the view hands out, so a pointer past the input shows.
volatile size_t gSink;

bool OnSection(void*, const PeSection& section)
{
    gSink = gSink + section.MappedSize() + section.CopySize();
    return true;
}

bool OnRelocation(void* context, uint32_t type, uint32_t rva)
{
    const auto* view = static_cast<const cPeView*>(context);
    if ((type == kPeRelocationDir64 && !view->RangeInSection(rva, 8)) ||
        (type == kPeRelocationHighLow && !view->RangeInSection(rva, 4))) {
        __builtin_trap();
    }
    gSink = gSink + rva;
    return true;
}

bool OnLibrary(void*, const char* library)
{
    gSink = gSink + std::strlen(library);
    return true;
}

bool OnProcedure(void* context, const PeImport& import)
{
    const auto* view = static_cast<const cPeView*>(context);
    if (!view->RangeInSection(import.SlotRva, view->PointerSize())) {
        __builtin_trap();
    }
    gSink = gSink + (import.Procedure ? std::strlen(import.Procedure) : import.Ordinal);
    return true;
}

bool OnExport(void*, const char* name, uint32_t rva)
{
    gSink = gSink + std::strlen(name) + rva;
    return true;
}

// The TLS decision: a size is given exactly when the directory is readable
// and not inverted, no directory means no data, and the size is the
// template plus the zero fill (0 only for the runtime's one-pointer marker).
void DecideTls(const cPeView& view)
{
    uint64_t size = 0;
    const bool readable = view.StaticTlsSize(size);
    PeTlsDirectory tls;
    const bool hasDirectory = view.Directory(kPeDirectoryTls).Size != 0;
    if (!hasDirectory && (!readable || size != 0)) {
        __builtin_trap();
    }
    if (!hasDirectory || !readable) {
        return;
    }
    if (!view.ReadTlsDirectory(tls) || tls.EndOfData < tls.StartOfData) {
        __builtin_trap();
    }
    const uint64_t declared = tls.EndOfData - tls.StartOfData + tls.SizeOfZeroFill;
    if (size != declared && !(size == 0 && declared == view.PointerSize())) {
        __builtin_trap();
    }
    gSink = gSink + size;
}

// Every range the unwind check keeps lies in the sections.
void CheckUnwind(const cPeView& view)
{
    cPeRangeSet checked;
    const char* fault = nullptr;
    if (!CheckExceptionTable(view, checked, fault) && !fault) {
        __builtin_trap();
    }
    checked.Seal();
    gSink = gSink + checked.Overlaps(view.Directory(kPeDirectoryException).Rva, 12);
}

bool OnTlsCallback(void* context, uint32_t rva)
{
    if (!static_cast<const cPeView*>(context)->RangeInSection(rva, 1)) {
        __builtin_trap();
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto view = cPeView::Open(data, size);
    if (!view) {
        return 0;
    }
    view->Validate();
    for (uint32_t kind = 0; kind <= 8; ++kind) {
        gSink = gSink + view->GetHeaderValue(kind);
    }
    gSink = gSink + view->GetImageBase() + view->HasRelocations();
    view->ForEachSection(OnSection, nullptr);
    view->ForEachRelocation(OnRelocation, view.get());
    view->ForEachImport(OnLibrary, OnProcedure, view.get());
    view->ForEachExport(OnExport, nullptr);
    view->ForEachTlsCallback(OnTlsCallback, view.get());
    DecideTls(*view);
    CheckUnwind(*view);
    const uint32_t entry = view->GetHeaderValue(kPeEntryPoint);
    if (const uint8_t* p = view->RvaToFilePointer(entry, 16)) {
        gSink = gSink + p[15];
    }
    return 0;
}
