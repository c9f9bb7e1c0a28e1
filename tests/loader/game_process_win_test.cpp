#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/files_win.h"
#include "loader/game_process_win.h"
#include "loader/module_loader_win.h"
#include "test_support/loader_bodies_win.h"
#include "test_support/process_win.h"
#include "test_support/scratch_folder_win.h"

using namespace tavrin::launcher;
using tavrin::test::cScratchFolder;

namespace {

struct Report {
    int32_t Code;
    std::string Message;
};

// A Windows loader with a result sink, its thread doing nothing.
class GameProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string game = tavrin::Utf16ToUtf8(tavrin::test::DemoGamePath().wstring());
        ASSERT_TRUE(tavrin::PathExists(game.c_str())) << game;
        ASSERT_TRUE(Loader.Initialize([](uint32_t, uint32_t) { return KZV_ProgressContinue; },
                                      [this](int32_t code, const char* message) {
                                          Reports.push_back({code, message ? message : "<null>"});
                                      },
                                      game, Scratch.Utf8(), "win64", "", "", "", false));
    }

    // The demo game copied to a path with spaces.
    std::string GameWithSpaces()
    {
        const auto folder = Scratch.Path() / L"game folder";
        std::filesystem::create_directories(folder);
        const auto game = folder / L"Demo Game.exe";
        std::filesystem::copy_file(tavrin::test::DemoGamePath(), game);
        return tavrin::Utf16ToUtf8(game.wstring());
    }

    std::string ScratchFile(const char* name) { return Scratch.Utf8() + name; }

    cScratchFolder Scratch{L"tavrin-loader-"};
    cWindowsModuleLoader Loader{{}, cHostFacts{}, tavrin::test::IdleLoader()};
    std::vector<Report> Reports;
};

std::wstring EnvironmentValue(const wchar_t* name)
{
    wchar_t buffer[64] = {};
    DWORD length = GetEnvironmentVariableW(name, buffer, 64);
    return std::wstring(buffer, length < 64 ? length : 0);
}

