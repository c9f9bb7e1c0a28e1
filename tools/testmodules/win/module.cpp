// The stand-in anti-cheat module. One source, many builds: each compile
// definition below turns on the behaviour one test module shows.
//   MODULE_REPORTS_LAUNCH   init reports 508 then 1002 (else 1003 when
//                           MODULE_REPORTS_SUCCESS, else nothing)
//   MODULE_INIT_RESULT      the byte init returns (default 1)
//   MODULE_ENTRY_REFUSES    the entry point refuses process attach
//   MODULE_MISSING_IMPORT   links against a library nobody has
//   MODULE_ORDINAL_IMPORT   the probe reads the process id through an import by ordinal
//   MODULE_TLS_CALLBACK     a TLS callback marks process attach and detach
//   MODULE_THROWS           init throws and catches a C++ exception
//   MODULE_CRT              built with the C runtime; a static constructor marks it
//   MODULE_FAULTS_IN_INIT   init writes through a null pointer
//   MODULE_FAULTS_ON_THREAD init starts a thread and returns 1; the thread
//                           writes through a null pointer a moment later
#include <windows.h>

#include "loader/module_interface.h"
#include "marker.h"

#if defined(MODULE_THROWS)
#include <stdexcept>
#endif

using namespace tavrin::launcher;

#ifndef MODULE_INIT_RESULT
#define MODULE_INIT_RESULT 1
#endif

#if defined(MODULE_MISSING_IMPORT)
extern "C" __declspec(dllimport) int TavrinMissingFunction(void);
#endif
#if defined(MODULE_ORDINAL_IMPORT)
extern "C" __declspec(dllimport) DWORD WINAPI TavrinProcessIdByOrdinal(void);
#endif

namespace {

// An absolute pointer in data: it is right only after 64-bit fixups.
volatile int gProbeTarget = 0x5A17;
volatile int* volatile gProbePointer = &gProbeTarget;

#if defined(MODULE_FAULTS_IN_INIT) || defined(MODULE_FAULTS_ON_THREAD)
// Read at run time, so the compiler cannot see the null pointer and turn the
// write into a trap instruction.
volatile int* volatile gNullPointer = nullptr;

void WriteThroughNull() { *gNullPointer = 1; }
#endif

#if defined(MODULE_FAULTS_ON_THREAD)
DWORD WINAPI FaultLater(LPVOID)
{
    Sleep(300);
    WriteThroughNull();
    return 0;
}
#endif

void Report(KZV_InitRecord* record, int32_t code)
{
    KZV_CallbackRecord callback;
    callback.Context = record->Context;
    callback.Code = code;
    callback.Message = nullptr;
    callback.NativeProcessId = 0;
    record->Callback(&callback);
}

#if defined(MODULE_THROWS)
}  // namespace

// Entered at DllMain without the C runtime's start-up: the static C++
// runtime's references to C runtime data are never used on the paths this
// module runs, so there is nothing for the pseudo-relocation pass to do.
extern "C" void _pei386_runtime_relocator(void) {}

namespace {

__attribute__((noinline)) void Fail(int code) { throw std::runtime_error(code == 7 ? "seven" : "other"); }

bool ThrowAndCatch()
{
    try {
        Fail(7);
    } catch (const std::runtime_error& error) {
        return error.what()[0] == 's';
    }
    return false;
}
#endif

#if defined(MODULE_CRT)
struct StaticMarker {
    StaticMarker() { testmodule::AppendMarker("constructor"); }
};
StaticMarker gStaticMarker;
#endif

}  // namespace

#if defined(MODULE_TLS_CALLBACK)
// The TLS directory the linker points the image at; no TLS data, one callback.
void NTAPI TlsCallback(PVOID, DWORD reason, PVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        testmodule::AppendMarker("tls attach");
    } else if (reason == DLL_PROCESS_DETACH) {
        testmodule::AppendMarker("tls detach");
    }
}

extern "C" {
ULONG _tls_index = 0;
PIMAGE_TLS_CALLBACK gTlsCallbacks[] = {TlsCallback, nullptr};
extern const IMAGE_TLS_DIRECTORY64 _tls_used;
const IMAGE_TLS_DIRECTORY64 _tls_used = {
    0, 0, reinterpret_cast<ULONGLONG>(&_tls_index), reinterpret_cast<ULONGLONG>(gTlsCallbacks), 0, {0}};
}
#endif

extern "C" {

uint8_t ModuleInit(KZV_InitRecord* record)
{
    testmodule::AppendMarker("init");
#if defined(MODULE_FAULTS_IN_INIT)
    WriteThroughNull();
#elif defined(MODULE_FAULTS_ON_THREAD)
    const HANDLE thread = CreateThread(nullptr, 0, FaultLater, nullptr, 0, nullptr);
    if (thread == nullptr) {
        return 0;
    }
    CloseHandle(thread);
#endif
#if defined(MODULE_THROWS)
    if (!ThrowAndCatch()) {
        return 0;
    }
#endif
#if defined(MODULE_REPORTS_LAUNCH)
    Report(record, kLoaderCreateGameProcess);
    Report(record, kLoaderLaunchConfirmed);
#elif defined(MODULE_REPORTS_SUCCESS)
    Report(record, kLoaderLaunchSucceeded);
#else
    (void)record;
    (void)&Report;
#endif
    return MODULE_INIT_RESULT;
}

void ModuleSecond(uint32_t* value) { testmodule::AppendMarkerNumber("second", value ? *value : 0); }

void ModuleThird()
{
#if defined(MODULE_MISSING_IMPORT)
    TavrinMissingFunction();
#endif
}

// Position 3: what the tests look at directly.
const void* ModuleProbe()
{
#if defined(MODULE_ORDINAL_IMPORT)
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(TavrinProcessIdByOrdinal()));
#else
    return const_cast<const int*>(gProbePointer);
#endif
}

void ModuleLocale(KZV_LocaleRecord* record)
{
    testmodule::AppendMarkerWords("locale", record->Language, record->Country);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        testmodule::AppendMarker("attach");
#if defined(MODULE_ENTRY_REFUSES)
        return FALSE;
#endif
    } else if (reason == DLL_PROCESS_DETACH) {
        testmodule::AppendMarker("detach");
    }
    return TRUE;
}

}  // extern "C"
