// Access to the loopback dev CDN and telemetry collector that the test
// fixture starts on the host (tools/devcdn/test_servers.sh), and to a
// private scratch folder.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "acquisition/download_rules.h"
#include "acquisition/module_decode.h"
#include "settings/files_win.h"

namespace tavrin::launcher::testing {

// The servers' folder as a DOS path, or empty when the fixture is absent.
inline std::string ServersFolder() {
    std::wstring value;
    if (!tavrin::GetEnvironmentValue(L"TAVRIN_TEST_SERVERS", value) || value.empty()) {
        return {};
    }
    std::string path = tavrin::Utf16ToUtf8(value);
    if (path.rfind('/', 0) == 0) {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

// The dev CDN is the configured development host only in loopback builds.
inline bool LoopbackCdnConfigured() {
    return std::string(CdnHost(true)).rfind("localhost:", 0) == 0;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(std::filesystem::path(tavrin::Utf8ToUtf16(path)), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(tavrin::Utf8ToUtf16(path)),
                      std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

inline std::string Encoded(std::vector<uint8_t> plain) {
    EncodeModule(plain.data(), plain.size());
    return std::string(plain.begin(), plain.end());
}

// A fresh folder under the Windows temporary folder, removed with its files.
class cScratchFolder {
public:
    explicit cScratchFolder(const std::string& name) {
        wchar_t temp[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, temp);
        Path = tavrin::Utf16ToUtf8(temp) + "tavrin-net-" + name + "-" +
               std::to_string(GetCurrentProcessId());
        Remove();
        CreateDirectoryW(tavrin::Utf8ToUtf16(Path).c_str(), nullptr);
    }
    ~cScratchFolder() { Remove(); }
    cScratchFolder(const cScratchFolder&) = delete;
    cScratchFolder& operator=(const cScratchFolder&) = delete;

    std::string File(const std::string& name) const { return Path + "\\" + name; }
    const std::string& Get() const { return Path; }

private:
    void Remove() {
        WIN32_FIND_DATAW data;
        const std::wstring folder = tavrin::Utf8ToUtf16(Path);
        HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &data);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                    DeleteFileW((folder + L"\\" + data.cFileName).c_str());
                }
            } while (FindNextFileW(search, &data));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::string Path;
};

inline bool FileExists(const std::string& path) {
    return GetFileAttributesW(tavrin::Utf8ToUtf16(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Moves a file's last-write time into the past.
inline bool AgeFile(const std::string& path, uint64_t ageMs) {
    HANDLE file = CreateFileW(tavrin::Utf8ToUtf16(path).c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= ageMs * 10000;
    FILETIME past{t.LowPart, t.HighPart};
    const bool ok = SetFileTime(file, nullptr, nullptr, &past);
    CloseHandle(file);
    return ok;
}

}  // namespace tavrin::launcher::testing
