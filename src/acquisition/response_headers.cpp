#include "acquisition/response_headers.h"

#include <string_view>

namespace tavrin::launcher {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsLineEndOrBlank(char c) { return IsBlank(c) || c == '\r' || c == '\n'; }

}  // namespace

std::string AsciiLower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

size_t ParseResponseHeaderLine(const char* data, size_t size, HeaderMap* headers)
{
    if (headers == nullptr || data == nullptr || size == 0) {
        return 0;
    }
    const std::string_view line(data, size);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return size;
    }
    size_t begin = colon + 1;
    while (begin < size && IsBlank(line[begin])) {
        ++begin;
    }
    // Trim the line ending itself rather than a fixed two bytes: a line that
    // ends in a bare LF, or in nothing, must not lose value bytes.
    size_t end = size;
    while (end > begin && IsLineEndOrBlank(line[end - 1])) {
        --end;
    }
    (*headers)[AsciiLower(std::string(line.substr(0, colon)))] = std::string(line.substr(begin, end - begin));
    return size;
}

}  // namespace tavrin::launcher
