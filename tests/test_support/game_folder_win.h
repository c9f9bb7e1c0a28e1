// A game folder as a studio ships it: a launcher executable of the build,
// the demo game, Tavrin\Settings.json and the English language file; the
// launcher runs in it as a child process, as a player would start it.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "test_support/loopback_servers_win.h"
#include "test_support/process_win.h"
#include "test_support/scratch_folder_win.h"

namespace tavrin::test {

class cGameFolder {
public:
    // launcher: a program of the build's bin folder.
    explicit cGameFolder(const std::string& settings, const std::wstring& launcher = L"TavrinLauncher.exe")
        : Launcher(launcher)
    {
        namespace fs = std::filesystem;
        const fs::path bin = DemoGamePath().parent_path();
        fs::create_directories(Folder.Path() / L"Tavrin" / L"Localization");
        CopyFileW((bin / launcher).c_str(), (Folder.Path() / launcher).c_str(), FALSE);
        CopyFileW(DemoGamePath().c_str(), (Folder.Path() / L"DemoGame.exe").c_str(), FALSE);
        CopyFileW((bin / L"Tavrin" / L"Localization" / L"en_us.cfg").c_str(),
                  (Folder.Path() / L"Tavrin" / L"Localization" / L"en_us.cfg").c_str(), FALSE);
        WriteBytes(Folder.Path() / L"Tavrin" / L"Settings.json", settings);
    }

    // Starts the launcher with the two switches set as given (null: unset)
    // and arguments appended to its command line.
    PROCESS_INFORMATION Start(const wchar_t* immediateExit, const wchar_t* headless,
                              const std::wstring& arguments = L"")
    {
        SetEnvironmentVariableW(L"QRV_ANTICHEAT_BOOTSTRAPPER_IMMEDIATE_EXIT_ON_ERROR", immediateExit);
        SetEnvironmentVariableW(L"QRV_ANTICHEAT_BOOTSTRAPPER_RUN_IN_HEADLESS_MODE", headless);
        std::wstring commandLine = L"\"" + (Folder.Path() / Launcher).wstring() + L"\"";
        if (!arguments.empty()) {
            commandLine += L" " + arguments;
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        const BOOL created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                            Folder.Path().c_str(), &startup, &info);
        SetEnvironmentVariableW(L"QRV_ANTICHEAT_BOOTSTRAPPER_IMMEDIATE_EXIT_ON_ERROR", nullptr);
        SetEnvironmentVariableW(L"QRV_ANTICHEAT_BOOTSTRAPPER_RUN_IN_HEADLESS_MODE", nullptr);
        if (!created) {
            return {};
        }
        CloseHandle(info.hThread);
        info.hThread = nullptr;
        return info;
    }

    // The exit code, or STILL_ACTIVE when the launcher had to be ended.
    DWORD Run(const wchar_t* immediateExit, const wchar_t* headless, const std::wstring& arguments = L"",
              DWORD limitMs = 60000)
    {
        PROCESS_INFORMATION info = Start(immediateExit, headless, arguments);
        if (!info.hProcess) {
            return STILL_ACTIVE;
        }
        const DWORD code = WaitForExitCode(info.hProcess, limitMs);
        if (code == STILL_ACTIVE) {
            TerminateProcess(info.hProcess, 1);
        }
        CloseHandle(info.hProcess);
        return code;
    }

    cScratchFolder Folder{L"tavrin-launcher-"};

private:
    std::wstring Launcher;
};

}  // namespace tavrin::test
