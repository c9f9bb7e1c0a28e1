// The moments of a run its telemetry report measures, and the figures the
// report is built from.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/launch_reports.h"
#include "core/telemetry_events.h"

namespace tavrin::launcher {

class cRunRecord {
public:
    void RunStarted(int64_t nowNs) { RunStart = nowNs; }
    // Any thread.
    void DownloadStarted(int64_t nowNs) { DownloadStart.store(nowNs); }

    // The result and the download from reports, the run up to nowNs, and
    // windowWaitNs (negative: the game's window was not seen).
    cRunFigures Figures(const cLaunchReports& reports, int64_t windowWaitNs, int64_t nowNs) const;

private:
    int64_t RunStart = kTimeNotSet;
    std::atomic<int64_t> DownloadStart{kTimeNotSet};
};

}  // namespace tavrin::launcher
