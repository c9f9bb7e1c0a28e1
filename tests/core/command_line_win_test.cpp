#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "base/files_win.h"
#include "core/command_line.h"
#include "test_support/process_win.h"
#include "test_support/scratch_folder_win.h"

using namespace tavrin::launcher;

namespace {

constexpr const wchar_t* kOutputVariable = L"TAVRIN_TEST_ARGUMENTS_OUT";

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

TEST(LauncherDirectory, IsTheExecutablesFolder)
{
    const std::string own = tavrin::Utf16ToUtf8(OwnPath());
    std::string directory;
    ASSERT_EQ(GetLauncherDirectory(directory), DirectoryFound);
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), '\\');
    EXPECT_EQ(own.rfind(directory, 0), 0u) << own;
    EXPECT_EQ(own.find_first_of("\\/", directory.size()), std::string::npos) << own;
    EXPECT_EQ(GetIconPath(), directory + "Tavrin\\BootstrapperIcon.ico");
}

// In the child run: writes the split command line, one argument a line.
TEST(ProcessArguments, ChildWritesItsArguments)
{
    wchar_t out[MAX_PATH] = {};
    if (GetEnvironmentVariableW(kOutputVariable, out, MAX_PATH) == 0) {
        GTEST_SKIP() << "only runs as the child of ProcessArguments.SplitsTheRealCommandLine";
    }
    std::ofstream file(out, std::ios::binary);
    for (const std::string& argument : GetProcessArguments()) {
        file << argument << '\n';
    }
}

// Starts this executable again with a known command line and compares what
// the child split from GetCommandLineW.
TEST(ProcessArguments, SplitsTheRealCommandLine)
{
    tavrin::test::cScratchFolder folder(L"tavrin-args-");
    const std::wstring out = folder.File(L"arguments.txt");
    std::wstring commandLine =
        L"\"" + OwnPath() +
        L"\" --gtest_filter=ProcessArguments.ChildWritesItsArguments"
        L" -anticheat_settings=\"Custom Settings.json\" -v \"C:\\My Games\\\u00e9.exe\" tail";
    ASSERT_TRUE(SetEnvironmentVariableW(kOutputVariable, out.c_str()));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const BOOL created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(kOutputVariable, nullptr);
    ASSERT_TRUE(created);
    const DWORD exitCode = tavrin::test::WaitForExitCode(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u);

    const std::vector<std::string> lines = tavrin::test::ReadLines(out);
    const std::vector<std::string> expected = {
        "--gtest_filter=ProcessArguments.ChildWritesItsArguments",
        "-anticheat_settings=\"Custom Settings.json\"",
        "-v",
        "\"C:\\My Games\\\xC3\xA9.exe\"",
        "tail",
    };
    EXPECT_EQ(lines, expected);

    std::vector<std::string> arguments = lines;
    std::string fileName;
    ReadSettingsOption(arguments, fileName);
    EXPECT_EQ(fileName, "Custom Settings.json");
    EXPECT_EQ(LogLevelFromArguments(arguments), 5u);
    EXPECT_EQ(arguments.size(), 4u);
}

}  // namespace
