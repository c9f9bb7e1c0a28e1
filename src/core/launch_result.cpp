#include "core/launch_result.h"

namespace tavrin::launcher {

const MessageText& LaunchResultTitleText(KZV_ProtectedGameLaunchResult result)
{
    switch (result) {
    case kLaunchCancelled:
        return kMsgErrorCancel;
    case kLaunchNetworkError:
    case kLaunchModuleUnavailable:
        return kMsgNetworkError;
    case kLaunchInstallError:
        return kMsgErrorInstall;
    case kLaunchSuccess:
        return kMsgSuccessWaitingForGame;
    default:
        return kMsgErrorLaunch;
    }
}

bool NeedsGameExitCode(KZV_ProtectedGameLaunchResult result, bool waitForGame)
{
    return (result == kLaunchNoResult || result == kLaunchSuccess) && waitForGame;
}

int32_t ExitCodeForResult(KZV_ProtectedGameLaunchResult result)
{
    return (result == kLaunchNoResult || result == kLaunchSuccess) ? 0 : result;
}

uint32_t ProgressPercent(uint32_t completed, uint32_t total)
{
    if (total == 0)
        return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(completed) * 100 / total);
}

}  // namespace tavrin::launcher
