// BenchGameStarter: creates a program the way the launcher creates the game
// (the same creation flags, start-up information and handle access) and
// nothing else: the platform's share of the launcher's game start.
//
//   BenchGameStarter REQUEST_FILE GAME [ARGUMENTS...]
//
// Writes the moment just before the creation (microseconds since 1970, UTC)
// to REQUEST_FILE, then waits for the program to exit. ASCII paths are
// enough for the bench; the game's own --start-file gives the other end.
#include <string>

#include "bench_floor_clock_win.h"
#include "loader/game_process_win.h"

using tavrin::launcher::kGameProcessAccess;
using tavrin::launcher::kGameProcessCreationFlags;

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: BenchGameStarter REQUEST_FILE GAME [ARGUMENTS...]\n");
        return 2;
    }
    std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\"";
    for (int i = 3; i < argc; ++i)
        commandLine += L" " + std::wstring(argv[i]);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION created = {};
    const uint64_t requested = FloorNowUs();
    if (!CreateProcessW(argv[2], commandLine.data(), nullptr, nullptr, FALSE, kGameProcessCreationFlags, nullptr,
                        nullptr, &startup, &created)) {
        std::fprintf(stderr, "BenchGameStarter: CreateProcessW failed with %lu\n", GetLastError());
        return 1;
    }
    // As the launcher: a handle of its own access beside the creation's.
    HANDLE process = OpenProcess(kGameProcessAccess, FALSE, created.dwProcessId);
    AllowSetForegroundWindow(created.dwProcessId);
    CloseHandle(created.hThread);
    const bool written = WriteFloorTime(argv[1], requested);
    WaitForSingleObject(process != nullptr ? process : created.hProcess, INFINITE);
    if (process != nullptr)
        CloseHandle(process);
    CloseHandle(created.hProcess);
    return written ? 0 : 1;
}
