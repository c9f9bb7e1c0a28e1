// Child processes of the Windows tests: the demo game built beside them, and
// a bounded wait for a process's end.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/files_win.h"

namespace tavrin::test {

// The demo game in the build's bin folder (the build root arrives as a Unix path).
inline std::filesystem::path DemoGamePath()
{
    const char* binary = std::getenv("TAVRIN_BINARY_DIR");
    std::string windowsPath = "Z:" + std::string(binary ? binary : "") + "/bin/DemoGame.exe";
    for (char& c : windowsPath) {
        if (c == '/') {
            c = '\\';
        }
    }
    return std::filesystem::path(tavrin::Utf8ToUtf16(windowsPath));
}

// The exit code once the process ends within the time, else STILL_ACTIVE.
inline DWORD WaitForExitCode(HANDLE process, DWORD timeoutMs)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process, &code);
    }
    return code;
}

}  // namespace tavrin::test
