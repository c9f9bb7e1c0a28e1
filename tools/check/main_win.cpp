// TavrinCheck: tells a studio whether a game folder will launch, reading the
// folder's files with the launcher's own code.
//   TavrinCheck.exe [--online] [--settings=NAME] <game folder>
// Exit code 0 when the folder will launch, 1 when it will not, 2 for usage.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/files_win.h"
#include "check/folder_check_win.h"

namespace {

constexpr int kExitLaunches = 0;
constexpr int kExitFails = 1;
constexpr int kExitUsage = 2;
constexpr std::string_view kSettingsOption = "--settings=";

void Print(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::vector<std::string> Arguments()
{
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (list == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments.push_back(tavrin::Utf16ToUtf8(list[i]));
    }
    LocalFree(list);
    return arguments;
}

}  // namespace

int main()
{
    tavrin::check::FolderCheckOptions options;
    std::string folder;
    for (const std::string& argument : Arguments()) {
        if (argument == "--online") {
            options.Online = true;
        } else if (argument.rfind(kSettingsOption, 0) == 0 && argument.size() > kSettingsOption.size()) {
            options.SettingsFileName = argument.substr(kSettingsOption.size());
        } else if (folder.empty() && argument.rfind("--", 0) != 0) {
            folder = argument;
        } else {
            folder.clear();
            break;
        }
    }
    if (folder.empty()) {
        Print("usage: TavrinCheck.exe [--online] [--settings=NAME] <game folder>\n"
              "Checks Tavrin/Settings.json, the game executable, the language files, the custom splash\n"
              "and icon, and the CDN override file as the launcher reads them; --online also asks the\n"
              "CDN for a module of every system of the game; --settings names the settings file as the\n"
              "launcher's -anticheat_settings= does. Exit code 0: the folder will launch.\n");
        return kExitUsage;
    }
    // UTF-8 output, so names in other scripts read correctly in a console.
    SetConsoleOutputCP(CP_UTF8);
    tavrin::check::cReport report;
    tavrin::check::CheckGameFolder(folder, options, report);
    Print(report.Format());
    return report.HasErrors() ? kExitFails : kExitLaunches;
}