TEST(GameCommandLine, QuotesThePathAndLeavesArgumentsAsTheyStand)
{
    struct Case {
        std::string Path;
        std::vector<std::string> Arguments;
        std::string Expected;
    };
    const Case cases[] = {
        {"C:\\Games\\My Game\\game.exe", {}, "\"C:\\Games\\My Game\\game.exe\""},
        {"C:\\g.exe", {"-a", "b c"}, "\"C:\\g.exe\" -a b c"},
        {"C:\\g.exe", {"", "x"}, "\"C:\\g.exe\"  x"},
        {"C:\\g.exe", {"\"already quoted\"", "tail\\"}, "\"C:\\g.exe\" \"already quoted\" tail\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildGameCommandLine(c.Path, c.Arguments), c.Expected);
    }
}

TEST(CreateProcessErrorText, SystemMessageElseTheNumberedFallback)
{
    const std::string known = DescribeCreateProcessError(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(known.empty());
    EXPECT_EQ(known.find("CreateProcess failed with"), std::string::npos);
    EXPECT_EQ(DescribeCreateProcessError(0), "CreateProcess failed with 0.");
    // Customer-defined codes have no system text.
    EXPECT_EQ(DescribeCreateProcessError(0x2000ABCD), "CreateProcess failed with 536914893.");
}

TEST_F(GameProcessTest, ArgumentsReachTheGameSplitByItsOwnRules)
{
    const std::string game = GameWithSpaces();
    const std::string argsFile = ScratchFile("args.txt");
    ASSERT_EQ(argsFile.find(' '), std::string::npos) << "arguments are passed unquoted";
    SetEnvironmentVariableW(L"SteamNoOverlayUIDrawing", L"1");

    ASSERT_TRUE(Loader.CreateGameProcess(
        game, {"--no-window", "--exit-code", "3", "--args-file", argsFile, "-a", "b c"}, Scratch.Utf8()));

    EXPECT_TRUE(Reports.empty());
    EXPECT_NE(Loader.GetGameProcessId(), 0u);
    EXPECT_EQ(EnvironmentValue(L"SteamNoOverlayUIDrawing"), L"0");
    cProcessHandle process = Loader.OpenGameProcessHandle();
    ASSERT_TRUE(process);
    EXPECT_EQ(tavrin::test::WaitForExitCode(process.Get(), 20000), 3u);
    const std::vector<std::string> expected = {game,     "--no-window", "--exit-code", "3", "--args-file",
                                               argsFile, "-a",          "b",           "c"};
    EXPECT_EQ(tavrin::test::ReadLines(tavrin::Utf8ToUtf16(argsFile)), expected);
}

TEST_F(GameProcessTest, WorkingDirectoryIsTheGivenOneOrTheLaunchersOwn)
{
    wchar_t own[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, own);
    const auto gameFolder = Scratch.Path() / L"workdir";
    std::filesystem::create_directories(gameFolder);
    const std::pair<std::string, std::string> cases[] = {
        {"", tavrin::Utf16ToUtf8(own)},
        {tavrin::Utf16ToUtf8(gameFolder.wstring()), tavrin::Utf16ToUtf8(gameFolder.wstring())},
    };
    const std::string game = tavrin::Utf16ToUtf8(tavrin::test::DemoGamePath().wstring());
    for (const auto& [workingDirectory, expected] : cases) {
        const std::string cwdFile = ScratchFile("cwd.txt");
        ASSERT_TRUE(Loader.CreateGameProcess(game, {"--no-window", "--cwd-file", cwdFile}, workingDirectory));
        cProcessHandle process = Loader.OpenGameProcessHandle();
        ASSERT_TRUE(process);
        EXPECT_EQ(tavrin::test::WaitForExitCode(process.Get(), 20000), 0u);
        const auto lines = tavrin::test::ReadLines(tavrin::Utf8ToUtf16(cwdFile));
        ASSERT_EQ(lines.size(), 1u) << workingDirectory;
        // The system may or may not keep a trailing separator.
        std::string got = lines[0];
        std::string want = expected;
        for (std::string* text : {&got, &want}) {
            if (!text->empty() && text->back() == '\\') {
                text->pop_back();
            }
        }
        EXPECT_EQ(got, want) << "working directory '" << workingDirectory << "'";
    }
}

TEST_F(GameProcessTest, HandleCarriesExactlyWaitQueryAndTerminateRights)
{
    const std::string game = tavrin::Utf16ToUtf8(tavrin::test::DemoGamePath().wstring());
    ASSERT_TRUE(Loader.CreateGameProcess(game, {"--no-window", "--exit-after-ms", "20000"}, ""));
    cProcessHandle process = Loader.OpenGameProcessHandle();
    ASSERT_TRUE(process);

    using NtQueryObjectFn = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<NtQueryObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    ASSERT_NE(query, nullptr);
    ULONG basic[16] = {};  // OBJECT_BASIC_INFORMATION; the granted rights are its second word
    ASSERT_EQ(query(process.Get(), 0, basic, sizeof(basic), nullptr), 0);
    EXPECT_EQ(basic[1], 0x101001u);

    char byte = 0;
    SIZE_T read = 0;
    EXPECT_FALSE(ReadProcessMemory(process.Get(), reinterpret_cast<void*>(0x10000), &byte, 1, &read));
    ASSERT_TRUE(TerminateProcess(process.Get(), 7));
    EXPECT_EQ(tavrin::test::WaitForExitCode(process.Get(), 20000), 7u);
}

TEST_F(GameProcessTest, PathThatNamesNoExecutableReports502WithTheSystemsMessage)
{
    const std::string missing = ScratchFile("missing.exe");
    const std::string notAProgram = ScratchFile("readme.exe");
    tavrin::test::WriteBytes(tavrin::Utf8ToUtf16(notAProgram), "plain text, not a program\n");

    for (const std::string& game : {missing, notAProgram}) {
        Reports.clear();
        EXPECT_FALSE(Loader.CreateGameProcess(game, {"-a"}, Scratch.Utf8()));
        ASSERT_EQ(Reports.size(), 1u) << game;
        EXPECT_EQ(Reports[0].Code, kLoaderCreationFailed);
        const std::string prefix = "Failed to create the game process: ";
        ASSERT_EQ(Reports[0].Message.rfind(prefix, 0), 0u) << Reports[0].Message;
        const std::string reason = Reports[0].Message.substr(prefix.size());
        EXPECT_FALSE(reason.empty());
        EXPECT_EQ(reason.find("CreateProcess failed with"), std::string::npos) << reason;
    }
    // Nothing was started: no id, no handle.
    EXPECT_EQ(Loader.GetGameProcessId(), 0u);
    EXPECT_FALSE(Loader.OpenGameProcessHandle());
}

TEST_F(GameProcessTest, MissingFileNamesTheFileNotFoundError)
{
    EXPECT_FALSE(Loader.CreateGameProcess(ScratchFile("missing.exe"), {}, ""));
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0].Message,
              "Failed to create the game process: " + DescribeCreateProcessError(ERROR_FILE_NOT_FOUND));
}

