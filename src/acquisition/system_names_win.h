// System name of a game executable and the host facts behind it.
#pragma once

#include <string>

namespace tavrin::launcher {

// The system name for the game executable (UTF-8 path), or "N/A".
std::string SystemNameForExecutable(const std::string& executablePath);

// Asked once per process; a failed query counts as an x64 host.
bool IsArm64Host();

}  // namespace tavrin::launcher
