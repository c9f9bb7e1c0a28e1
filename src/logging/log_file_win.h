// The log file: one per product and deployment under the roaming
// application-data folder, the previous run's file kept as a dated backup,
// backups older than seven days deleted.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace tavrin {

inline constexpr const char* kLogFileName = "anticheatlauncher.log";

// The cache directory + "anticheatlauncher.log"; empty (and an error logged)
// when the directory cannot be had.
std::string GetLogFilePath(const std::string& productId, const std::string& deploymentId);

// Renames directory's current log to "anticheatlauncher-backup-<UTC last
// write>.log", or "...-<n>.log" when that backup exists (never over an
// existing backup), then deletes backups older than seven days. The
// directory ends with a separator.
void RotateLogFiles(const std::string& directory);

// The open log stream and its level. The launcher owns one; while it is the
// registered file, WriteLogFileLine writes into it.
class cLogFile {
public:
    cLogFile() = default;
    ~cLogFile() { Close(); }
    cLogFile(const cLogFile&) = delete;
    cLogFile& operator=(const cLogFile&) = delete;

    // Rotates and opens directory's log unless a stream is already open.
    bool Open(const std::string& directory, uint32_t level);
    // Unregisters the file from the sink, then closes the stream.
    void Close();

    bool IsOpen() const { return Stream != nullptr; }

    // The line and a line break, flushed at once; nothing above the level or
    // after a failed write.
    void WriteLine(uint32_t level, const char* line);

    // Lines above this level are not written; set by Open.
    uint32_t Level = 3;

private:
    struct FileCloser {
        void operator()(FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<FILE, FileCloser> Stream;
    bool Failed = false;
};

// Opens the product's log file (rotating the previous one), registers it for
// the sink and installs the sink with the level as threshold in gLogger.
// False when there is no log for this run; the run goes on without one.
bool OpenLogFile(cLogFile& file, const std::string& productId, const std::string& deploymentId,
                 uint32_t level);
// The same for an explicit directory (ending with a separator).
bool OpenLogFileIn(cLogFile& file, const std::string& directory, uint32_t level);

// The logger's sink: writes into the registered file, if any.
void WriteLogFileLine(uint32_t level, const char* line);

// For the crash handler: writes bytes (a finished line with its CR LF) to
// the open log file's own handle, after what the logger has written,
// taking no lock and allocating nothing. False when no log file is open.
bool WriteToLogFileUnlocked(const char* bytes, size_t length);
// The open log file's folder, ending with a separator; false when none is
// open or it does not fit. Takes no lock.
bool CopyLogFileFolder(wchar_t* out, size_t capacity);

// The current UTC time as "%04u-%02u-%02u %02u:%02u:%02uZ", for
// "Log file open, %s.".
std::string FormatLogOpenTime();

}  // namespace tavrin
