#include "logging/logger.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

namespace tavrin {

cLogger* gLogger = nullptr;

namespace {

struct LogLine {
    cLogger* Logger;
    uint32_t Level;
    std::string Text;
};

constexpr size_t kLineBufferSize = kMaxLogLineLength + 1;

// "hh:mm:ss:mmm" of the current UTC time.
void FormatUtcTime(char* out, size_t size)
{
    using namespace std::chrono;
    const int64_t ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const int64_t msOfDay = ((ms % 86400000) + 86400000) % 86400000;
    const unsigned hour = static_cast<unsigned>(msOfDay / 3600000);
    const unsigned minute = static_cast<unsigned>(msOfDay / 60000 % 60);
    const unsigned second = static_cast<unsigned>(msOfDay / 1000 % 60);
    const unsigned milli = static_cast<unsigned>(msOfDay % 1000);
    const int n = std::snprintf(out, size, "%02u:%02u:%02u:%03u", hour, minute, second, milli);
    if (n <= 0) {
        std::snprintf(out, size, "00:00:00:000");
    }
}

bool WriteLine(void* context)
{
    const LogLine* line = static_cast<const LogLine*>(context);
    cLogger* logger = line->Logger;
    std::lock_guard<std::mutex> guard(logger->Lock);
    const LogSink sink = logger->Sink.load();
    if (sink != nullptr) {
        sink(line->Level, line->Text.c_str());
    }
    return false;
}

}  // namespace

const char* LogLevelLabel(uint32_t level)
{
    switch (level) {
    case Error:
        return "Err!";
    case Warning:
        return "Warn";
    case Info:
        return "Info";
    case Verbose:
    case VeryVerbose:
        return "Verb";
    default:
        return "<invalid>";
    }
}

void cLogger::Printf(uint32_t level, const char* tag, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    VPrintf(level, tag, format, args);
    va_end(args);
}

void cLogger::VPrintf(uint32_t level, const char* /*tag*/, const char* format, va_list args)
{
    // The cheap check comes first: dropped levels cost no formatting.
    if (Sink.load(std::memory_order_relaxed) == nullptr ||
        level > Threshold.load(std::memory_order_relaxed) || format == nullptr) {
        return;
    }
    char time[128];
    FormatUtcTime(time, sizeof time);

    char buffer[kLineBufferSize];
    const int prefix = std::snprintf(buffer, sizeof buffer, "[%s] [Windows] [KZV Bootstrapper] [%s] ", time,
                                     LogLevelLabel(level));
    if (prefix <= 0 || static_cast<size_t>(prefix) >= sizeof buffer) {
        return;
    }
    const int message =
        std::vsnprintf(buffer + prefix, sizeof buffer - static_cast<size_t>(prefix), format, args);
    if (message < 0) {
        return;
    }
    // The line is kept to what fit: a cut message arrives as 1023 characters.
    auto line = std::make_shared<LogLine>(LogLine{this, level, std::string(buffer)});
    WorkerTask task;
    task.Callable = WriteLine;
    // A shared context frees lines the worker never runs (refused after the
    // drain, or left queued at destruction).
    task.SharedContext = std::move(line);
    task.Priority = 1;
    Worker.PostTask(task, true, 0, 0);
}

void cLogger::InstallSink(LogSink sink, uint32_t threshold)
{
    std::lock_guard<std::mutex> guard(Lock);
    Sink.store(sink);
    Threshold.store(threshold);
}

bool cLogger::WaitUntilWritten(uint32_t stallLimitMs)
{
    const uint32_t target = Worker.PostedCount();
    uint32_t lastSeen = Worker.ExecutedCount();
    uint32_t stalledMs = 0;
    // Counts wrap; the distance still says whether the target was reached.
    while (static_cast<int32_t>(target - lastSeen) > 0) {
        if (stalledMs >= stallLimitMs) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const uint32_t now = Worker.ExecutedCount();
        stalledMs = now == lastSeen ? stalledMs + 1 : 0;
        lastSeen = now;
    }
    return true;
}

bool FlushLog(uint32_t stallLimitMs)
{
    cLogger* logger = gLogger;
    return logger == nullptr || logger->WaitUntilWritten(stallLimitMs);
}

void LogPrintf(uint32_t level, const char* format, ...)
{
    cLogger* logger = gLogger;
    if (logger == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    logger->VPrintf(level, "", format, args);
    va_end(args);
}

}  // namespace tavrin
