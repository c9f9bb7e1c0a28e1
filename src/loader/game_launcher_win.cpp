#include "loader/game_launcher_win.h"

#include <utility>

#include "acquisition/system_names.h"
#include "acquisition/system_names_win.h"
#include "base/files_win.h"
#include "localization/messages.h"
#include "logging/logger.h"
#include "settings/settings.h"

namespace tavrin::launcher {

cGameLauncher::cGameLauncher(const tavrin::cSettings* settings, std::vector<std::string> arguments,
                             bool gameDev, const cHostFacts& hostFacts, cLoaderOptions loaderOptions)
    : Settings(settings), GameDev(gameDev),
      ModuleLoader(std::move(arguments), hostFacts, std::move(loaderOptions))
{
}

cGameLauncher::~cGameLauncher()
{
    // A module thread waiting to create the game must not hold up the join.
    GameStartGate.Refuse();
    GameProcessHandle.Close();
    ModuleLoader.Shutdown();
    // Members go in reverse order: table, strings, callbacks, then the loader.
}

void cGameLauncher::LoadLocalization(const std::string& directory, const char* language, const char* country)
{
    std::string localeName;
    std::wstring error;
    if (!Localization.LoadFromDirectory(Utf8ToUtf16(directory), language ? language : "",
                                        country ? country : "", localeName, error)) {
        LogPrintf(Error, "Failed to load localization: %s.", Utf16ToUtf8(error).c_str());
    }
    ModuleLoader.LoadLocalization(directory, language, country);
}

void cGameLauncher::StartModuleDownload(const char* executable, const std::vector<std::string>& arguments,
                                        const char* workingDirectory, ProgressCallback progress,
                                        ResultCallback finish)
{
    if (!progress || !finish) {
        return;
    }
    Progress = std::move(progress);
    FinishCallback = std::move(finish);

    if (!executable || executable[0] == '\0') {
        Finish(kLaunchInvalidExecutable, Text(kMsgMissingBinaryPath));
        return;
    }
    if (!workingDirectory || workingDirectory[0] == '\0') {
        Finish(kLaunchInvalidExecutable, Text(kMsgMissingDirectoryPath));
        return;
    }
    WorkingDirectory = workingDirectory;
    // The launcher's directory carries its trailing separator.
    GamePath = WorkingDirectory + executable;
    Arguments = arguments;

    if (!PathExists(GamePath.c_str())) {
        Finish(kLaunchInvalidGameOrSettings, InvalidExecutableText());
        return;
    }
    const cHostFacts& host = ModuleLoader.HostFacts();
    const std::string systemName = SystemNameForExecutable(GamePath, host.Wine, host.Arm64);
    if (systemName == kNoSystemName) {
        Finish(kLaunchInvalidExecutable, InvalidExecutableText());
        return;
    }
    LogPrintf(Info, "System name: '%s'.", systemName.c_str());

    static const std::string kNone;
    const std::string& productId = Settings ? Settings->ProductId : kNone;
    const std::string& sandboxId = Settings ? Settings->SandboxId : kNone;
    const std::string& deploymentId = Settings ? Settings->DeploymentId : kNone;
    // Failures have already gone through the router.
    ModuleLoader.Initialize(
        Progress,
        [this](KZV_ProtectedGameLaunchResult code, const char* message) { OnLoaderResult(code, message); },
        GamePath, WorkingDirectory, systemName, productId, sandboxId, deploymentId, GameDev);
}

void cGameLauncher::OnLoaderResult(KZV_ProtectedGameLaunchResult code, const char* message)
{
    switch (code) {
    case kLoaderBadGamePath:
        Finish(kLaunchInvalidGameOrSettings, message);
        return;
    case kLoaderCreationFailed:
        Finish(kLaunchCreationFailed, message);
        return;
    case kLoaderInstallError:
        Finish(kLaunchInstallError, message);
        return;
    case kLoaderOverrideDownloadFailed:
        Finish(kLaunchOverrideDownloadFailed, message);
        return;
    case kLoaderCdnUnreachable:
        Finish(kLaunchNetworkError, message);
        return;
    case kLoaderUnexpectedAnswer:
        Finish(kLaunchModuleUnavailable, message);
        return;
    case kLoaderNoModuleForSystem:
        LogPrintf(Error, "Could not find a compatible Tavrin module on CDN.");
        Finish(kLaunchModuleUnavailable,
               Text(ModuleLoader.HostFacts().Arm64 ? kMsgArm64NotSupportedForGame : kMsgModuleNotFound));
        return;
    case kLoaderModuleRejected:
        Finish(kLaunchModuleRejected, message);
        return;
    case kLoaderCreateGameProcess:
        CreateGameProcess();
        return;
    case kLoaderOtherFailure:
        Finish(kLaunchOtherFailure, message);
        return;
    case kLoaderLaunchConfirmed:
        OnLaunchConfirmed();
        [[fallthrough]];
    case kLoaderLaunchSucceeded:
        Finish(kLaunchSuccess, Text(kMsgSuccessLoaded));
        return;
    default:
        Finish(kLaunchNoResult, message);
        return;
    }
}

void cGameLauncher::OnLaunchConfirmed()
{
    ModuleLoader.SetLaunchSucceeded();
    uint32_t expected = 0;
    GameProcessId.compare_exchange_strong(expected, ModuleLoader.GetGameProcessId());
    if (GameProcessHandle.Empty()) {
        GameProcessHandle.AdoptIfEmpty(ModuleLoader.OpenGameProcessHandle());
    }
}

bool cGameLauncher::CreateGameProcess()
{
    if (!GameStartGate.Pass()) {
        LogPrintf(Warning, "The game is not started: the launcher is closing.");
        return false;
    }
    if (!ModuleLoader.CreateGameProcess(GamePath, Arguments, WorkingDirectory)) {
        return false;
    }
    GameProcessId.store(ModuleLoader.GetGameProcessId());
    GameProcessHandle.Replace(ModuleLoader.OpenGameProcessHandle());
    return true;
}

cProcessHandle cGameLauncher::DuplicateGameProcessHandle() const { return GameProcessHandle.Duplicate(); }

std::string cGameLauncher::Text(const MessageText& message, const std::vector<std::string>& args) const
{
    return Localization.GetText(message.Key, message.Text, args);
}

std::string cGameLauncher::InvalidExecutableText() const
{
    return Text(kMsgInvalidExecutablePath) + " " + GamePath + ".";
}

void cGameLauncher::Finish(KZV_ProtectedGameLaunchResult code, const char* message)
{
    if (FinishCallback) {
        FinishCallback(code, message);
    }
}

void cGameLauncher::Finish(KZV_ProtectedGameLaunchResult code, const std::string& message)
{
    Finish(code, message.c_str());
}

}  // namespace tavrin::launcher
