#include "core/telemetry_events.h"

#include <algorithm>

namespace tavrin::launcher {

namespace {

constexpr int64_t kMaxWindowWaitMs = 60000;

}  // namespace

int32_t DownloadMilliseconds(const cRunFigures& figures)
{
    return static_cast<int32_t>(figures.DownloadNs / 1'000'000);
}

float DownloadRateKBps(const cRunFigures& figures)
{
    float seconds = static_cast<float>(DownloadMilliseconds(figures)) / 1000.0f;
    return static_cast<float>(figures.BytesCompleted) * (1.0f / 1024.0f) / seconds;
}

std::vector<cLaunchEvent> BuildLaunchEvents(const cRunFigures& figures)
{
    std::vector<cLaunchEvent> events;
    events.push_back({"AntiCheat.Info.BootstrapperResult",
                      {{"LaunchResult", std::to_string(figures.Result)}}});

    int32_t downloadMs = DownloadMilliseconds(figures);
    if (downloadMs > 0 && figures.BytesCompleted > 1024) {
        float rate = DownloadRateKBps(figures);
        events.push_back({"AntiCheat.Info.BootstrapperDownloadPerf",
                          {{"DownloadCancelledByUser", figures.Result == kLaunchCancelled ? "1" : "0"},
                           {"DownloadBytesCompleted", std::to_string(figures.BytesCompleted)},
                           {"DownloadBytesTotal", std::to_string(figures.BytesTotal)},
                           {"DownloadDurationMs", std::to_string(downloadMs)},
                           {"DownloadRateKBPS", std::to_string(static_cast<int64_t>(rate))}}});
    }
    if (figures.Result == kLaunchSuccess) {
        int64_t totalMs = figures.TotalNs / 1'000'000;
        events.push_back({"AntiCheat.Info.BootstrapperInitPerf",
                          {{"TotalDurationMs", std::to_string(totalMs)},
                           {"DownloadDurationMs", std::to_string(downloadMs)},
                           {"InitDurationMs", std::to_string(totalMs - downloadMs)}}});
        if (figures.WindowWaitNs >= 0) {
            int64_t waitMs = figures.WindowWaitNs / 1'000'000;
            events.push_back({"AntiCheat.Info.BootstrapperGameWindowVisibilityCheckDuration",
                              {{"WaitDurationMs", std::to_string(std::min(waitMs, kMaxWindowWaitMs))}}});
        }
    }
    return events;
}

}  // namespace tavrin::launcher
