// The test modules append one line per event (attach, init, locale, second,
// ...) to the file named by TAVRIN_TEST_MARKER; this names a fresh file for
// the test's lifetime and reads it back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/files_win.h"
#include "test_support/scratch_folder_win.h"

namespace tavrin::test {

class cModuleMarker {
public:
    cModuleMarker() : Path(Folder.File(L"marker.txt"))
    {
        SetEnvironmentVariableW(L"TAVRIN_TEST_MARKER", Path.c_str());
    }
    ~cModuleMarker() { SetEnvironmentVariableW(L"TAVRIN_TEST_MARKER", nullptr); }
    cModuleMarker(const cModuleMarker&) = delete;
    cModuleMarker& operator=(const cModuleMarker&) = delete;

    std::vector<std::string> Read() const
    {
        std::vector<uint8_t> bytes;
        tavrin::ReadFileBytes(Path.c_str(), bytes, 1 << 20);
        std::vector<std::string> lines;
        std::string line;
        for (uint8_t c : bytes) {
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            } else {
                line += static_cast<char>(c);
            }
        }
        return lines;
    }

private:
    cScratchFolder Folder{L"tavrin-marker-"};
    std::wstring Path;
};

}  // namespace tavrin::test
