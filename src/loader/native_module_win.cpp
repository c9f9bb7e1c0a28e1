#include "loader/native_module_win.h"

#include <windows.h>

#include <algorithm>
#include <mutex>

#include "base/files_win.h"
#include "base/strings.h"
#include "loader/elf_view.h"
#include "loader/image_ranges.h"
#include "loader/maps_parser.h"
#include "loader/module_loader_win.h"
#include "loader/wine_callback_queue_win.h"
#include "loader/wine_syscalls_win.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

constexpr size_t kMapsLimit = 5242880;
constexpr int kDlopenLazy = 1;
constexpr uint32_t kPidFileSize = 4;
constexpr DWORD kPidRetryPauseMs = 5;

using NativeFunction3 = uint64_t(__attribute__((sysv_abi)) *)(uint64_t, uint64_t, uint64_t);
using UnixFileNameFunction = char*(CDECL*)(const WCHAR*);

struct NativeLoaderFunctions {
    void* Dlopen = nullptr;
    void* Dlsym = nullptr;
};

std::string FormatString(const char* format, long long value)
{
    char buffer[64];
    snprintf(buffer, sizeof(buffer), format, value);
    return buffer;
}

std::string ReadOwnMaps()
{
    const int pid = NativeGetPid();
    if (pid <= 0) {
        return {};
    }
    const std::vector<uint8_t> maps = ReadNativeFile(FormatString("/proc/%lld/maps", pid), kMapsLimit);
    return std::string(maps.begin(), maps.end());
}

NativeLoaderFunctions LookUpLoaderFunctions()
{
    NativeLoaderFunctions functions;
    ElfImage libc;
    if (!FindLibcInMaps(ReadOwnMaps(), libc)) {
        return functions;
    }
    uint64_t dlopen = FindElfSymbol(libc, "__libc_dlopen_mode");
    if (!dlopen) {
        dlopen = FindElfSymbol(libc, "dlopen");
    }
    uint64_t dlsym = FindElfSymbol(libc, "__libc_dlsym");
    if (!dlsym) {
        dlsym = FindElfSymbol(libc, "dlsym");
    }
    functions.Dlopen = reinterpret_cast<void*>(dlopen);
    functions.Dlsym = reinterpret_cast<void*>(dlsym);
    return functions;
}

// Found once and kept; a failed look-up (no helper page yet, say) is tried
// again on the next use rather than remembered.
NativeLoaderFunctions LoaderFunctions()
{
    static std::mutex lock;
    static NativeLoaderFunctions found;
    std::lock_guard<std::mutex> guard(lock);
    if (!found.Dlopen || !found.Dlsym) {
        found = LookUpLoaderFunctions();
    }
    return found;
}

UnixFileNameFunction UnixFileName()
{
    static const UnixFileNameFunction function = [] {
        HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
        if (!kernel32) {
            return UnixFileNameFunction{nullptr};
        }
        return reinterpret_cast<UnixFileNameFunction>(
            reinterpret_cast<void*>(GetProcAddress(kernel32, "wine_get_unix_file_name")));
    }();
    return function;
}

// The process-id file lies in a folder every user can write to: only a
// regular file of exactly four bytes that belongs to this user and has no
// other name counts (another user may link to a file of ours).
bool ReadPidFile(const std::string& path, uint32_t& windowsPid)
{
    const int fd = NativeOpen(path.c_str(), kNativeOpenReadOnly | kNativeOpenNoFollow |
                                                kNativeOpenNonBlocking | kNativeOpenCloseOnExec);
    if (fd < 0) {
        return false;
    }
    NativeFileStatus status;
    uint8_t bytes[kPidFileSize];
    const bool ok = NativeFstat(fd, status) && NativeIsRegularFile(status) && status.Links == 1 &&
                    status.Size == kPidFileSize && static_cast<int>(status.Owner) == NativeGetUid() &&
                    NativeRead(fd, bytes, kPidFileSize) == kPidFileSize;
    NativeClose(fd);
    if (!ok) {
        return false;
    }
    windowsPid =
        uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
    return true;
}

// A crash report names the module a fault falls in: the system's loader
// does not know this one, so it is listed with the images the launcher maps
// itself, for the rest of the process (it is never closed).
void RegisterNativeImage(const ElfImage& image)
{
    uint64_t end = image.Base;
    for (const MemoryRange& range : image.Readable) {
        end = std::max(end, range.End);
    }
    RegisterImageRange(reinterpret_cast<const void*>(image.Base), static_cast<size_t>(end - image.Base),
                       "anti-cheat module");
}

}  // namespace

