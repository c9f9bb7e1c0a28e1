// Response header lines as the transfer delivers them, one at a time.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace tavrin::launcher {

using HeaderMap = std::map<std::string, std::string>;

// Stores "Name: value" under the lower-cased name (a repeated header
// replaces the earlier one). Returns the bytes consumed: the whole line, or 0
// (which fails the transfer) when there is no map or no data.
size_t ParseResponseHeaderLine(const char* data, size_t size, HeaderMap* headers);

// A to Z only; other bytes, UTF-8 included, stay as they are.
std::string AsciiLower(std::string text);

}  // namespace tavrin::launcher
