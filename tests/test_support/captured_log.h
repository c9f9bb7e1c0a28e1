// A process-wide logger installed for one test, whose lines the test reads.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "logging/logger.h"

namespace tavrin::test {

class cCapturedLog {
public:
    explicit cCapturedLog(uint32_t threshold = tavrin::VeryVerbose)
    {
        Current() = this;
        Logger.InstallSink(&cCapturedLog::Sink, threshold);
        Logger.Worker.Start();
        tavrin::gLogger = &Logger;
    }
    ~cCapturedLog()
    {
        Logger.Worker.Drain();
        tavrin::gLogger = nullptr;
        Current() = nullptr;
    }
    cCapturedLog(const cCapturedLog&) = delete;
    cCapturedLog& operator=(const cCapturedLog&) = delete;

    // Every line so far. Lines are written on the logger's thread: wait (bounded)
    // until it caught up, without draining so that logging can go on.
    std::vector<std::string> Lines()
    {
        for (int i = 0; i < 10000 && Logger.Worker.ExecutedCount() < Logger.Worker.PostedCount(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::lock_guard<std::mutex> guard(Lock);
        return Collected;
    }

    // Number of lines containing the text.
    size_t Count(const std::string& text)
    {
        size_t count = 0;
        for (const std::string& line : Lines()) {
            if (line.find(text) != std::string::npos) {
                ++count;
            }
        }
        return count;
    }

    bool HasLineEndingWith(const std::string& text)
    {
        for (const std::string& line : Lines()) {
            if (line.size() >= text.size() &&
                line.compare(line.size() - text.size(), text.size(), text) == 0) {
                return true;
            }
        }
        return false;
    }

private:
    static cCapturedLog*& Current()
    {
        static cCapturedLog* current = nullptr;
        return current;
    }
    static void Sink(uint32_t, const char* line)
    {
        cCapturedLog* log = Current();
        if (log != nullptr) {
            std::lock_guard<std::mutex> guard(log->Lock);
            log->Collected.emplace_back(line);
        }
    }

    tavrin::cLogger Logger;
    std::mutex Lock;
    std::vector<std::string> Collected;
};

}  // namespace tavrin::test
