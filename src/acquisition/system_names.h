// System names (operating system, host processor, game bitness) and the
// module file name that each one maps to in the cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrin::launcher {

// Result when no system can be chosen; not a system name.
inline constexpr char kNoSystemName[] = "N/A";

// "tavrin_" + suffix + ".kzv".
std::string ModuleFileNameForSystem(const std::string& systemName);

enum class GameBitness { Unknown, Bits32, Bits64 };

// Wine takes precedence over the processor.
std::string SystemNameFor(GameBitness bitness, bool wine, bool arm64Host);

// Executable types as the operating system reports them.
inline constexpr uint32_t kBinaryType32BitWindows = 0;
inline constexpr uint32_t kBinaryType64BitWindows = 6;
GameBitness BitnessFromBinaryType(uint32_t binaryType);

// Looks for a CLR runtime header in a PE32+ image and reads its flags.
// False when the image is not PE32+, has no such header, or any offset
// falls outside the bytes.
bool FindClrHeaderFlags(const uint8_t* image, size_t size, uint32_t& flags);

// A managed image that does not require 32 bits runs as a 64-bit process.
bool ClrHeaderMeans64Bit(const uint8_t* image, size_t size);

}  // namespace tavrin::launcher
