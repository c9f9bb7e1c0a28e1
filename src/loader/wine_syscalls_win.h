// Raw Linux system calls from Windows code under Wine, through the stub on
// the helper page. Without the page each call yields its failure value
// (-1, or an empty result) and nothing is executed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::launcher {

inline constexpr int kNativeOpenReadOnly = 0;
inline constexpr int kNativeOpenWriteOnly = 1;
inline constexpr int kNativeOpenCreate = 0100;
inline constexpr int kNativeOpenTruncate = 01000;
inline constexpr int kNativeOpenNoFollow = 0400000;
inline constexpr int kNativeOpenNonBlocking = 04000;
inline constexpr int kNativeOpenCloseOnExec = 02000000;
inline constexpr unsigned kNativeMemfdCloseOnExec = 1;
inline constexpr unsigned kNativeMemfdAllowSealing = 2;

// The fields of the native struct stat the launcher looks at.
struct NativeFileStatus {
    uint64_t Links = 0;
    uint32_t Mode = 0;
    uint32_t Owner = 0;
    int64_t Size = 0;
};

int64_t NativeRead(int fd, void* buffer, uint64_t size);
int64_t NativeWrite(int fd, const void* buffer, uint64_t size);
int NativeOpen(const char* path, int flags, unsigned mode = 0600);
int NativeClose(int fd);
int NativeGetPid();
int NativeGetUid();
int NativeUnlink(const char* path);
int NativeMemfdCreate(const char* name, unsigned flags);
bool NativeFstat(int fd, NativeFileStatus& status);
// Seals an in-memory file against any further change of its bytes or size.
bool NativeSealFile(int fd);
bool NativeIsRegularFile(const NativeFileStatus& status);

// Up to limit bytes of a native file, read in 4096-byte chunks; empty on failure.
std::vector<uint8_t> ReadNativeFile(const std::string& path, size_t limit);

// The kernel's id of the calling thread (gettid), on any thread and without
// the helper page: it runs its own system call instruction and touches
// nothing else. Wine's thread ids are not kernel ids, and a thread the
// module started answers GetCurrentThreadId() with its creator's id.
int32_t NativeThreadId();
// Milliseconds of the kernel's monotonic clock, on any thread.
int64_t NativeMonotonicMs();

// Futex wait and wake on a 32-bit word, callable from native threads too.
void NativeFutexWait(const uint32_t* word, uint32_t expected);
// The same wait, ending after at most timeoutMs.
void NativeFutexWaitFor(const uint32_t* word, uint32_t expected, uint32_t timeoutMs);
void NativeFutexWake(const uint32_t* word);

}  // namespace tavrin::launcher
