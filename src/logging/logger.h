// The process-wide logger: printf-style lines, formatted on the caller's
// thread, written by a sink on the logger's own worker thread.
#pragma once

#include <cstdint>
#include <mutex>

#include "telemetry/worker.h"

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

struct cLogger {
    LogSink Sink = nullptr;
    uint32_t Threshold = Info;
    std::mutex Lock;
    cBackgroundWorker Worker;

    // The tag is accepted and never printed.
    void Printf(uint32_t level, const char* tag, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    // Stores sink and threshold together under the lock.
    void InstallSink(LogSink sink, uint32_t threshold);
};

extern cLogger* gLogger;

// Printf on gLogger with an empty tag; nothing when there is no logger.
void LogPrintf(uint32_t level, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace tavrin
