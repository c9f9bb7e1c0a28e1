// The wall clock the floor programs share with the demo game's --start-file:
// microseconds since 1970 (UTC), written to a file the bench reads.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>

inline uint64_t FloorNowUs()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // 100 ns ticks since 1601 to microseconds since 1970.
    return ticks / 10 - 11644473600000000ull;
}

inline bool WriteFloorTime(const wchar_t* path, uint64_t microseconds)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(microseconds));
    DWORD written = 0;
    const bool ok = length > 0 && WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr) &&
                    written == static_cast<DWORD>(length);
    CloseHandle(file);
    return ok;
}
