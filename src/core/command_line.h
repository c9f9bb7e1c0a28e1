// The launcher's command line: splitting it into the game's arguments, the
// two options the launcher reads, and the paths derived from its own location.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::launcher {

// Splits a UTF-8 command line without its program name. Quote characters stay
// in the arguments as typed. A null command line gives an empty list.
std::vector<std::string> SplitCommandLine(const char* commandLine);

// Exactly "-v" or "--verbose".
bool IsVerboseOption(const std::string& argument);

// 5 when any argument is a verbose option, otherwise 3.
uint32_t LogLevelFromArguments(const std::vector<std::string>& arguments);

// Finds the "-anticheat_settings=" option, sets fileName from it and removes
// every copy of that argument; "Settings.json" when there is none.
void ReadSettingsOption(std::vector<std::string>& arguments, std::string& fileName);

enum DirectoryResult : uint32_t {
    DirectoryNone = 0,
    DirectoryFound = 1,
    DirectoryNoModulePath = 3,
};

// The path up to and including its last '\' or '/'. DirectoryNone (and an
// empty directory) when there is no separator or the path ends with one.
uint32_t DirectoryOfPath(const std::string& path, std::string& directory);

// The window icon file for an executable path: its directory (only '\'
// counts) + "Tavrin\BootstrapperIcon.ico".
std::string IconPathFor(const std::string& executablePath);

// Windows only: the running executable's directory (DirectoryResult values),
// the icon path for it and the process's own split command line.
uint32_t GetLauncherDirectory(std::string& directory);
std::string GetIconPath();
std::vector<std::string> GetProcessArguments();

}  // namespace tavrin::launcher
