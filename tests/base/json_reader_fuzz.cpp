// Fuzz entry for the settings scanner:
//   clang++ -std=c++20 -fsanitize=fuzzer,address,undefined -Isrc \
//       tests/base/json_reader_fuzz.cpp src/base/json_reader.cpp
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/json_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tavrin::JsonReader reader;
    const bool scanned = reader.Scan(data, size);
    if (scanned != (size != 0)) {
        __builtin_trap();
    }
    std::string text;
    bool flag = false;
    reader.GetString("productid", text);
    reader.GetBool("hide_gui", flag);
    for (const auto& [key, value] : reader.StringTable()) {
        // Collapsing leaves no two adjacent backslashes.
        if (value.find("\\\\") != std::string::npos) {
            __builtin_trap();
        }
    }
    tavrin::EscapeJsonString(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
