#include <gtest/gtest.h>

#include <cmath>

#include "core/telemetry_events.h"

using namespace tavrin::launcher;

namespace {

std::vector<std::string> Names(const std::vector<Analytics::EventDescriptor>& events)
{
    std::vector<std::string> names;
    for (const auto& e : events)
        names.push_back(e.Name);
    return names;
}

constexpr int64_t kMs = 1'000'000;

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Key and value of each attribute; every one must be of the integer kind.
Pairs Attributes(const Analytics::EventDescriptor& event)
{
    Pairs pairs;
    for (const EventAttribute& a : event.Attributes) {
        EXPECT_TRUE(a.Raw) << a.Key;
        pairs.emplace_back(a.Key, a.Value);
    }
    return pairs;
}

}  // namespace

TEST(TelemetryEvents, SuccessfulRunReportsAllFourEventsInOrder)
{
    cRunFigures f;
    f.Result = 301;
    f.BytesCompleted = 2'097'152;
    f.BytesTotal = 2'097'152;
    f.DownloadNs = 2000 * kMs;
    f.TotalNs = 5000 * kMs;
    f.WindowWaitNs = 1500 * kMs;
    auto events = BuildLaunchEvents(f);
    ASSERT_EQ(Names(events), (std::vector<std::string>{
                                 "AntiCheat.Info.BootstrapperResult",
                                 "AntiCheat.Info.BootstrapperDownloadPerf",
                                 "AntiCheat.Info.BootstrapperInitPerf",
                                 "AntiCheat.Info.BootstrapperGameWindowVisibilityCheckDuration",
                             }));
    EXPECT_EQ(Attributes(events[0]), (Pairs{{"LaunchResult", "301"}}));
    EXPECT_EQ(Attributes(events[1]), (Pairs{
                                         {"DownloadCancelledByUser", "0"},
                                         {"DownloadBytesCompleted", "2097152"},
                                         {"DownloadBytesTotal", "2097152"},
                                         {"DownloadDurationMs", "2000"},
                                         {"DownloadRateKBPS", "1024"},
                                     }));
    EXPECT_EQ(Attributes(events[2]), (Pairs{
                                         {"TotalDurationMs", "5000"},
                                         {"DownloadDurationMs", "2000"},
                                         {"InitDurationMs", "3000"},
                                     }));
    EXPECT_EQ(Attributes(events[3]), (Pairs{{"WaitDurationMs", "1500"}}));
}

TEST(TelemetryEvents, OptionalEventsFollowTheirConditions)
{
    struct Case {
        const char* Name;
        cRunFigures Figures;
        size_t Count;
    };
    cRunFigures small{301, 1000, 1000, 10 * kMs, 100 * kMs, -1};
    cRunFigures instant{204, 5000, 5000, 0, 100 * kMs, -1};
    cRunFigures failed{204, 5000, 5000, 10 * kMs, 100 * kMs, 20 * kMs};
    const Case cases[] = {
        {"1000-byte download: no download event, no window wait", small, 2},
        {"0 ms download: no download event", instant, 1},
        {"failure: only result and download", failed, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(BuildLaunchEvents(c.Figures).size(), c.Count);
    }
}

TEST(TelemetryEvents, WindowWaitIsCappedAtSixtySeconds)
{
    cRunFigures f{301, 0, 0, 0, 90'000 * kMs, 70'000 * kMs};
    auto events = BuildLaunchEvents(f);
    ASSERT_EQ(events.back().Name, "AntiCheat.Info.BootstrapperGameWindowVisibilityCheckDuration");
    EXPECT_EQ(events.back().Attributes[0].Value, "60000");
}

TEST(TelemetryEvents, CancelledDownloadIsFlagged)
{
    cRunFigures f{101, 4096, 8192, 100 * kMs, 200 * kMs, -1};
    auto events = BuildLaunchEvents(f);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(Attributes(events[1])[0],
              (std::pair<std::string, std::string>{"DownloadCancelledByUser", "1"}));
    EXPECT_TRUE(std::isinf(DownloadRateKBps(cRunFigures{301, 10, 10, 0, 0, -1})));
}
