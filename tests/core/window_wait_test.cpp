// The timing of the wait for the game's window and the figures a run reports.
#include <gtest/gtest.h>

#include "core/foreign_windows.h"
#include "core/run_record.h"
#include "core/window_wait.h"

namespace tavrin::launcher {
namespace {

constexpr int64_t kMs = 1'000'000;

TEST(WindowWait, NotBegunNotEndedAndTheDeferLimitIsExclusive)
{
    cWindowWait wait(300 * kMs);
    EXPECT_FALSE(wait.Begun());
    EXPECT_EQ(wait.EndTime(), 0);
    EXPECT_EQ(wait.WaitNs(), -1);
    wait.Begin(1000 * kMs);
    EXPECT_TRUE(wait.Begun());
    EXPECT_FALSE(wait.DeferCrossed(1300 * kMs));
    EXPECT_TRUE(wait.DeferCrossed(1300 * kMs + 1));
    EXPECT_EQ(wait.WaitNs(), -1);
    wait.End(1250 * kMs);
    EXPECT_EQ(wait.EndTime(), 1250 * kMs);
    EXPECT_EQ(wait.WaitNs(), 250 * kMs);
}

TEST(WindowWait, WindowsAreSearchedAtMostOncePerPeriod)
{
    cWindowWait wait;
    const struct {
        int64_t Now;
        bool Due;
    } polls[] = {
        {5 * kMs, true},     // the first search is always due
        {5 * kMs, false},    // same frame
        {104 * kMs, false},  // a millisecond short of the period
        {105 * kMs, true},   // a period after the last search
        {150 * kMs, false},  // measured from the last search, not the first
        {205 * kMs, true},
    };
    for (const auto& poll : polls) {
        SCOPED_TRACE(poll.Now);
        EXPECT_EQ(wait.SearchDue(poll.Now), poll.Due);
    }
}

// A window is skipped only when the last search met it as another process's;
// one that search did not meet (destroyed, its handle free to be given to the
// game) is asked about again.
TEST(ForeignWindows, OnlyWindowsOfTheLastSearchAreSkipped)
{
    cForeignWindows foreign;
    foreign.BeginSearch();
    EXPECT_FALSE(foreign.Known(0x10));
    foreign.Remember(0x10);
    foreign.Remember(0x20);

    foreign.BeginSearch();  // meets 0x10 only
    EXPECT_TRUE(foreign.Known(0x10));
    EXPECT_FALSE(foreign.Known(0x30));  // never seen

    foreign.BeginSearch();
    EXPECT_TRUE(foreign.Known(0x10));   // carried on by being met
    EXPECT_FALSE(foreign.Known(0x20));  // not met in the search before
}

TEST(RunRecord, FiguresComeFromTheReportsAndTheRecordedMoments)
{
    cLaunchReports reports;
    reports.RecordProgress(2048, 4096, 50 * kMs);
    reports.RecordProgress(4096, 4096, 700 * kMs);  // the download ends
    reports.RecordResult(kLaunchSuccess, "", 900 * kMs);
    cRunRecord record;
    record.RunStarted(10 * kMs);
    record.DownloadStarted(100 * kMs);

    const cRunFigures figures = record.Figures(reports, 40 * kMs, 2010 * kMs);
    EXPECT_EQ(figures.Result, kLaunchSuccess);
    EXPECT_EQ(figures.BytesCompleted, 4096u);
    EXPECT_EQ(figures.BytesTotal, 4096u);
    EXPECT_EQ(figures.DownloadNs, 600 * kMs);
    EXPECT_EQ(figures.TotalNs, 2000 * kMs);
    EXPECT_EQ(figures.WindowWaitNs, 40 * kMs);
    EXPECT_EQ(record.Figures(reports, -1, 2010 * kMs).WindowWaitNs, -1);
}

}  // namespace
}  // namespace tavrin::launcher