TEST(OpenGameProcessHandle, NullBeforeAnyProcessIsKnown)
{
    cWindowsModuleLoader loader({}, cHostFacts{});
    EXPECT_FALSE(loader.OpenGameProcessHandle());
    EXPECT_EQ(loader.GetGameProcessId(), 0u);
}

}  // namespace

namespace {

struct WindowCount {
    DWORD ProcessId = 0;
    int All = 0;
    int Visible = 0;
};

BOOL CALLBACK CountWindow(HWND window, LPARAM context)
{
    auto* count = reinterpret_cast<WindowCount*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count->ProcessId) {
        ++count->All;
        count->Visible += IsWindowVisible(window) ? 1 : 0;
    }
    return TRUE;
}

WindowCount CountWindows(DWORD processId)
{
    WindowCount count;
    count.ProcessId = processId;
    EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Polls until the game shows a visible window; the milliseconds it took, or -1.
int64_t MsUntilVisible(DWORD processId, DWORD limitMs)
{
    const ULONGLONG start = GetTickCount64();
    while (GetTickCount64() - start < limitMs) {
        if (CountWindows(processId).Visible > 0) {
            return static_cast<int64_t>(GetTickCount64() - start);
        }
        Sleep(20);
    }
    return -1;
}

// The window watch tests lean on these behaviours of the demo game.
TEST_F(GameProcessTest, DemoGameShowsHidesOrSkipsItsWindowAsAsked)
{
    const std::string game = tavrin::Utf16ToUtf8(tavrin::test::DemoGamePath().wstring());

    ASSERT_TRUE(Loader.CreateGameProcess(
        game, {"--show-after-ms", "700", "--exit-after-ms", "5000", "--exit-code", "4"}, ""));
    cProcessHandle shown = Loader.OpenGameProcessHandle();
    const int64_t waited = MsUntilVisible(Loader.GetGameProcessId(), 5000);
    EXPECT_GE(waited, 400);
    EXPECT_LT(waited, 4000);
    TerminateProcess(shown.Get(), 4);

    ASSERT_TRUE(Loader.CreateGameProcess(game, {"--hidden", "--exit-after-ms", "1500"}, ""));
    cProcessHandle hidden = Loader.OpenGameProcessHandle();
    EXPECT_EQ(MsUntilVisible(Loader.GetGameProcessId(), 1000), -1);
    EXPECT_GE(CountWindows(Loader.GetGameProcessId()).All, 1);
    EXPECT_EQ(tavrin::test::WaitForExitCode(hidden.Get(), 20000), 0u);

    ASSERT_TRUE(Loader.CreateGameProcess(game, {"--no-window", "--exit-code", "5"}, ""));
    cProcessHandle windowless = Loader.OpenGameProcessHandle();
    EXPECT_EQ(tavrin::test::WaitForExitCode(windowless.Get(), 20000), 5u);
}

}  // namespace

namespace {

// CreateProcessW's limit counts the terminating NUL: a longer line is cut so
// that the NUL still fits, and the game starts with what remains. (Wine cuts
// such lines itself; Windows refuses them.)
TEST_F(GameProcessTest, OverlongCommandLineIsCutToWhatTheSystemTakes)
{
    const std::string game = tavrin::Utf16ToUtf8(tavrin::test::DemoGamePath().wstring());
    const std::string argsFile = ScratchFile("long-args.txt");
    const std::vector<std::string> arguments = {"--no-window", "--args-file", argsFile,
                                                std::string(40000, 'x')};
    const size_t fixedPart = BuildGameCommandLine(game, arguments).size() - 40000;

    ASSERT_TRUE(Loader.CreateGameProcess(game, arguments, ""));
    cProcessHandle process = Loader.OpenGameProcessHandle();
    ASSERT_TRUE(process);
    EXPECT_EQ(tavrin::test::WaitForExitCode(process.Get(), 20000), 0u);
    const auto lines = tavrin::test::ReadLines(tavrin::Utf8ToUtf16(argsFile));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4], std::string(kMaxCommandLineChars - 1 - fixedPart, 'x'));
}

}  // namespace
