#include "acquisition/system_names_win.h"

#include <windows.h>

#include <mutex>
#include <vector>

#include "acquisition/system_names.h"
#include "base/files_win.h"
#include "base/host_facts.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

// The headers, the section table and, in managed images, the CLR header
// (placed right after the import address table) lie in the first bytes; a
// header further on is treated as absent and the system decides.
constexpr uint64_t kHeaderProbeBytes = 64 * 1024;

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
    const NativeMachineAnswer& answer = QueryNativeMachine();
    std::call_once(once, [&answer] {
        if (answer.Machine == 0) {
            LogPrintf(Warning, "Failed to confirm underlying system architecture: %u.",
                      static_cast<unsigned>(answer.Error));
        }
    });
    return answer.Machine;
}

bool IsArm64Host() { return NativeMachine() == IMAGE_FILE_MACHINE_ARM64; }

std::string SystemNameForExecutable(const std::string& executablePath)
{
    const bool wine = DetectHostFacts().Wine;
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