void* LoadNativeModule(const std::vector<uint8_t>& bytes, ElfImage* mapped)
{
    if (!ElfFileFitsInBuffer(bytes.data(), bytes.size())) {
        return nullptr;
    }
    void* dlopen = LoaderFunctions().Dlopen;
    if (!dlopen) {
        return nullptr;
    }
    char name[37] = {};
    MakeRandomId(name);
    // Close-on-exec: the game must not inherit the module's file.
    const int fd = NativeMemfdCreate(name, kNativeMemfdCloseOnExec | kNativeMemfdAllowSealing);
    if (fd < 0) {
        return nullptr;
    }
    // Sealed once written: what is opened below is what was checked above.
    if (NativeWrite(fd, bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size()) ||
        !NativeSealFile(fd)) {
        NativeClose(fd);
        return nullptr;
    }
    const std::string path = FormatString("/proc/self/fd/%lld", fd);
    void* handle =
        reinterpret_cast<void*>(CallNative(dlopen, reinterpret_cast<uint64_t>(path.c_str()), kDlopenLazy));
    // A refused module leaves nothing behind; a loaded one keeps its
    // descriptor for the rest of the process.
    if (!handle) {
        NativeClose(fd);
        return nullptr;
    }
    // Where the dynamic loader placed it, read once from the memory map.
    ElfImage image;
    if (FindMemfdImageInMaps(ReadOwnMaps(), name, image)) {
        RegisterNativeImage(image);
    }
    if (mapped) {
        *mapped = std::move(image);
    }
    return handle;
}

void* NativeSymbol(void* handle, const char* name)
{
    void* dlsym = LoaderFunctions().Dlsym;
    if (!dlsym || !handle || !name) {
        return nullptr;
    }
    return reinterpret_cast<void*>(
        CallNative(dlsym, reinterpret_cast<uint64_t>(handle), reinterpret_cast<uint64_t>(name)));
}

void* NativeEntryPoint(void* handle, const ElfImage& mapped, const char* name)
{
    void* address = NativeSymbol(handle, name);
    if (!address || mapped.Readable.empty() ||
        FindElfSymbol(mapped, name) != reinterpret_cast<uintptr_t>(address)) {
        return nullptr;
    }
    return address;
}

uint64_t CallNative(void* function, uint64_t a1, uint64_t a2, uint64_t a3)
{
    if (!function) {
        return 0;
    }
    // A fault on a thread the native code starts ends the process by signal,
    // past every handler: the log must already hold what came before.
    FlushLog();
    // The module may report on this thread while it runs: such reports can
    // run Windows code here, unlike those from the module's own threads.
    cNativeCallScope scope;
    return reinterpret_cast<NativeFunction3>(function)(a1, a2, a3);
}

std::string ToNativePath(const std::string& windowsPath)
{
    UnixFileNameFunction convert = UnixFileName();
    if (!convert || windowsPath.empty()) {
        return {};
    }
    const std::wstring wide = Utf8ToUtf16(windowsPath);
    if (wide == L"U82W_ERROR") {
        return {};
    }
    char* converted = convert(wide.c_str());
    if (!converted) {
        return {};
    }
    std::string path(converted);
    HeapFree(GetProcessHeap(), 0, converted);
    return path;
}

uint32_t GetWindowsPidForNativePid(int32_t nativePid, uint32_t limitMs)
{
    if (nativePid <= 0 || limitMs == 0) {
        return 0;
    }
    const std::string path = FormatString("/tmp/kzv_wine_pid_%llX", nativePid);
    const int64_t start = MonotonicNow();
    const int64_t limitNs = static_cast<int64_t>(limitMs) * 1000000;
    for (;;) {
        uint32_t windowsPid = 0;
        if (ReadPidFile(path, windowsPid)) {
            NativeUnlink(path.c_str());
            return windowsPid;
        }
        if (MonotonicNow() - start > limitNs) {
            return 0;
        }
        Sleep(kPidRetryPauseMs);
    }
}

void* NativeModuleCallbackEntry()
{
    return reinterpret_cast<void*>(StartNativeCallbackDelivery(&cModuleLoader::DeliverModuleCallback));
}

void StopNativeModuleCallbacks() { StopNativeCallbackDelivery(); }

}  // namespace tavrin::launcher
