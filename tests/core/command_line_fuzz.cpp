// Fuzz entry for the command-line split and the options read from it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/command_line.h"

using namespace tavrin::launcher;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The operating system hands over a terminated string: stop at the first zero.
    const std::string line(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> arguments = SplitCommandLine(line.c_str());
    size_t total = 0;
    for (const std::string& argument : arguments) {
        if (argument.empty()) {
            __builtin_trap();
        }
        total += argument.size();
    }
    if (total > line.size()) {
        __builtin_trap();
    }
    LogLevelFromArguments(arguments);
    // Only the first accepted option is read and taken out of the list (with
    // its copies); a later, different one goes on to the game like any
    // argument.
    const size_t before = arguments.size();
    bool accepted = false;
    for (const std::string& argument : arguments) {
        accepted = accepted || (argument.rfind("-anticheat_settings=", 0) == 0 &&
                                argument.find_first_of("\"'") == std::string::npos);
    }
    std::string fileName;
    ReadSettingsOption(arguments, fileName);
    if (accepted && arguments.size() >= before) {
        __builtin_trap();
    }
    std::string directory;
    DirectoryOfPath(line.c_str(), directory);
    IconPathFor(line.c_str());
    return 0;
}
