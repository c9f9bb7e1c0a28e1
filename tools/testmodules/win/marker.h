// Side effects of the test modules, appended as lines to the file named by
// TAVRIN_TEST_MARKER so a test (or a launcher run) can see what ran. Only
// kernel32 is used: most modules link without a C runtime.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>

namespace testmodule {

inline void AppendMarker(const char* line)
{
    char path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("TAVRIN_TEST_MARKER", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line, lstrlenA(line), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
}

// "prefix value" with value in decimal, built without the C runtime.
inline void AppendMarkerNumber(const char* prefix, uint32_t value)
{
    char line[64];
    int at = 0;
    for (const char* p = prefix; *p && at < 40; ++p) {
        line[at++] = *p;
    }
    line[at++] = ' ';
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        line[at++] = digits[--count];
    }
    line[at] = '\0';
    AppendMarker(line);
}

inline void AppendMarkerWords(const char* first, const char* second, const char* third)
{
    char line[96];
    int at = 0;
    for (const char* word : {first, second, third}) {
        if (at != 0) {
            line[at++] = ' ';
        }
        for (const char* p = word ? word : "(null)"; *p && at < 90; ++p) {
            line[at++] = *p;
        }
    }
    line[at] = '\0';
    AppendMarker(line);
}

}  // namespace testmodule
