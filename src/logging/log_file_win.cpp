#include "logging/log_file_win.h"

#include <windows.h>
#include <io.h>
#include <share.h>

#include <atomic>
#include <cwchar>
#include <mutex>
#include <vector>

#include "base/cache_folder_win.h"
#include "base/files_win.h"
#include "logging/logger.h"

namespace tavrin {

namespace {

// Guards the registration and every write through it, so Close never races
// a sink call.
std::mutex gLogFileLock;
cLogFile* gRegisteredLogFile = nullptr;

// What the crash handler may use without the lock: the stream's system
// handle and its folder, published once both are set.
constexpr size_t kMaxCrashFolder = 1024;
std::atomic<HANDLE> gCrashHandle{nullptr};
const cLogFile* gCrashOwner = nullptr;
wchar_t gCrashFolder[kMaxCrashFolder] = {};

// The caller holds gLogFileLock.
void PublishForCrashes(const cLogFile* owner, FILE* file, const std::wstring& folder)
{
    gCrashHandle.store(nullptr);
    gCrashOwner = owner;
    if (folder.size() >= kMaxCrashFolder) {
        return;
    }
    std::wmemcpy(gCrashFolder, folder.c_str(), folder.size() + 1);
    const intptr_t handle = _get_osfhandle(_fileno(file));
    if (handle != -1) {
        gCrashHandle.store(reinterpret_cast<HANDLE>(handle));
    }
}

constexpr uint64_t kMaxLogBackupAgeMs = 604800000;  // 7 days

// Launches within one second beyond this continue the previous log.
constexpr uint32_t kMaxBackupsPerSecond = 99;

constexpr const char* kNoCacheDirectory =
    "Failed to retrieve the cache directory path, log files will be unavailable!";

// The file's own last-write time, to the second, as "%Y.%m.%d-%H.%M.%S".
bool LastWriteStamp(const std::wstring& path, std::string& stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    SYSTEMTIME utc;
    if (!FileTimeToSystemTime(&data.ftLastWriteTime, &utc)) {
        return false;
    }
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%04u.%02u.%02u-%02u.%02u.%02u", utc.wYear,
                                     utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof text) {
        return false;
    }
    stamp = text;
    return true;
}

// Renames the previous log to its dated backup name, or, when a backup of
// the same second exists, to the first free "-<n>" variant of it. False when
// the previous log is still in place (no free name, or the rename failed):
// the new run must then append instead of truncating.
bool BackUpLogFile(const std::wstring& directory)
{
    const std::wstring log = directory + Utf8ToUtf16(kLogFileName);
    std::string stamp;
    if (!LastWriteStamp(log, stamp)) {
        return true;
    }
    const std::wstring base = directory + L"anticheatlauncher-backup-" + Utf8ToUtf16(stamp);
    for (uint32_t counter = 0; counter <= kMaxBackupsPerSecond; ++counter) {
        const std::wstring backup =
            base + (counter == 0 ? std::wstring() : L"-" + std::to_wstring(counter)) + L".log";
        // Without the replace flag: an existing backup is never overwritten.
        if (MoveFileW(log.c_str(), backup.c_str())) {
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    return false;
}

void DeleteOldBackups(const std::wstring& directory)
{
    std::vector<std::wstring> names;
    if (!ListFiles(directory + L"anticheatlauncher-backup-*.log", names)) {
        return;
    }
    for (const std::wstring& name : names) {
        const std::wstring path = directory + name;
        uint64_t ageMs = 0;
        if (GetFileAgeMs(path, ageMs) && ageMs > kMaxLogBackupAgeMs) {
            DeleteFileW(path.c_str());
        }
    }
}

void Register(cLogFile* file)
{
    std::lock_guard<std::mutex> guard(gLogFileLock);
    gRegisteredLogFile = file;
}

void InstallSink(uint32_t level)
{
    if (gLogger != nullptr) {
        gLogger->InstallSink(WriteLogFileLine, level);
    }
}

}  // namespace

std::string GetLogFilePath(const std::string& productId, const std::string& deploymentId)
{
    std::string directory;
    if (!GetCacheDirectory(productId, deploymentId, directory)) {
        LogPrintf(Error, "%s", kNoCacheDirectory);
        return {};
    }
    return directory + kLogFileName;
}

namespace {

// The same as RotateLogFiles; false when a previous log is still in place
// because it could not be renamed.
bool RotateLogFilesKeeping(const std::string& directory)
{
    if (directory.empty()) {
        return true;
    }
    const std::wstring wide = Utf8ToUtf16(directory);
    const bool movedAway = BackUpLogFile(wide);
    DeleteOldBackups(wide);
    return movedAway;
}

}  // namespace

void RotateLogFiles(const std::string& directory)
{
    if (directory.empty()) {
        return;
    }
    RotateLogFilesKeeping(directory);
}

bool cLogFile::Open(const std::string& directory, uint32_t level)
{
    {
        std::lock_guard<std::mutex> guard(gLogFileLock);
        Level = level;
    }
    if (IsOpen()) {
        return true;
    }
    if (directory.empty()) {
        return false;
    }
    // A previous log that could not be moved away is continued, never truncated.
    const bool movedAway = RotateLogFilesKeeping(directory);
    const std::wstring path = Utf8ToUtf16(directory + kLogFileName);
    // Text mode: the C runtime writes each line break as CR LF.
    FILE* file = _wfsopen(path.c_str(), movedAway ? L"wt" : L"at", _SH_DENYNO);
    if (file == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> guard(gLogFileLock);
    Stream.reset(file);
    Failed = false;
    PublishForCrashes(this, file, Utf8ToUtf16(directory));
    return true;
}

void cLogFile::Close()
{
    std::lock_guard<std::mutex> guard(gLogFileLock);
    if (gRegisteredLogFile == this) {
        gRegisteredLogFile = nullptr;
    }
    if (gCrashOwner == this) {
        gCrashHandle.store(nullptr);
        gCrashOwner = nullptr;
    }
    Stream.reset();
}

void cLogFile::WriteLine(uint32_t level, const char* line)
{
    if (level > Level || !Stream || Failed || line == nullptr) {
        return;
    }
    FILE* file = Stream.get();
    if (std::fputs(line, file) < 0 || std::fputc('\n', file) == EOF || std::fflush(file) != 0) {
        Failed = true;
    }
}

bool OpenLogFileIn(cLogFile& file, const std::string& directory, uint32_t level)
{
    const bool open = file.Open(directory, level);
    Register(&file);
    InstallSink(level);
    return open;
}

bool OpenLogFile(cLogFile& file, const std::string& productId, const std::string& deploymentId,
                 uint32_t level)
{
    std::string directory;
    if (!file.IsOpen() && !GetCacheDirectory(productId, deploymentId, directory)) {
        LogPrintf(Error, "%s", kNoCacheDirectory);
    }
    return OpenLogFileIn(file, directory, level);
}

void WriteLogFileLine(uint32_t level, const char* line)
{
    std::lock_guard<std::mutex> guard(gLogFileLock);
    if (gRegisteredLogFile != nullptr) {
        gRegisteredLogFile->WriteLine(level, line);
    }
}

bool WriteToLogFileUnlocked(const char* bytes, size_t length)
{
    const HANDLE handle = gCrashHandle.load();
    if (handle == nullptr || bytes == nullptr || length > MAXDWORD) {
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(handle, bytes, static_cast<DWORD>(length), &written, nullptr) && written == length;
    FlushFileBuffers(handle);
    return ok;
}

bool CopyLogFileFolder(wchar_t* out, size_t capacity)
{
    if (gCrashHandle.load() == nullptr || out == nullptr) {
        return false;
    }
    const size_t length = wcsnlen(gCrashFolder, kMaxCrashFolder);
    if (length == 0 || length >= capacity) {
        return false;
    }
    std::wmemcpy(out, gCrashFolder, length + 1);
    return true;
}

std::string FormatLogOpenTime()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02uZ", now.wYear,
                                     now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    if (length <= 0) {
        return "0000-00-00 00:00:00Z";
    }
    return text;
}

}  // namespace tavrin
