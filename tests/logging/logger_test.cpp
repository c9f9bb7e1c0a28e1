#include "logging/logger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace tavrin {
namespace {

struct Line {
    uint32_t Level;
    std::string Text;
};

// The sink is a plain function, so what it receives lands in one shared record.
std::mutex gCapturedLock;
std::vector<Line> gCaptured;

void CaptureSink(uint32_t level, const char* line)
{
    std::lock_guard<std::mutex> guard(gCapturedLock);
    gCaptured.push_back({level, line});
}

std::vector<Line> TakeCaptured()
{
    std::lock_guard<std::mutex> guard(gCapturedLock);
    std::vector<Line> lines;
    lines.swap(gCaptured);
    return lines;
}

const std::regex
    kPrefix(R"(^\[(\d\d):(\d\d):(\d\d):(\d\d\d)\] \[Windows\] \[KZV Bootstrapper\] \[([^\]]+)\] )");

std::string StripPrefix(const std::string& line)
{
    return std::regex_replace(line, kPrefix, "", std::regex_constants::format_first_only);
}

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TakeCaptured();
        ASSERT_TRUE(Logger.Worker.Start());
    }
    void TearDown() override { gLogger = nullptr; }

    // Waits until every line so far has passed the sink, as the exit path does.
    std::vector<Line> DrainLines()
    {
        Logger.Worker.Drain();
        return TakeCaptured();
    }

    cLogger Logger;
};

TEST_F(LoggerTest, NothingIsQueuedBeforeTheSinkIsInstalled)
{
    Logger.Printf(Error, "", "lost %d", 1);
    EXPECT_EQ(Logger.Worker.PostedCount(), 0u);
    Logger.InstallSink(CaptureSink, Info);
    EXPECT_TRUE(DrainLines().empty());
}

TEST_F(LoggerTest, LineHasUtcTimeFixedTagsAndLabel)
{
    Logger.InstallSink(CaptureSink, Info);
    // The logger reads the precise clock; std::time() may read a coarse one that lags it by a tick,
    // which across a second boundary names the previous second.
    const std::time_t before = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    Logger.Printf(Info, "", "No update needed.");
    const std::time_t after = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    const std::vector<Line> lines = DrainLines();

    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Level, uint32_t{Info});
    std::smatch match;
    ASSERT_TRUE(std::regex_search(lines[0].Text, match, kPrefix)) << lines[0].Text;
    EXPECT_EQ(match[5].str(), "Info");
    EXPECT_EQ(StripPrefix(lines[0].Text), "No update needed.");

    const int logged = std::stoi(match[1]) * 3600 + std::stoi(match[2]) * 60 + std::stoi(match[3]);
    std::tm utc{};
    bool near = false;
    for (std::time_t t = before; t <= after; ++t) {
#if defined(_WIN32)
        gmtime_s(&utc, &t);
#else
        gmtime_r(&t, &utc);
#endif
        near = near || logged == utc.tm_hour * 3600 + utc.tm_min * 60 + utc.tm_sec;
    }
    EXPECT_TRUE(near) << lines[0].Text;
}

TEST_F(LoggerTest, ThresholdAndLabelsPerLevel)
{
    struct Case {
        uint32_t Threshold;
        uint32_t Level;
        const char* Label;  // null: dropped
    };
    const Case cases[] = {
        {Info, 0, "<invalid>"},         {Info, Error, "Err!"},
        {Info, Warning, "Warn"},        {Info, Info, "Info"},
        {Info, Verbose, nullptr},       {Info, VeryVerbose, nullptr},
        {VeryVerbose, Verbose, "Verb"}, {VeryVerbose, VeryVerbose, "Verb"},
        {VeryVerbose, 6, nullptr},
    };
    for (const Case& c : cases) {
        Logger.InstallSink(CaptureSink, c.Threshold);
        Logger.Printf(c.Level, "", "level %u", c.Level);
    }
    std::vector<std::string> got;
    for (const Line& line : DrainLines()) {
        std::smatch match;
        ASSERT_TRUE(std::regex_search(line.Text, match, kPrefix)) << line.Text;
        got.push_back(match[5].str() + " " + StripPrefix(line.Text));
    }
    std::vector<std::string> want;
    for (const Case& c : cases) {
        if (c.Label != nullptr) {
            want.push_back(std::string(c.Label) + " level " + std::to_string(c.Level));
        }
    }
    EXPECT_EQ(got, want);
}

TEST_F(LoggerTest, LongMessageIsCutTo1023Characters)
{
    Logger.InstallSink(CaptureSink, Info);
    const std::string message(1500, 'x');
    Logger.Printf(Info, "", "%s", message.c_str());
    const std::vector<Line> lines = DrainLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Text.size(), 1023u);
    EXPECT_EQ(StripPrefix(lines[0].Text), std::string(1023 - 51, 'x'));
}

TEST_F(LoggerTest, EmptyMessageStillMakesALineAndTheTagIsNeverPrinted)
{
    Logger.InstallSink(CaptureSink, Info);
    Logger.Printf(Info, "", "%s", "");
    Logger.Printf(Info, "Terminate", "Terminating with: %i.", 0);
    const std::vector<Line> lines = DrainLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(std::regex_search(lines[0].Text, kPrefix));
    EXPECT_EQ(StripPrefix(lines[0].Text), "");
    EXPECT_EQ(StripPrefix(lines[1].Text), "Terminating with: 0.");
    EXPECT_EQ(lines[1].Text.find("Terminate]"), std::string::npos);
}

