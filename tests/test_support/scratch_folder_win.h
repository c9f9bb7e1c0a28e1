// A private folder under the Windows temporary directory for one test, and the
// small file helpers the Windows tests share.
#pragma once

#include <windows.h>
#include <share.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/files_win.h"

namespace tavrin::test {

// Narrow paths are UTF-8 here; std::filesystem would read them in the ANSI code page.
inline std::filesystem::path Utf8Path(const std::string& utf8)
{
    return std::filesystem::path(tavrin::Utf8ToUtf16(utf8));
}

// Removes a folder with everything in it; quiet when it is already gone.
inline void RemoveTree(const std::filesystem::path& folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

// A fresh folder, unique within the machine, removed with everything in it.
// The prefix keeps the folder recognisable (and may carry non-ASCII on purpose).
class cScratchFolder {
public:
    explicit cScratchFolder(const std::wstring& prefix = L"tavrin-test-") { Create(prefix); }
    explicit cScratchFolder(const std::string& utf8Prefix) { Create(tavrin::Utf8ToUtf16(utf8Prefix)); }
    ~cScratchFolder() { RemoveTree(Root); }
    cScratchFolder(const cScratchFolder&) = delete;
    cScratchFolder& operator=(const cScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return Root; }
    // Both spellings end with a backslash, so a file name can be appended.
    const std::string& Utf8() const { return RootUtf8; }
    const std::wstring& Wide() const { return RootWide; }

    std::string File(const std::string& name) const { return RootUtf8 + name; }
    std::wstring File(const std::wstring& name) const { return RootWide + name; }

    // Creates a subfolder; its UTF-8 path with a trailing backslash.
    std::string MakeFolder(const std::string& name) const
    {
        std::error_code ignored;
        std::filesystem::create_directories(Utf8Path(RootUtf8 + name), ignored);
        return RootUtf8 + name + "\\";
    }

private:
    void Create(const std::wstring& prefix)
    {
        static unsigned counter = 0;
        wchar_t base[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, base);
        RootWide = std::wstring(base) + prefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
                   std::to_wstring(++counter) + L"\\";
        Root = std::filesystem::path(RootWide.substr(0, RootWide.size() - 1));
        RootUtf8 = tavrin::Utf16ToUtf8(RootWide);
        RemoveTree(Root);  // a leftover of a crashed run with the same process id
        std::error_code ignored;
        std::filesystem::create_directories(Root, ignored);
    }

    std::filesystem::path Root;
    std::string RootUtf8;
    std::wstring RootWide;
};

// Replaces the file's content; false when it could not be written whole.
inline bool WriteBytes(const std::filesystem::path& path, std::string_view bytes)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

inline bool WriteBytes(const std::string& utf8Path, std::string_view bytes)
{
    return WriteBytes(Utf8Path(utf8Path), bytes);
}

inline bool WriteBytes(const std::string& utf8Path, const void* data, size_t size)
{
    return WriteBytes(Utf8Path(utf8Path), std::string_view(static_cast<const char*>(data), size));
}

// The current time moved ms milliseconds into the past.
inline FILETIME NowMinusMs(uint64_t ms)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER value;
    value.LowPart = now.dwLowDateTime;
    value.HighPart = now.dwHighDateTime;
    value.QuadPart -= ms * 10000;
    return FILETIME{value.LowPart, value.HighPart};
}

inline bool SetLastWriteTime(const std::filesystem::path& path, FILETIME lastWrite)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool set = SetFileTime(file, nullptr, nullptr, &lastWrite);
    CloseHandle(file);
    return set;
}

// The whole file, empty when unreadable. Opened with every sharing mode, as
// another reader of a file still being written would.
inline std::string ReadText(const std::filesystem::path& path)
{
    std::string text;
    FILE* file = _wfsopen(path.c_str(), L"rb", _SH_DENYNO);
    if (file == nullptr) {
        return text;
    }
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        text.append(chunk, n);
    }
    std::fclose(file);
    return text;
}

inline std::string ReadText(const std::string& utf8Path) { return ReadText(Utf8Path(utf8Path)); }

// The file split at '\n' (a '\r' before it stays), without a final empty line.
inline std::vector<std::string> ReadLines(const std::filesystem::path& path)
{
    const std::string text = ReadText(path);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace tavrin::test
