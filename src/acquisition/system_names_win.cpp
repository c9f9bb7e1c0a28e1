#include "acquisition/system_names_win.h"

#include <windows.h>

#include <mutex>
#include <vector>

#include "acquisition/system_names.h"
#include "base/files_win.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

// The headers, the section table and, in managed images, the CLR header
// (placed right after the import address table) lie in the first bytes; a
// header further on is treated as absent and the system decides.
constexpr uint64_t kHeaderProbeBytes = 64 * 1024;

uint16_t QueryNativeMachine()
{
    USHORT processMachine = 0;
    USHORT nativeMachine = 0;
    using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto query = kernel == nullptr ? nullptr
                                         : reinterpret_cast<IsWow64Process2Function>(reinterpret_cast<void*>(
                                               GetProcAddress(kernel, "IsWow64Process2")));
    if (query == nullptr || !query(GetCurrentProcess(), &processMachine, &nativeMachine)) {
        const DWORD error = query == nullptr ? ERROR_PROC_NOT_FOUND : GetLastError();
        LogPrintf(Warning, "Failed to confirm underlying system architecture: %u.",
                  static_cast<unsigned>(error));
        return 0;
    }
    return nativeMachine;
}

bool RunsUnderWine()
{
    static std::once_flag once;
    static bool wine = false;
    std::call_once(once, [] { wine = IsWine(); });
    return wine;
}

GameBitness BitnessOfExecutable(const std::string& path)
{
    std::vector<uint8_t> image;
    if (ReadFileBytes(path.c_str(), image, kHeaderProbeBytes) &&
        ClrHeaderMeans64Bit(image.data(), image.size())) {
        return GameBitness::Bits64;
    }
    DWORD binaryType = 0;
    if (!GetBinaryTypeW(Utf8ToUtf16(path).c_str(), &binaryType)) {
        return GameBitness::Unknown;
    }
    return BitnessFromBinaryType(binaryType);
}

}  // namespace

uint16_t NativeMachine()
{
    static std::once_flag once;
    static uint16_t machine = 0;
    std::call_once(once, [] { machine = QueryNativeMachine(); });
    return machine;
}

bool IsArm64Host() { return NativeMachine() == IMAGE_FILE_MACHINE_ARM64; }

std::string SystemNameForExecutable(const std::string& executablePath)
{
    const bool wine = RunsUnderWine();
    return SystemNameForExecutable(executablePath, wine, !wine && IsArm64Host());
}

std::string SystemNameForExecutable(const std::string& executablePath, bool wine, bool arm64)
{
    const GameBitness bitness = BitnessOfExecutable(executablePath);
    if (bitness == GameBitness::Unknown) {
        return kNoSystemName;
    }
    return SystemNameFor(bitness, wine, !wine && arm64);
}

}  // namespace tavrin::launcher
