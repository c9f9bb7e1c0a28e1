// Checks a game folder as the launcher will find it: the settings, the game
// executable and its system, the language files, the custom splash and
// icon, the CDN override file and, when asked, the modules on the CDN.
#pragma once

#include <string>

#include "check/report.h"

namespace tavrin::check {

struct FolderCheckOptions {
    bool Online = false;  // ask the CDN for a module of every system of the game
    // The settings file in the "Tavrin" folder, as the launcher's
    // "-anticheat_settings=" option names it.
    std::string SettingsFileName = "Settings.json";
};

// folder: the folder that holds the launcher (UTF-8; '/' or '\').
void CheckGameFolder(const std::string& folder, const FolderCheckOptions& options, cReport& report);

}  // namespace tavrin::check
