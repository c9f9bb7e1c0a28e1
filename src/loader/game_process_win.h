// The game process: its command line, the handle types that keep it, and
// the texts for a failed creation.
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tavrin::launcher {

// Enough to wait for the game, read its exit code and end it; nothing more.
inline constexpr DWORD kGameProcessAccess =
    SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE;
static_assert(kGameProcessAccess == 0x101001);

// CREATE_UNICODE_ENVIRONMENT | CREATE_DEFAULT_ERROR_MODE.
inline constexpr DWORD kGameProcessCreationFlags = CREATE_UNICODE_ENVIRONMENT | CREATE_DEFAULT_ERROR_MODE;
static_assert(kGameProcessCreationFlags == 0x4000400);

// Longest command line CreateProcessW takes, its terminating NUL included.
inline constexpr size_t kMaxCommandLineChars = 32767;

// Owns one process handle; closes it on destruction.
class cProcessHandle {
public:
    cProcessHandle() = default;
    explicit cProcessHandle(HANDLE handle) : Handle(handle) {}
    ~cProcessHandle() { Reset(); }
    cProcessHandle(cProcessHandle&& other) noexcept : Handle(other.Release()) {}
    cProcessHandle& operator=(cProcessHandle&& other) noexcept;
    cProcessHandle(const cProcessHandle&) = delete;
    cProcessHandle& operator=(const cProcessHandle&) = delete;

    HANDLE Get() const { return Handle; }
    explicit operator bool() const { return Handle != nullptr; }
    // Gives up ownership; the caller closes the handle.
    HANDLE Release();
    void Reset(HANDLE handle = nullptr);

private:
    HANDLE Handle = nullptr;
};

// A process handle written by the loader's and the module's threads and read
// by the launcher's: every access goes through one small lock.
class cSharedProcessHandle {
public:
    // Keeps handle, closing the one held before.
    void Replace(cProcessHandle handle);
    // Keeps handle only when none is held; otherwise it is closed.
    void AdoptIfEmpty(cProcessHandle handle);
    // A new handle with the same rights, or empty when none is held.
    cProcessHandle Duplicate() const;
    bool Empty() const;
    void Close();

private:
    mutable std::mutex Lock;
    cProcessHandle Handle;
};

// The quoted game path, then each argument after one space exactly as it
// stands: arguments are neither quoted nor escaped.
std::string BuildGameCommandLine(const std::string& gamePath, const std::vector<std::string>& arguments);

// The system's text for the error (at most 511 characters), or
// "CreateProcess failed with {0}." when there is none.
std::string DescribeCreateProcessError(DWORD error);

}  // namespace tavrin::launcher
