// Hands the run's identity and events to the analytics uploader.
#include "core/launcher_win.h"

namespace tavrin::launcher {

void PublishTelemetryIdentity(const std::string&, const std::string&, const std::string&)
{
}

void AntiCheatLauncher::UploadEvents(const std::vector<cLaunchEvent>&)
{
}

}  // namespace tavrin::launcher
