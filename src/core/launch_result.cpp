#include "core/launch_result.h"

namespace tavrin::launcher {

cLocalizedText LaunchResultTitleText(KZV_ProtectedGameLaunchResult result)
{
    switch (result) {
    case ResultCancelled:
        return {"launcher.error_cancel", "Launch Canceled"};
    case ResultNetworkError:
    case ResultNoModule:
        return {"launcher.network_error", "Network error"};
    case ResultInstallError:
        return {"launcher.error_install", "Install Error"};
    case ResultSuccess:
        return {"launcher.success_waiting_for_game", "WAITING FOR GAME"};
    default:
        return {"launcher.error_launch", "Launch Error"};
    }
}

bool NeedsGameExitCode(KZV_ProtectedGameLaunchResult result, bool waitForGame)
{
    return (result == ResultNone || result == ResultSuccess) && waitForGame;
}

int32_t ExitCodeForResult(KZV_ProtectedGameLaunchResult result)
{
    return (result == ResultNone || result == ResultSuccess) ? 0 : result;
}

uint32_t ProgressPercent(uint32_t completed, uint32_t total)
{
    if (total == 0)
        return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(completed) * 100 / total);
}

}  // namespace tavrin::launcher
