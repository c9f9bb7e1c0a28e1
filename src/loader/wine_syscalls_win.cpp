#include "loader/wine_syscalls_win.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "loader/wine_helper_page_win.h"

namespace tavrin::launcher {

namespace {

constexpr uint64_t kSysRead = 0;
constexpr uint64_t kSysWrite = 1;
constexpr uint64_t kSysOpen = 2;
constexpr uint64_t kSysClose = 3;
constexpr uint64_t kSysFstat = 5;
constexpr uint64_t kSysFcntl = 72;
constexpr uint64_t kSysGetPid = 39;
constexpr uint64_t kSysUnlink = 87;
constexpr uint64_t kSysGetUid = 102;
constexpr uint64_t kSysGetTid = 186;
constexpr uint64_t kSysFutex = 202;
constexpr uint64_t kSysClockGetTime = 228;
constexpr uint64_t kClockMonotonic = 1;
constexpr uint64_t kSysMemfdCreate = 319;
constexpr uint64_t kFcntlAddSeals = 1033;
// seal, shrink, grow, write
constexpr uint64_t kAllSeals = 1 | 2 | 4 | 8;
constexpr uint64_t kFutexWaitPrivate = 128;
constexpr uint64_t kFutexWakePrivate = 129;
constexpr size_t kChunk = 4096;
constexpr uint32_t kModeTypeMask = 0170000;
constexpr uint32_t kModeRegular = 0100000;

using SyscallStub = int64_t (*)(uint64_t number, uint64_t a1, uint64_t a2, uint64_t a3);

int64_t Syscall(uint64_t number, uint64_t a1 = 0, uint64_t a2 = 0, uint64_t a3 = 0)
{
    void* page = WineHelperPage();
    if (!page) {
        return -ENOSYS;
    }
    return reinterpret_cast<SyscallStub>(page)(number, a1, a2, a3);
}

// For the calls that must work on native threads and after the helper page
// is gone. The kernel clobbers rcx and r11 only.
int64_t DirectSyscall(uint64_t number, uint64_t a1, uint64_t a2, uint64_t a3, uint64_t a4)
{
    int64_t result;
    register uint64_t r10 asm("r10") = a4;
    asm volatile("syscall"
                 : "=a"(result)
                 : "a"(number), "D"(a1), "S"(a2), "d"(a3), "r"(r10)
                 : "rcx", "r11", "memory");
    return result;
}

int AsInt(int64_t result) { return result < 0 ? -1 : static_cast<int>(result); }

uint64_t Arg(const void* pointer) { return reinterpret_cast<uint64_t>(pointer); }

}  // namespace

int64_t NativeRead(int fd, void* buffer, uint64_t size)
{
    const int64_t result = Syscall(kSysRead, static_cast<uint64_t>(fd), Arg(buffer), size);
    return result < 0 ? -1 : result;
}

int64_t NativeWrite(int fd, const void* buffer, uint64_t size)
{
    const int64_t result = Syscall(kSysWrite, static_cast<uint64_t>(fd), Arg(buffer), size);
    return result < 0 ? -1 : result;
}

int NativeOpen(const char* path, int flags, unsigned mode)
{
    return AsInt(Syscall(kSysOpen, Arg(path), static_cast<uint64_t>(flags), mode));
}

int NativeClose(int fd) { return AsInt(Syscall(kSysClose, static_cast<uint64_t>(fd))); }

int NativeGetPid() { return AsInt(Syscall(kSysGetPid)); }

int NativeGetUid() { return AsInt(Syscall(kSysGetUid)); }

int NativeUnlink(const char* path) { return AsInt(Syscall(kSysUnlink, Arg(path))); }

int NativeMemfdCreate(const char* name, unsigned flags)
{
    return AsInt(Syscall(kSysMemfdCreate, Arg(name), flags));
}

bool NativeFstat(int fd, NativeFileStatus& status)
{
    // struct stat of x86-64 Linux: 144 bytes, link count at 16, mode at 24,
    // uid at 28, size at 48.
    alignas(8) uint8_t raw[144];
    if (Syscall(kSysFstat, static_cast<uint64_t>(fd), Arg(raw)) != 0) {
        return false;
    }
    std::memcpy(&status.Links, raw + 16, 8);
    std::memcpy(&status.Mode, raw + 24, 4);
    std::memcpy(&status.Owner, raw + 28, 4);
    std::memcpy(&status.Size, raw + 48, 8);
    return true;
}

bool NativeSealFile(int fd)
{
    return Syscall(kSysFcntl, static_cast<uint64_t>(fd), kFcntlAddSeals, kAllSeals) == 0;
}

bool NativeIsRegularFile(const NativeFileStatus& status)
{
    return (status.Mode & kModeTypeMask) == kModeRegular;
}

std::vector<uint8_t> ReadNativeFile(const std::string& path, size_t limit)
{
    std::vector<uint8_t> bytes;
    const int fd = NativeOpen(path.c_str(), kNativeOpenReadOnly | kNativeOpenCloseOnExec);
    if (fd < 0) {
        return bytes;
    }
    while (bytes.size() < limit) {
        const size_t had = bytes.size();
        const size_t want = std::min(kChunk, limit - had);
        bytes.resize(had + want);
        const int64_t got = NativeRead(fd, bytes.data() + had, want);
        bytes.resize(had + static_cast<size_t>(got > 0 ? got : 0));
        if (got <= 0) {
            break;
        }
    }
    NativeClose(fd);
    return bytes;
}

int32_t NativeThreadId() { return static_cast<int32_t>(DirectSyscall(kSysGetTid, 0, 0, 0, 0)); }

int64_t NativeMonotonicMs()
{
    struct {
        int64_t Seconds;
        int64_t Nanoseconds;
    } now{};
    if (DirectSyscall(kSysClockGetTime, kClockMonotonic, Arg(&now), 0, 0) != 0) {
        return 0;
    }
    return now.Seconds * 1000 + now.Nanoseconds / 1000000;
}

void NativeFutexWait(const uint32_t* word, uint32_t expected)
{
    DirectSyscall(kSysFutex, Arg(word), kFutexWaitPrivate, expected, 0);
}

void NativeFutexWaitFor(const uint32_t* word, uint32_t expected, uint32_t timeoutMs)
{
    struct {
        int64_t Seconds;
        int64_t Nanoseconds;
    } timeout{timeoutMs / 1000, static_cast<int64_t>(timeoutMs % 1000) * 1000000};
    DirectSyscall(kSysFutex, Arg(word), kFutexWaitPrivate, expected, Arg(&timeout));
}

void NativeFutexWake(const uint32_t* word)
{
    DirectSyscall(kSysFutex, Arg(word), kFutexWakePrivate, 0x7FFFFFFF, 0);
}

}  // namespace tavrin::launcher
