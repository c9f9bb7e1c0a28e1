#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "base/cache_folder_win.h"
#include "base/files_win.h"
#include "logging/log_file_win.h"
#include "logging/logger.h"
#include "test_support/scratch_folder_win.h"

using tavrin::cLogFile;

namespace {

constexpr uint64_t kMsPerHour = 3600ull * 1000;
constexpr uint64_t kMsPerDay = 24 * kMsPerHour;

using tavrin::test::cScratchFolder;
using tavrin::test::ReadText;

// The non-ASCII letter checks that log paths are UTF-8 throughout.
constexpr const wchar_t* kFolderPrefix = L"tavrin-log-\u00e9-";

std::vector<std::wstring> FileNames(const cScratchFolder& folder)
{
    std::vector<std::wstring> names;
    tavrin::ListFiles(folder.Wide() + L"*", names);
    std::sort(names.begin(), names.end());
    return names;
}

using tavrin::test::NowMinusMs;

void WriteFile(const std::wstring& path, const std::string& bytes, FILETIME lastWrite)
{
    ASSERT_TRUE(tavrin::test::WriteBytes(path, bytes));
    EXPECT_TRUE(tavrin::test::SetLastWriteTime(path, lastWrite));
}

std::wstring BackupName(FILETIME lastWrite)
{
    SYSTEMTIME utc;
    FileTimeToSystemTime(&lastWrite, &utc);
    wchar_t name[96];
    swprintf(name, 96, L"anticheatlauncher-backup-%04u.%02u.%02u-%02u.%02u.%02u.log", utc.wYear, utc.wMonth,
             utc.wDay, utc.wHour, utc.wMinute, utc.wSecond);
    return name;
}

TEST(LogFile, FirstRunMakesNoBackupAndWritesCrLfLines)
{
    cScratchFolder folder(kFolderPrefix);
    {
        cLogFile log;
        ASSERT_TRUE(log.Open(folder.Utf8(), tavrin::Info));
        log.WriteLine(tavrin::Info, "first");
        log.WriteLine(tavrin::Error, "second \xC3\xA9");
        // Readable by others while open.
        EXPECT_EQ(ReadText(folder.File(L"anticheatlauncher.log")), "first\r\nsecond \xC3\xA9\r\n");
    }
    EXPECT_EQ(FileNames(folder), std::vector<std::wstring>{L"anticheatlauncher.log"});
}

TEST(LogFile, LevelFiltering)
{
    const struct {
        uint32_t Level;
        std::string Expected;
    } cases[] = {
        {tavrin::Info, "0\r\n1\r\n3\r\n"},
        {tavrin::VeryVerbose, "0\r\n1\r\n3\r\n4\r\n5\r\n"},
    };
    for (const auto& c : cases) {
        cScratchFolder folder(kFolderPrefix);
        cLogFile log;
        ASSERT_TRUE(log.Open(folder.Utf8(), c.Level));
        for (uint32_t level : {0u, 1u, 3u, 4u, 5u, 6u}) {
            log.WriteLine(level, std::to_string(level).c_str());
        }
        log.Close();
        EXPECT_EQ(ReadText(folder.File(L"anticheatlauncher.log")), c.Expected) << c.Level;
    }
}

TEST(LogFile, PreviousLogBecomesBackupNamedByItsUtcLastWrite)
{
    cScratchFolder folder(kFolderPrefix);
    const FILETIME lastWrite = NowMinusMs(kMsPerHour + 123);
    WriteFile(folder.File(L"anticheatlauncher.log"), "old run\r\n", lastWrite);
    cLogFile log;
    ASSERT_TRUE(log.Open(folder.Utf8(), tavrin::Info));
    log.WriteLine(tavrin::Info, "new run");
    EXPECT_EQ(ReadText(folder.File(BackupName(lastWrite))), "old run\r\n");
    EXPECT_EQ(ReadText(folder.File(L"anticheatlauncher.log")), "new run\r\n");
    EXPECT_EQ(FileNames(folder).size(), 2u);
}

TEST(LogFile, BackupsOfTheSameSecondGetACounterAndNoLineIsLost)
{
    cScratchFolder folder(kFolderPrefix);
    const FILETIME lastWrite = NowMinusMs(kMsPerDay);
    std::wstring second = BackupName(lastWrite);
    second.insert(second.size() - 4, L"-1");
    WriteFile(folder.File(BackupName(lastWrite)), "earlier backup", lastWrite);
    WriteFile(folder.File(L"anticheatlauncher.log"), "old run", lastWrite);
    cLogFile log;
    ASSERT_TRUE(log.Open(folder.Utf8(), tavrin::Info));
    log.Close();
    EXPECT_EQ(ReadText(folder.File(BackupName(lastWrite))), "earlier backup");
    EXPECT_EQ(ReadText(folder.File(second)), "old run");
    EXPECT_EQ(ReadText(folder.File(L"anticheatlauncher.log")), "");
}

TEST(LogFile, PreviousLogThatCannotBeRenamedIsContinued)
{
    cScratchFolder folder(kFolderPrefix);
    const std::wstring path = folder.File(L"anticheatlauncher.log");
    WriteFile(path, "old run\r\n", NowMinusMs(kMsPerHour));
    // Held open by another process that allows reading and writing but not renaming.
    HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    {
        cLogFile log;
        ASSERT_TRUE(log.Open(folder.Utf8(), tavrin::Info));
        log.WriteLine(tavrin::Info, "new run");
    }
    CloseHandle(holder);
    EXPECT_EQ(ReadText(path), "old run\r\nnew run\r\n");
    EXPECT_EQ(FileNames(folder).size(), 1u);
}

TEST(LogFile, CleanupDeletesOnlyBackupsOlderThanSevenDays)
{
    cScratchFolder folder(kFolderPrefix);
    const uint64_t sevenDays = 7 * kMsPerDay;
    const struct {
        const wchar_t* Name;
        uint64_t AgeMs;
        bool Kept;
    } files[] = {
        {L"anticheatlauncher-backup-a.log", sevenDays + 1000, false},
        {L"anticheatlauncher-backup-b.log", sevenDays - kMsPerHour, true},
        {L"anticheatlauncher-backup-c.log", 30 * kMsPerDay, false},
        {L"anticheatlauncher-backup-d.txt", 30 * kMsPerDay, true},
        {L"other.log", 30 * kMsPerDay, true},
        {L".anticheatlauncher-backup-e.log", 30 * kMsPerDay, true},
    };
    for (const auto& f : files) {
        WriteFile(folder.File(f.Name), "x", NowMinusMs(f.AgeMs));
    }
    CreateDirectoryW(folder.File(L"anticheatlauncher-backup-dir.log").c_str(), nullptr);
    tavrin::RotateLogFiles(folder.Utf8());
    for (const auto& f : files) {
        EXPECT_EQ(GetFileAttributesW(folder.File(f.Name).c_str()) != INVALID_FILE_ATTRIBUTES, f.Kept)
            << tavrin::Utf16ToUtf8(f.Name);
    }
    EXPECT_NE(GetFileAttributesW(folder.File(L"anticheatlauncher-backup-dir.log").c_str()),
              INVALID_FILE_ATTRIBUTES);
}

TEST(LogFile, OldPreviousLogIsRenamedThenDeleted)
{
    cScratchFolder folder(kFolderPrefix);
    WriteFile(folder.File(L"anticheatlauncher.log"), "ancient", NowMinusMs(8 * kMsPerDay));
    cLogFile log;
    ASSERT_TRUE(log.Open(folder.Utf8(), tavrin::Info));
    log.Close();
    EXPECT_EQ(FileNames(folder), std::vector<std::wstring>{L"anticheatlauncher.log"});
    EXPECT_EQ(ReadText(folder.File(L"anticheatlauncher.log")), "");
}

TEST(LogFile, MissingOrEmptyDirectoryGivesNoLog)
{
    cLogFile log;
    EXPECT_FALSE(log.Open("", tavrin::Info));
    EXPECT_FALSE(log.Open("C:\\tavrin-no-such-folder\\deeper\\", tavrin::Info));
    EXPECT_FALSE(log.IsOpen());
    log.WriteLine(tavrin::Error, "dropped");
}

tavrin::cLogger* NewStartedLogger()
{
    auto* logger = new tavrin::cLogger;
    logger->Worker.Start();
    tavrin::gLogger = logger;
    return logger;
}

void DrainAndDelete(tavrin::cLogger* logger)
{
    logger->Worker.Drain();
    tavrin::gLogger = nullptr;
    delete logger;
}

TEST(LogFileSink, LoggerLinesReachTheFileOnlyAfterOpening)
{
    cScratchFolder folder(kFolderPrefix);
    tavrin::cLogger* logger = NewStartedLogger();
    cLogFile log;
    tavrin::LogPrintf(tavrin::Error, "before the file");
    ASSERT_TRUE(tavrin::OpenLogFileIn(log, folder.Utf8(), tavrin::Info));
    EXPECT_EQ(logger->Sink, &tavrin::WriteLogFileLine);
    EXPECT_EQ(logger->Threshold, static_cast<uint32_t>(tavrin::Info));
    tavrin::LogPrintf(tavrin::Info, "Log file open, %s.", tavrin::FormatLogOpenTime().c_str());
    tavrin::LogPrintf(tavrin::Verbose, "verbose is dropped");
    tavrin::LogPrintf(tavrin::Error, "error %d", 7);
    DrainAndDelete(logger);
    log.Close();
    // After Close the sink finds no file; nothing is written, nothing breaks.
    tavrin::WriteLogFileLine(tavrin::Error, "after close");

    const std::string text = ReadText(folder.File(L"anticheatlauncher.log"));
    const std::regex expected(
        "\\[\\d\\d:\\d\\d:\\d\\d:\\d{3}\\] \\[Windows\\] \\[KZV Bootstrapper\\] \\[Info\\] "
        "Log file open, \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\dZ\\.\r\n"
        "\\[[0-9:]+\\] \\[Windows\\] \\[KZV Bootstrapper\\] \\[Err!\\] error 7\r\n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST(LogFileSink, VerboseLevelPassesVerboseLines)
{
    cScratchFolder folder(kFolderPrefix);
    tavrin::cLogger* logger = NewStartedLogger();
    cLogFile log;
    ASSERT_TRUE(tavrin::OpenLogFileIn(log, folder.Utf8(), tavrin::VeryVerbose));
    tavrin::LogPrintf(tavrin::Verbose, "detail");
    tavrin::LogPrintf(tavrin::VeryVerbose, "trace");
    DrainAndDelete(logger);
    log.Close();
    const std::string text = ReadText(folder.File(L"anticheatlauncher.log"));
    EXPECT_NE(text.find("[Verb] detail\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Verb] trace\r\n"), std::string::npos) << text;
}

TEST(LogFileSink, SecondOpenKeepsTheFileAndReinstallsTheSink)
{
    cScratchFolder folder(kFolderPrefix);
    tavrin::cLogger* logger = NewStartedLogger();
    cLogFile log;
    ASSERT_TRUE(tavrin::OpenLogFileIn(log, folder.Utf8(), tavrin::Info));
    log.WriteLine(tavrin::Info, "kept");
    logger->InstallSink(nullptr, tavrin::Info);
    ASSERT_TRUE(tavrin::OpenLogFileIn(log, folder.Utf8(), tavrin::Info));
    EXPECT_EQ(logger->Sink, &tavrin::WriteLogFileLine);
    DrainAndDelete(logger);
    log.Close();
    EXPECT_EQ(FileNames(folder), std::vector<std::wstring>{L"anticheatlauncher.log"});
    EXPECT_EQ(ReadText(folder.File(L"anticheatlauncher.log")), "kept\r\n");
}

TEST(AppDataFolders, CacheDirectoryAndLogPathUnderRoamingFolder)
{
    std::wstring appData;
    ASSERT_TRUE(tavrin::GetAppDataFolder(appData));
    ASSERT_GE(appData.size(), 8u);
    EXPECT_EQ(appData.substr(appData.size() - 8), L"\\Tavrin\\");
    EXPECT_TRUE(tavrin::IsDirectory(tavrin::Utf16ToUtf8(appData)));

    const std::string product = "test-product-" + std::to_string(GetCurrentProcessId());
    std::string directory;
    ASSERT_TRUE(tavrin::GetCacheDirectory(product, "dep-1", directory));
    EXPECT_EQ(directory, tavrin::Utf16ToUtf8(appData) + product + "\\dep-1\\");
    EXPECT_TRUE(tavrin::IsDirectory(directory));
    EXPECT_EQ(tavrin::GetLogFilePath(product, "dep-1"), directory + "anticheatlauncher.log");

    {
        tavrin::cLogger* logger = NewStartedLogger();
        cLogFile log;
        EXPECT_TRUE(tavrin::OpenLogFile(log, product, "dep-1", tavrin::Info));
        tavrin::LogPrintf(tavrin::Info, "hello");
        DrainAndDelete(logger);
    }
    EXPECT_NE(ReadText(tavrin::Utf8ToUtf16(directory + "anticheatlauncher.log")).find("[Info] hello\r\n"),
              std::string::npos);
    tavrin::test::RemoveTree(appData + tavrin::Utf8ToUtf16(product) + L"\\");
}

TEST(AppDataFolders, UnusableIdentifiersGiveNoDirectoryAndNoLog)
{
    const struct {
        std::string Product;
        std::string Deployment;
    } cases[] = {{"", "dep-1"}, {"prod-1", ""}, {"..\\..\\x", "dep-1"}, {"prod-1", "a/b"}, {"p", "dep-1"}};
    for (const auto& c : cases) {
        std::string directory = "stale";
        EXPECT_FALSE(tavrin::GetCacheDirectory(c.Product, c.Deployment, directory)) << c.Product;
        EXPECT_TRUE(directory.empty());
        EXPECT_TRUE(tavrin::GetLogFilePath(c.Product, c.Deployment).empty());
    }
    tavrin::cLogger* logger = NewStartedLogger();
    cLogFile log;
    EXPECT_FALSE(tavrin::OpenLogFile(log, "", "", tavrin::Info));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(logger->Sink, &tavrin::WriteLogFileLine);
    tavrin::LogPrintf(tavrin::Error, "goes nowhere");
    DrainAndDelete(logger);
}

TEST(LogOpenTime, Format)
{
    EXPECT_TRUE(std::regex_match(tavrin::FormatLogOpenTime(),
                                 std::regex("20\\d\\d-[01]\\d-[0-3]\\d [0-2]\\d:[0-5]\\d:[0-5]\\dZ")));
}

}  // namespace
