// Fuzz entry for the language file parser:
//   clang++ -std=c++20 -fsanitize=fuzzer,address,undefined -Isrc \
//       tests/localization/localization_fuzz.cpp src/localization/localization.cpp \
//       src/base/strings.cpp
#include <cstddef>
#include <cstdint>
#include <string>

#include "localization/localization.h"

namespace {

// What any stored value must look like, whatever the input.
bool IsWellFormedValue(const std::string& value)
{
    return !value.empty() && value.front() != ' ' && value.back() != ' ' &&
           value.find_first_of("\";") == std::string::npos && value.find("  ") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    tavrin::launcher::cLocalization table;
    std::wstring error;
    const bool loaded = table.LoadText(text, error);
    if (loaded != error.empty() || (size == 0 && loaded)) {
        __builtin_trap();
    }
    for (const char* key : {"launcher.loading", "launcher.btn_exit", "a.b", "s.a", "launcher_error.x"}) {
        std::string value;
        if (table.GetValue(key, value) && !IsWellFormedValue(value)) {
            __builtin_trap();
        }
    }
    // A second load into the same table starts from a clean parse state.
    table.LoadText("s:\n{\n a = b;\n}\n", error);
    std::string value;
    if (!table.GetValue("s.a", value) || value != "b") {
        __builtin_trap();
    }
    return 0;
}