TEST_F(LoggerTest, ArgumentsAreFormattedButTextsWithPercentPassAsArguments)
{
    Logger.InstallSink(CaptureSink, Info);
    Logger.Printf(Info, "", "Current progress: %u (%u/%u).", 50u, 1u, 2u);
    Logger.Printf(Info, "", "%s", "100% done %s %n");
    const std::vector<Line> lines = DrainLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(StripPrefix(lines[0].Text), "Current progress: 50 (1/2).");
    EXPECT_EQ(StripPrefix(lines[1].Text), "100% done %s %n");
}

TEST_F(LoggerTest, LinesFromSeveralThreadsArriveWholeAndInOrderPerThread)
{
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 500;
    Logger.InstallSink(CaptureSink, Info);
    const std::string padding(200, '.');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLinesEach; ++i) {
                Logger.Printf(Info, "", "thread %d line %05d %s end", t, i, padding.c_str());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const std::vector<Line> lines = DrainLines();
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLinesEach));

    const std::regex whole(R"(^thread (\d) line (\d{5}) \.{200} end$)");
    int next[kThreads] = {};
    for (const Line& line : lines) {
        std::smatch match;
        const std::string body = StripPrefix(line.Text);
        ASSERT_TRUE(std::regex_match(body, match, whole)) << line.Text;
        const int thread = std::stoi(match[1]);
        EXPECT_EQ(std::stoi(match[2]), next[thread]++) << "thread " << thread;
    }
}

TEST_F(LoggerTest, DrainWritesEveryQueuedLineAndLaterLinesAreDropped)
{
    Logger.InstallSink(CaptureSink, Info);
    for (int i = 0; i < 200; ++i) {
        Logger.Printf(Info, "", "line %d", i);
    }
    const std::vector<Line> lines = DrainLines();
    ASSERT_EQ(lines.size(), 200u);
    EXPECT_EQ(StripPrefix(lines.back().Text), "line 199");

    Logger.Printf(Error, "", "after the drain");
    EXPECT_EQ(Logger.Worker.PostedCount(), 200u);
    EXPECT_TRUE(TakeCaptured().empty());
}

TEST_F(LoggerTest, InstallingTheSinkWhileOtherThreadsLogIsSafe)
{
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; !done.load(); ++i) {
            Logger.Printf(Info, "", "racing %d", i);
        }
    });
    for (int i = 0; i < 200; ++i) {
        Logger.InstallSink(CaptureSink, i % 2 == 0 ? Info : Error);
    }
    done = true;
    writer.join();
    for (const Line& line : DrainLines()) {
        EXPECT_TRUE(std::regex_search(line.Text, kPrefix));
    }
}

TEST_F(LoggerTest, LogPrintfUsesTheProcessLoggerWhenThereIsOne)
{
    Logger.InstallSink(CaptureSink, Info);
    gLogger = nullptr;
    LogPrintf(Error, "without a logger %d", 1);
    gLogger = &Logger;
    LogPrintf(Warning, "Failed to set linear texture filtering.");
    const std::vector<Line> lines = DrainLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Level, uint32_t{Warning});
    EXPECT_EQ(StripPrefix(lines[0].Text), "Failed to set linear texture filtering.");
}

// What the crash handler and the calls into native code rely on: every line
// logged before is written, the worker keeps running, and no lock is taken.
TEST_F(LoggerTest, WaitUntilWrittenReturnsOnceEveryEarlierLineIsWritten)
{
    Logger.InstallSink(CaptureSink, Info);
    for (int i = 0; i < 200; ++i) {
        Logger.Printf(Info, "", "line %d", i);
    }
    EXPECT_TRUE(Logger.WaitUntilWritten(kLogStallLimitMs));
    const std::vector<Line> lines = TakeCaptured();
    ASSERT_EQ(lines.size(), 200u);
    EXPECT_EQ(StripPrefix(lines.back().Text), "line 199");

    Logger.Printf(Info, "", "still running");
    EXPECT_EQ(DrainLines().size(), 1u);
    gLogger = nullptr;
    EXPECT_TRUE(FlushLog());
}

// A thread that crashed holding a lock the sink needs: the wait gives up
// instead of waiting for ever.
std::mutex gStuckSinkLock;

void StuckSink(uint32_t level, const char* line)
{
    std::lock_guard<std::mutex> guard(gStuckSinkLock);
    CaptureSink(level, line);
}

TEST_F(LoggerTest, WaitUntilWrittenGivesUpWhenTheWorkerMakesNoProgress)
{
    Logger.InstallSink(StuckSink, Info);
    {
        std::lock_guard<std::mutex> held(gStuckSinkLock);
        Logger.Printf(Error, "", "blocked");
        Logger.Printf(Error, "", "behind it");
        gLogger = &Logger;
        EXPECT_FALSE(FlushLog(50));
    }
    EXPECT_EQ(DrainLines().size(), 2u);
}

TEST(LoggerLifetime, LinesLeftQueuedAreFreedWithTheLogger)
{
    // Never started: the lines stay queued; destruction must not leak them
    // (LeakSanitizer checks this in the native build).
    cLogger logger;
    logger.InstallSink(CaptureSink, Info);
    logger.Printf(Info, "", "never written %d", 1);
    EXPECT_EQ(logger.Worker.QueuedCount(), 1u);
}

}  // namespace
}  // namespace tavrin
