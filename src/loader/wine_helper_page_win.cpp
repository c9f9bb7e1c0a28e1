#include "loader/wine_helper_page_win.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace tavrin::launcher {

namespace {

constexpr uintptr_t kFirstAddress = 0x700100000000;
constexpr uintptr_t kAddressStep = 0x100000000;
constexpr uintptr_t kLowestAcceptable = 0x700000000000;
constexpr int kAttempts = 10;
constexpr SIZE_T kPageSize = 4096;

// syscall(number, a1, a2, a3) with the Windows x64 convention in, the Linux
// one out; rdi and rsi are preserved for the Windows caller.
constexpr uint8_t kSyscallStub[21] = {
    0x57,              // push rdi
    0x56,              // push rsi
    0x48, 0x89, 0xC8,  // mov rax, rcx
    0x48, 0x89, 0xD7,  // mov rdi, rdx
    0x4C, 0x89, 0xC6,  // mov rsi, r8
    0x4C, 0x89, 0xCA,  // mov rdx, r9
    0x0F, 0x05,        // syscall
    0x5E,              // pop rsi
    0x5F,              // pop rdi
    0xC3,              // ret
    0xCC, 0xCC,        // int3 padding
};

std::atomic<void*> gHelperPage{nullptr};

}  // namespace

bool PlaceWineHelperPage()
{
    if (void* placed = gHelperPage.load()) {
        return reinterpret_cast<uintptr_t>(placed) >= kLowestAcceptable;
    }
    for (int i = 0; i < kAttempts; ++i) {
        void* wanted = reinterpret_cast<void*>(kFirstAddress + static_cast<uintptr_t>(i) * kAddressStep);
        void* page = VirtualAlloc(wanted, kPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (!page) {
            continue;
        }
        if (reinterpret_cast<uintptr_t>(page) < kLowestAcceptable) {
            VirtualFree(page, 0, MEM_RELEASE);
            return false;
        }
        std::memcpy(page, kSyscallStub, sizeof(kSyscallStub));
        // Never writable and executable at once.
        DWORD previous = 0;
        if (!VirtualProtect(page, kPageSize, PAGE_EXECUTE_READ, &previous)) {
            VirtualFree(page, 0, MEM_RELEASE);
            return false;
        }
        FlushInstructionCache(GetCurrentProcess(), page, kPageSize);
        gHelperPage.store(page);
        return true;
    }
    return false;
}

void* WineHelperPage() { return gHelperPage.load(); }

void ReleaseWineHelperPage()
{
    void* page = gHelperPage.exchange(nullptr);
    if (page)
        VirtualFree(page, 0, MEM_RELEASE);
}

}  // namespace tavrin::launcher
