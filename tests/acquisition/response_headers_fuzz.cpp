// Fuzz entry for the response-header line parser: one input is a run of
// header lines as the transfer delivers them, cut at each line feed.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "acquisition/response_headers.h"

using namespace tavrin::launcher;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    HeaderMap headers;
    size_t start = 0;
    while (start < input.size()) {
        const size_t end = input.find('\n', start);
        const size_t length = (end == std::string_view::npos ? input.size() : end + 1) - start;
        // Copied so that a read past the line is a read past its own buffer.
        const std::string line(input.substr(start, length));
        if (ParseResponseHeaderLine(line.data(), line.size(), &headers) != line.size()) {
            __builtin_trap();
        }
        start += length;
    }
    for (const auto& [name, value] : headers) {
        // Stored names are lower case and never empty; values carry no line ending.
        if (name.empty() || name != AsciiLower(name)) {
            __builtin_trap();
        }
        if (!value.empty() && (value.back() == '\n' || value.back() == '\r')) {
            __builtin_trap();
        }
    }
    return 0;
}
