// Shared pieces of the loader tests: a scratch folder, the demo game, and a
// logger whose lines the test reads.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "logging/logger.h"
#include "settings/files_win.h"

namespace loader_test {

// A fresh folder under the temporary directory, removed with its contents.
class cScratchFolder {
public:
    cScratchFolder() {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        static int counter = 0;
        Path = std::filesystem::path(base) /
               (L"tavrin-loader-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter));
        std::filesystem::create_directories(Path);
    }
    ~cScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    // UTF-8, with a trailing separator.
    std::string Directory() const { return tavrin::Utf16ToUtf8(Path.wstring()) + "\\"; }
    std::filesystem::path Path;
};

// The demo game built beside the tests.
inline std::filesystem::path DemoGamePath() {
    const char* binary = std::getenv("TAVRIN_BINARY_DIR");
    std::string unixPath = binary ? binary : "";
    std::string windowsPath = "Z:" + unixPath + "/bin/DemoGame.exe";
    for (char& c : windowsPath) {
        if (c == '/') {
            c = '\\';
        }
    }
    return std::filesystem::path(tavrin::Utf8ToUtf16(windowsPath));
}

inline void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::vector<std::string> ReadLines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

// The exit code once the process ends within the time, else STILL_ACTIVE.
inline DWORD WaitForExitCode(HANDLE process, DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process, &code);
    }
    return code;
}

// Installs a process-wide logger for the test and collects its lines.
class cCapturedLog {
public:
    explicit cCapturedLog(uint32_t threshold = tavrin::VeryVerbose) {
        Current() = this;
        tavrin::gLogger = &Logger;
        Logger.Worker.Start();
        Logger.InstallSink(&cCapturedLog::Sink, threshold);
    }
    ~cCapturedLog() {
        Logger.Worker.Drain();
        tavrin::gLogger = nullptr;
        Current() = nullptr;
    }
    // Every line so far, once written.
    std::vector<std::string> Lines() {
        Logger.Worker.Drain();
        std::lock_guard<std::mutex> guard(Lock);
        return Collected;
    }
    // True when some line ends with the text.
    bool HasLineEndingWith(const std::string& text) {
        for (const std::string& line : Lines()) {
            if (line.size() >= text.size() &&
                line.compare(line.size() - text.size(), text.size(), text) == 0) {
                return true;
            }
        }
        return false;
    }

private:
    static cCapturedLog*& Current() {
        static cCapturedLog* current = nullptr;
        return current;
    }
    static void Sink(uint32_t, const char* line) {
        cCapturedLog* log = Current();
        if (log) {
            std::lock_guard<std::mutex> guard(log->Lock);
            log->Collected.emplace_back(line);
        }
    }

    tavrin::cLogger Logger;
    std::mutex Lock;
    std::vector<std::string> Collected;
};

}  // namespace loader_test
