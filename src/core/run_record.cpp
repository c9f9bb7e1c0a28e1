#include "core/run_record.h"

namespace tavrin::launcher {

cRunFigures cRunRecord::Figures(const cLaunchReports& reports, int64_t windowWaitNs, int64_t nowNs) const
{
    cRunFigures figures;
    figures.Result = reports.Result();
    figures.BytesCompleted = reports.BytesCompleted();
    figures.BytesTotal = reports.BytesTotal();
    figures.DownloadNs = reports.DownloadEnd() - DownloadStart.load();
    figures.TotalNs = nowNs - RunStart;
    figures.WindowWaitNs = windowWaitNs;
    return figures;
}

}  // namespace tavrin::launcher
