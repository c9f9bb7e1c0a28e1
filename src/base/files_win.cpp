#include "base/files_win.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <mutex>

#include "base/file_handle_win.h"

namespace tavrin {

namespace {

// Closes a FindFirstFileW search when it leaves scope.
class cFindHandle {
public:
    explicit cFindHandle(HANDLE handle) : Handle(handle) {}
    ~cFindHandle()
    {
        if (Valid()) {
            FindClose(Handle);
        }
    }
    cFindHandle(const cFindHandle&) = delete;
    cFindHandle& operator=(const cFindHandle&) = delete;
    bool Valid() const { return Handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return Handle; }

private:
    HANDLE Handle;
};

constexpr wchar_t kLongPathPrefix[] = L"\\\\?\\";
constexpr DWORD kFullPathCapacity = 32767;

HANDLE OpenForReading(const wchar_t* path)
{
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

using WineGetVersionFn = const char*(__cdecl*)();

WineGetVersionFn FindWineGetVersion()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<WineGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
}

struct WineInfo {
    bool Present = false;
    std::string Version;
};

const WineInfo& GetWineInfo()
{
    static const WineInfo info = [] {
        WineInfo result;
        const WineGetVersionFn getVersion = FindWineGetVersion();
        if (getVersion != nullptr) {
            result.Present = true;
            const char* version = getVersion();
            if (version != nullptr) {
                result.Version = version;
            }
        }
        return result;
    }();
    return info;
}

}  // namespace

std::string Utf16ToUtf8(const std::wstring& text)
{
    if (text.empty()) {
        return std::string();
    }
    if (text.size() > static_cast<size_t>(INT_MAX)) {
        return "W2U8_ERROR";
    }
    const int inLength = static_cast<int>(text.size());
    const int outLength =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (outLength <= 0) {
        return "W2U8_ERROR";
    }
    std::string out(static_cast<size_t>(outLength), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, text.data(), inLength, out.data(), outLength, nullptr, nullptr) !=
        outLength) {
        return "W2U8_ERROR";
    }
    return out;
}

std::wstring Utf8ToUtf16(const std::string& text)
{
    if (text.empty()) {
        return std::wstring();
    }
    if (text.size() > static_cast<size_t>(INT_MAX)) {
        return L"U82W_ERROR";
    }
    const int inLength = static_cast<int>(text.size());
    const int outLength = MultiByteToWideChar(CP_UTF8, 0, text.data(), inLength, nullptr, 0);
    if (outLength <= 0) {
        return L"U82W_ERROR";
    }
    std::wstring out(static_cast<size_t>(outLength), L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, text.data(), inLength, out.data(), outLength) != outLength) {
        return L"U82W_ERROR";
    }
    return out;
}

bool PathExists(const char* path)
{
    if (path == nullptr) {
        return false;
    }
    const std::wstring wide = Utf8ToUtf16(path);
    WIN32_FIND_DATAW data;
    cFindHandle search(FindFirstFileW(wide.c_str(), &data));
    return search.Valid();
}

