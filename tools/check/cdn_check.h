// The CDN side of a game folder: the override file beside the game, the
// systems a game binary needs modules for, and the URL of each module.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "acquisition/system_names.h"
#include "check/report.h"

namespace tavrin::check {

// Reports the override file's effect; returns the URL template the launcher
// will use (the override, or the configured CDN of the environment). Empty
// when the launcher will refuse the override.
std::string CheckCdnOverride(std::string_view fileText, bool gameDev, const std::string& fileName,
                             cReport& report);

// The system names a game of this bitness is launched under: x64 Windows,
// Windows on ARM64 and Wine.
std::vector<std::string> SystemsForGame(launcher::GameBitness bitness);

// The bitness that a system name stands for (Unknown for "N/A").
launcher::GameBitness BitnessOfSystem(const std::string& systemName);

}  // namespace tavrin::check
