// The events a run reports at its end, built from the run's figures.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/launch_result.h"
#include "telemetry/analytics.h"

namespace tavrin::launcher {

struct cRunFigures {
    KZV_ProtectedGameLaunchResult Result = 0;
    uint32_t BytesCompleted = 0;
    uint32_t BytesTotal = 0;
    int64_t DownloadNs = 0;     // download end - download start
    int64_t TotalNs = 0;        // now - run start
    int64_t WindowWaitNs = -1;  // window visible - poll start; negative: not set
};

int32_t DownloadMilliseconds(const cRunFigures& figures);
// Kilobytes per second in single precision; infinite for a 0 ms download.
float DownloadRateKBps(const cRunFigures& figures);
// Every attribute is of the integer kind, its value decimal text.
std::vector<Analytics::EventDescriptor> BuildLaunchEvents(const cRunFigures& figures);

}  // namespace tavrin::launcher
