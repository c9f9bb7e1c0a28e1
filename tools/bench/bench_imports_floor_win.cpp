// BenchImportsFloor: a window program that imports what the launcher
// imports and does nothing else, so that Wine's cost of starting such a
// process is measured beside the launcher's start to its first log line.
// bench.sh compiles it against the launcher it benches, one FLOOR_IMPORT_X
// per DLL in the launcher's import table.
//
//   BenchImportsFloor OUTPUT_FILE
//
// Writes the moment its WinMain began (microseconds since 1970, UTC) to
// OUTPUT_FILE: its first output, as "Log file open" is the launcher's.
#include <windows.h>
#include <shellapi.h>

#include "bench_floor_clock_win.h"

#ifdef FLOOR_IMPORT_ADVAPI32
#include <winreg.h>
#endif
#ifdef FLOOR_IMPORT_BCRYPT
#include <bcrypt.h>
#endif
#ifdef FLOOR_IMPORT_CRYPT32
#include <wincrypt.h>
#endif
#ifdef FLOOR_IMPORT_IMM32
#include <imm.h>
#endif
#ifdef FLOOR_IMPORT_OLE32
#include <objbase.h>
#endif
#ifdef FLOOR_IMPORT_OLEAUT32
#include <oleauto.h>
#endif
#ifdef FLOOR_IMPORT_SETUPAPI
#include <setupapi.h>
#endif
#ifdef FLOOR_IMPORT_VERSION
#include <winver.h>
#endif
#ifdef FLOOR_IMPORT_WINMM
#include <mmsystem.h>
#endif
#ifdef FLOOR_IMPORT_WS2_32
#include <winsock2.h>
#endif

// One entry point of each DLL, kept so the linker imports it; never called.
[[gnu::used]] void* const gImports[] = {
    reinterpret_cast<void*>(&GetStockObject),
    reinterpret_cast<void*>(&GetDesktopWindow),
    reinterpret_cast<void*>(&CommandLineToArgvW),
#ifdef FLOOR_IMPORT_ADVAPI32
    reinterpret_cast<void*>(&RegCloseKey),
#endif
#ifdef FLOOR_IMPORT_BCRYPT
    reinterpret_cast<void*>(&BCryptGenRandom),
#endif
#ifdef FLOOR_IMPORT_CRYPT32
    reinterpret_cast<void*>(&CertCloseStore),
#endif
#ifdef FLOOR_IMPORT_IMM32
    reinterpret_cast<void*>(&ImmGetContext),
#endif
#ifdef FLOOR_IMPORT_OLE32
    reinterpret_cast<void*>(&CoTaskMemFree),
#endif
#ifdef FLOOR_IMPORT_OLEAUT32
    reinterpret_cast<void*>(&SysFreeString),
#endif
#ifdef FLOOR_IMPORT_SETUPAPI
    reinterpret_cast<void*>(&SetupDiDestroyDeviceInfoList),
#endif
#ifdef FLOOR_IMPORT_VERSION
    reinterpret_cast<void*>(&GetFileVersionInfoSizeW),
#endif
#ifdef FLOOR_IMPORT_WINMM
    reinterpret_cast<void*>(&timeGetTime),
#endif
#ifdef FLOOR_IMPORT_WS2_32
    reinterpret_cast<void*>(&WSAGetLastError),
#endif
};

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const uint64_t started = FloorNowUs();
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    const bool written = argv != nullptr && count == 2 && WriteFloorTime(argv[1], started);
    if (argv != nullptr)
        LocalFree(argv);
    return written ? 0 : 1;
}
