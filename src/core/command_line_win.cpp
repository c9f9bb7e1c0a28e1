#include "core/command_line.h"

#include <windows.h>

#include "base/files_win.h"

namespace tavrin::launcher {

uint32_t GetLauncherDirectory(std::string& directory)
{
    directory.clear();
    std::string path;
    if (!GetModulePath(path)) {
        return DirectoryNoModulePath;
    }
    return DirectoryOfPath(path, directory);
}

std::string GetIconPath()
{
    std::string path;
    if (!GetModulePath(path)) {
        path.clear();
    }
    return IconPathFor(path);
}

std::vector<std::string> GetProcessArguments()
{
    const wchar_t* commandLine = GetCommandLineW();
    if (commandLine == nullptr) {
        return {};
    }
    const std::string text = Utf16ToUtf8(commandLine);
    return SplitCommandLine(text.c_str());
}

}  // namespace tavrin::launcher