bool IsDirectory(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(Utf8ToUtf16(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool GetFileAgeMs(const std::wstring& path, uint64_t& ageMs)
{
    ageMs = 0;
    FILETIME lastWrite;
    {
        cFileHandle file(OpenForReading(path.c_str()));
        if (!file.Valid() || !GetFileTime(file.Get(), nullptr, nullptr, &lastWrite)) {
            return false;
        }
    }
    SYSTEMTIME nowSystem;
    GetSystemTime(&nowSystem);
    FILETIME nowFile;
    if (!SystemTimeToFileTime(&nowSystem, &nowFile)) {
        return false;
    }
    const uint64_t now = (uint64_t{nowFile.dwHighDateTime} << 32) | nowFile.dwLowDateTime;
    const uint64_t then = (uint64_t{lastWrite.dwHighDateTime} << 32) | lastWrite.dwLowDateTime;
    // A write time in the future (clock change, copied file) counts as brand new
    // rather than wrapping to an age of millennia.
    ageMs = now > then ? (now - then) / 10000 : 0;
    return true;
}

int64_t GetFileSize(const char* path)
{
    if (path == nullptr) {
        return 0;
    }
    const std::wstring longPath = ToLongPath(Utf8ToUtf16(path));
    cFileHandle file(CreateFileW(longPath.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.Valid() || !GetFileSizeEx(file.Get(), &size)) {
        return -1;
    }
    return size.QuadPart;
}

bool ReadFileBytes(const wchar_t* path, std::vector<uint8_t>& buffer, uint64_t maximum)
{
    buffer.clear();
    if (path == nullptr || maximum == 0) {
        return false;
    }
    cFileHandle file(OpenForReading(path));
    LARGE_INTEGER size;
    if (!file.Valid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) {
        return false;
    }
    const uint64_t wanted = std::min<uint64_t>(static_cast<uint64_t>(size.QuadPart), maximum);
    // One read call carries at most 4 GiB - 1; a larger request is refused
    // rather than silently cut to the low 32 bits of the size.
    if (wanted > MAXDWORD) {
        return false;
    }
    buffer.resize(static_cast<size_t>(wanted));
    DWORD read = 0;
    if (!buffer.empty() &&
        (!ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(wanted), &read, nullptr) ||
         read != wanted)) {
        buffer.clear();
    }
    return !buffer.empty();
}

bool ReadFileBytes(const char* path, std::vector<uint8_t>& buffer, uint64_t maximum)
{
    buffer.clear();
    if (path == nullptr) {
        return false;
    }
    return ReadFileBytes(Utf8ToUtf16(path).c_str(), buffer, maximum);
}

bool ListFiles(const std::wstring& pattern, std::vector<std::wstring>& names)
{
    WIN32_FIND_DATAW data;
    cFindHandle search(FindFirstFileW(pattern.c_str(), &data));
    if (!search.Valid()) {
        return false;
    }
    do {
        if (data.cFileName[0] == L'.' || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            continue;
        }
        names.emplace_back(data.cFileName);
    } while (FindNextFileW(search.Get(), &data));
    return true;
}

bool GetModulePath(std::string& path)
{
    // Grows past MAX_PATH: a cut path would name some other file.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return false;
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            path = Utf16ToUtf8(buffer);
            return true;
        }
        if (buffer.size() >= kFullPathCapacity) {
            return false;
        }
        buffer.resize(std::min<size_t>(buffer.size() * 2, kFullPathCapacity));
    }
}

std::wstring ToLongPath(const std::wstring& path)
{
    if (path.empty()) {
        return std::wstring();
    }
    // Already long: a second prefix would make the path invalid.
    if (StartsWith(path, kLongPathPrefix)) {
        return path;
    }
    std::wstring full(kFullPathCapacity, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), kFullPathCapacity, full.data(), nullptr);
    if (length == 0 || length >= kFullPathCapacity) {
        return path;
    }
    full.resize(length);
    // Device paths ("\\.\") already bypass path parsing; they take no prefix.
    if (StartsWith(full, L"\\\\.\\")) {
        return full;
    }
    // A network path takes the "UNC" form: "\\?\UNC\server\share".
    if (StartsWith(full, L"\\\\")) {
        return std::wstring(kLongPathPrefix) + L"UNC\\" + full.substr(2);
    }
    return kLongPathPrefix + full;
}

bool GetEnvironmentValue(const std::wstring& name, std::wstring& value)
{
    value.clear();
    if (name.empty()) {
        return false;
    }
    std::wstring buffer(4096, L'\0');
    // The variable may grow between the calls; retry a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length =
            GetEnvironmentVariableW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return false;
        }
        if (length < buffer.size()) {
            value.assign(buffer.data(), length);
            return true;
        }
        buffer.resize(length);
    }
    return false;
}

bool IsWine() { return GetWineInfo().Present; }

std::string GetWineVersion() { return GetWineInfo().Version; }

}  // namespace tavrin
