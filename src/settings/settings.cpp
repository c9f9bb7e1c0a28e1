#include "settings/settings.h"

#include <cstdio>
#include <vector>

#include "base/json_reader.h"
#include "base/strings.h"
#include "localization/localization.h"
#include "logging/logger.h"

namespace tavrin {

namespace {

const char* OrNotAvailable(const std::string& value) { return value.empty() ? "N/A" : value.c_str(); }

const char* BoolText(bool value) { return value ? "true" : "false"; }

// The first required field the record lacks, for the missing-field message.
std::string FirstMissingField(const cSettings& settings)
{
    if (settings.ProductId.empty()) {
        return "productid";
    }
    if (settings.SandboxId.empty()) {
        return "sandboxid";
    }
    if (settings.DeploymentId.empty()) {
        return "deploymentid";
    }
    return settings.Executable.empty() ? "executable" : "N/A";
}

}  // namespace

std::string BuildSettingsPath(const std::string& launcherDirectory, const std::string& fileName)
{
    return launcherDirectory + "Tavrin\\" + fileName;
}

std::string FormatSettingsLoadError(int32_t status)
{
    char text[64];
    std::snprintf(text, sizeof text, "Failed to parse the settings file with: 0x%X.",
                  static_cast<uint32_t>(status));
    return text;
}

bool cSettings::ReadFrom(const JsonReader& reader)
{
    Reset();
    struct Required {
        const char* Key;
        std::string* Field;
    };
    const Required required[] = {
        {"productid", &ProductId},
        {"sandboxid", &SandboxId},
        {"deploymentid", &DeploymentId},
        {"executable", &Executable},
    };
    for (const Required& entry : required) {
        if (!reader.GetString(entry.Key, *entry.Field)) {
            Status = SettingsMissingField;
            return false;
        }
    }
    for (size_t i = 0; i < 3; ++i) {
        if (!IsValidIdentifier(*required[i].Field)) {
            InvalidField = required[i].Key;
            Status = SettingsInvalidIdentifier;
            return false;
        }
    }
    reader.GetString("requested_splash", RequestedSplash);
    reader.GetBool("wait_for_game_process_exit", WaitForGameProcessExit);
    reader.GetString("title", Title);
    reader.GetString("environment", Environment);
    reader.GetBool("hide_gui", HideGui);
    reader.GetBool("hide_bootstrapper", HideBootstrapper);
    reader.GetBool("hide_logo_animation", HideLogoAnimation);
    Status = SettingsLoaded;
    return true;
}

void cSettings::PrintSettings() const
{
    LogPrintf(Info, "Provided settings:");
    LogPrintf(Info, " - ProcessTitle: %s.", OrNotAvailable(Title));
    LogPrintf(Info, " - ExecutablePath: %s.", OrNotAvailable(Executable));
    LogPrintf(Info, " - ProductId: %s.", OrNotAvailable(ProductId));
    LogPrintf(Info, " - SandboxId: %s.", OrNotAvailable(SandboxId));
    LogPrintf(Info, " - DeploymentId: %s.", OrNotAvailable(DeploymentId));
    LogPrintf(Info, " - RequestedSplashScreen: %s.", OrNotAvailable(RequestedSplash));
    LogPrintf(Info, " - WaitForGameProcessExit: %s.", BoolText(WaitForGameProcessExit));
    LogPrintf(Info, " - HideGUI: %s.", BoolText(HideGui));
    LogPrintf(Info, " - HideBootstrapper: %s.", BoolText(HideBootstrapper));
}

std::string cSettings::BuildSettingsErrorText(const std::string& fileName,
                                              const launcher::cLocalization& localization) const
{
    switch (Status) {
    case SettingsInvalidIdentifier:
        return localization.GetText("launcher.error_invalid_qrv_identifier",
                                    "{0} contains an invalid QRV identifier: ({1})",
                                    {fileName, InvalidField});
    case SettingsMissingField:
        return localization.GetText("launcher.error_missing_required_field",
                                    "{0} is missing a required field ({1})",
                                    {fileName, FirstMissingField(*this)});
    case SettingsFileNotRead:
        return localization.GetText("launcher.error_no_settings_file", "{0} not found", {fileName});
    default:
        return {};
    }
}

}  // namespace tavrin
