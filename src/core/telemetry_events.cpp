#include "core/telemetry_events.h"

#include <algorithm>

namespace tavrin::launcher {

namespace {

constexpr int64_t kMaxWindowWaitMs = 60000;

EventAttribute Integer(const char* key, int64_t value)
{
    EventAttribute attribute(key, std::to_string(value));
    attribute.Raw = true;
    return attribute;
}

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

std::vector<Analytics::EventDescriptor> BuildLaunchEvents(const cRunFigures& figures)
{
    std::vector<Analytics::EventDescriptor> events;
    events.push_back({"AntiCheat.Info.BootstrapperResult", {Integer("LaunchResult", figures.Result)}});

    int32_t downloadMs = DownloadMilliseconds(figures);
    if (downloadMs > 0 && figures.BytesCompleted > 1024) {
        float rate = DownloadRateKBps(figures);
        events.push_back(
            {"AntiCheat.Info.BootstrapperDownloadPerf",
             {Integer("DownloadCancelledByUser", figures.Result == kLaunchCancelled ? 1 : 0),
              Integer("DownloadBytesCompleted", figures.BytesCompleted),
              Integer("DownloadBytesTotal", figures.BytesTotal), Integer("DownloadDurationMs", downloadMs),
              Integer("DownloadRateKBPS", static_cast<int64_t>(rate))}});
    }
    if (figures.Result == kLaunchSuccess) {
        int64_t totalMs = figures.TotalNs / 1'000'000;
        events.push_back({"AntiCheat.Info.BootstrapperInitPerf",
                          {Integer("TotalDurationMs", totalMs), Integer("DownloadDurationMs", downloadMs),
                           Integer("InitDurationMs", totalMs - downloadMs)}});
        if (figures.WindowWaitNs >= 0) {
            int64_t waitMs = figures.WindowWaitNs / 1'000'000;
            events.push_back({"AntiCheat.Info.BootstrapperGameWindowVisibilityCheckDuration",
                              {Integer("WaitDurationMs", std::min(waitMs, kMaxWindowWaitMs))}});
        }
    }
    return events;
}

}  // namespace tavrin::launcher
