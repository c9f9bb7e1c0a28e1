// System name of a game executable and the host facts behind it.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin::launcher {

// The system name for the game executable (UTF-8 path), or "N/A".
std::string SystemNameForExecutable(const std::string& executablePath);
// The same for the host facts given.
std::string SystemNameForExecutable(const std::string& executablePath, bool wine, bool arm64);

// The machine's own processor (an IMAGE_FILE_MACHINE value), asked once per
// process; 0 when the query fails, which is logged once.
uint16_t NativeMachine();

// A failed query counts as an x64 host.
bool IsArm64Host();

}  // namespace tavrin::launcher
