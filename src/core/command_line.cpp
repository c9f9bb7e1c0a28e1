#include "core/command_line.h"

#include <algorithm>

#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

constexpr const char* kSettingsOption = "-anticheat_settings=";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

const char* SkipProgramName(const char* text)
{
    if (*text == '"') {
        ++text;
        while (*text != '\0' && *text != '"') {
            ++text;
        }
        return *text == '"' ? text + 1 : text;
    }
    while (*text != '\0' && !IsBlank(*text)) {
        ++text;
    }
    return text;
}

std::string WithoutQuotes(const std::string& text)
{
    std::string copy;
    copy.reserve(text.size());
    for (const char c : text) {
        if (c != '"' && c != '\'') {
            copy.push_back(c);
        }
    }
    return copy;
}

// The settings file name when the argument carries an accepted option.
bool ParseSettingsOption(const std::string& argument, std::string& fileName)
{
    if (argument.find(kSettingsOption) == std::string::npos) {
        return false;
    }
    const std::string copy = WithoutQuotes(argument);
    const size_t pos = copy.find(kSettingsOption);
    const bool accepted = pos == 0 || (pos == 1 && copy[0] == '-');
    if (!accepted) {
        return false;
    }
    fileName = copy.substr(pos + std::char_traits<char>::length(kSettingsOption));
    return true;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const char* commandLine)
{
    std::vector<std::string> arguments;
    if (commandLine == nullptr) {
        return arguments;
    }
    const char* c = SkipProgramName(commandLine);
    while (IsBlank(*c)) {
        ++c;
    }
    std::string token;
    bool inQuotes = false;
    unsigned backslashes = 0;
    for (; *c != '\0'; ++c) {
        if (inQuotes || !IsBlank(*c)) {
            token.push_back(*c);
            if (*c == '\\') {
                ++backslashes;
                continue;
            }
            if (*c == '"' && backslashes % 2 == 0) {
                inQuotes = !inQuotes;
            }
            backslashes = 0;
            continue;
        }
        if (!token.empty()) {
            arguments.push_back(std::move(token));
            token.clear();
        }
        backslashes = 0;
    }
    if (!token.empty()) {
        arguments.push_back(std::move(token));
    }
    return arguments;
}

bool IsVerboseOption(const std::string& argument) { return argument == "-v" || argument == "--verbose"; }

uint32_t LogLevelFromArguments(const std::vector<std::string>& arguments)
{
    const bool verbose = std::any_of(arguments.begin(), arguments.end(), IsVerboseOption);
    return verbose ? VeryVerbose : Info;
}

void ReadSettingsOption(std::vector<std::string>& arguments, std::string& fileName)
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (ParseSettingsOption(arguments[i], fileName)) {
            const std::string original = arguments[i];
            std::erase(arguments, original);
            return;
        }
    }
    fileName = "Settings.json";
}

uint32_t DirectoryOfPath(const std::string& path, std::string& directory)
{
    directory.clear();
    const size_t last = path.find_last_of("\\/");
    if (last == std::string::npos || last + 1 == path.size()) {
        return DirectoryNone;
    }
    directory = path.substr(0, last + 1);
    return DirectoryFound;
}

std::string IconPathFor(const std::string& executablePath)
{
    const size_t last = executablePath.rfind('\\');
    std::string path = last == std::string::npos ? std::string() : executablePath.substr(0, last + 1);
    return path + "Tavrin\\BootstrapperIcon.ico";
}

}  // namespace tavrin::launcher
