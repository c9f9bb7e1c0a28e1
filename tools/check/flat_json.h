// A strict reading of a flat JSON object (string keys, any values), used to
// tell what a settings file means as JSON apart from what the launcher's
// tolerant scanner takes from it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::check {

struct JsonEntry {
    std::string Key;
    size_t KeyOffset = 0;           // of the key's opening quote
    bool Quoted = false;            // the value is a JSON string
    std::string Value;              // decoded string, or the raw text of any other value
    std::string_view Raw;           // the bytes between the quotes, or the whole unquoted value
    size_t ValueOffset = 0;         // of the value's first byte (its opening quote for strings)
    bool EscapedQuote = false;      // \" inside the value
    bool MeaningfulEscape = false;  // \n \t \r \b \f \/ or a \u escape inside the value
    bool InvalidEscape = false;     // a backslash JSON does not allow (C:\Games)
};

struct FlatObject {
    bool ByteOrderMark = false;
    std::vector<JsonEntry> Entries;
    bool Complete = false;  // the object closed and nothing but blanks follows
    size_t ErrorOffset = 0;
    std::string Error;  // the first syntax error; reading stops there
};

FlatObject ReadFlatObject(std::string_view text);

}  // namespace tavrin::check
