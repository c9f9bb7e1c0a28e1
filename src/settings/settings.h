// The game's settings record: read once from "Settings.json", validated,
// printed to the log and turned into a screen message when invalid.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin::launcher {
class cLocalization;
}

namespace tavrin {

class JsonReader;

enum SettingsStatus : int32_t {
    SettingsLoaded = 0,
    SettingsNotLoaded = -1,
    SettingsFileNotRead = -2,
    SettingsMissingField = -4,
    SettingsInvalidIdentifier = -5,
};

inline constexpr const char* kDefaultSettingsFileName = "Settings.json";

struct cSettings {
    int32_t Status = SettingsNotLoaded;
    std::string InvalidField;
    std::string Title;
    std::string Executable;
    std::string ProductId;
    std::string SandboxId;
    std::string DeploymentId;
    std::string RequestedSplash;
    std::string Environment;
    bool WaitForGameProcessExit = false;
    bool HideGui = false;
    bool HideBootstrapper = false;
    bool HideLogoAnimation = false;

    void Reset() { *this = cSettings(); }

    // Resets, loads the file (UTF-8 path) and fills the record; the status
    // says what went wrong.
    bool ReadSettingsFile(const std::string& path);

    // Steps after the file is scanned: required keys, identifiers, options.
    bool ReadFrom(const JsonReader& reader);

    // Only "gamedev", exactly, selects the development CDN.
    bool IsDevelopmentEnvironment() const { return Environment == "gamedev"; }

    // Logs the record at Info; empty values print as "N/A".
    void PrintSettings() const;

    // The localized screen text for the status; empty when it has none.
    std::string BuildSettingsErrorText(const std::string& fileName,
                                       const launcher::cLocalization& localization) const;
};

// launcherDirectory (with its trailing separator) + "Tavrin\" + fileName.
std::string BuildSettingsPath(const std::string& launcherDirectory, const std::string& fileName);

// "Failed to parse the settings file with: 0x%X." for the status.
std::string FormatSettingsLoadError(int32_t status);

}  // namespace tavrin
