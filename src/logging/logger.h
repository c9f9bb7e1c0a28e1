// The process-wide logger: printf-style lines, formatted on the caller's
// thread, written by a sink on the logger's own worker thread.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <mutex>

#include "base/worker.h"

#if defined(__MINGW32__)
#define TAVRIN_PRINTF(fmt, first) __attribute__((format(gnu_printf, fmt, first)))
#else
#define TAVRIN_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))
#endif

namespace tavrin {

enum LogLevel : uint32_t {
    Error = 1,
    Warning = 2,
    Info = 3,
    Verbose = 4,
    VeryVerbose = 5,
};

// Receives each finished line (no line break) on the logger's worker thread.
using LogSink = void (*)(uint32_t level, const char* line);

// Longest line handed to the sink, in bytes.
constexpr size_t kMaxLogLineLength = 1023;

// "Err!", "Warn", "Info", "Verb" or "<invalid>".
const char* LogLevelLabel(uint32_t level);

struct cLogger {
    // Read without the lock on every call, hence atomic.
    std::atomic<LogSink> Sink{nullptr};
    std::atomic<uint32_t> Threshold{Info};
    std::mutex Lock;
    cBackgroundWorker Worker;

    // The tag is accepted and never printed.
    void Printf(uint32_t level, const char* tag, const char* format, ...) TAVRIN_PRINTF(4, 5);
    void VPrintf(uint32_t level, const char* tag, const char* format, va_list args) TAVRIN_PRINTF(4, 0);
    // Stores sink and threshold together under the lock.
    void InstallSink(LogSink sink, uint32_t threshold);
    // Waits until the worker has written every line logged before the call.
    // Takes no lock and gives up once the worker has made no progress for
    // stallLimitMs (it crashed, or waits for a lock a crashed thread holds),
    // so a crash handler may call it; false then.
    bool WaitUntilWritten(uint32_t stallLimitMs);
};

// A worker that writes nothing for this long is taken to be stuck.
inline constexpr uint32_t kLogStallLimitMs = 1000;

extern cLogger* gLogger;

// Printf on gLogger with an empty tag; nothing when there is no logger.
void LogPrintf(uint32_t level, const char* format, ...) TAVRIN_PRINTF(2, 3);

// WaitUntilWritten on gLogger; true when there is no logger. Called before
// the launcher hands control to code that may end the process beyond any
// handler's reach, so that the log holds every line logged before.
bool FlushLog(uint32_t stallLimitMs = kLogStallLimitMs);

}  // namespace tavrin
