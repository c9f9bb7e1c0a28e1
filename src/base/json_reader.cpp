#include "base/json_reader.h"

#include <cstdio>

namespace tavrin {

namespace {

constexpr size_t kNone = std::string_view::npos;

// The text between the first quote at or after pos and the next quote.
// No escape handling: a backslash does not protect a quote.
bool ExtractQuoted(std::string_view text, size_t pos, std::string_view& out)
{
    if (pos >= text.size()) {
        return false;
    }
    const size_t open = text.find('"', pos);
    if (open == kNone) {
        return false;
    }
    const size_t close = text.find('"', open + 1);
    if (close == kNone) {
        return false;
    }
    out = text.substr(open + 1, close - open - 1);
    return true;
}

bool IsSingleDigit(std::string_view value) { return value.size() == 1 && value[0] >= '0' && value[0] <= '9'; }

// Every run of two or more backslashes becomes a single one.
std::string CollapseBackslashes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\' && !out.empty() && out.back() == '\\') {
            continue;
        }
        out.push_back(c);
    }
    return out;
}

}  // namespace

void JsonReader::Store(std::string_view key, std::string_view value)
{
    std::string name(key);
    if (IsSingleDigit(value)) {
        Bools.emplace(std::move(name), value[0] != '0');
    } else if (value == "true" || value == "false") {
        Bools.emplace(std::move(name), value == "true");
    } else {
        Strings.emplace(std::move(name), CollapseBackslashes(value));
    }
}

bool JsonReader::Scan(std::string_view text)
{
    Bools.clear();
    Strings.clear();
    const size_t n = text.size();
    if (n == 0) {
        return false;
    }
    if (n == 1) {
        return true;
    }
    size_t p = 0;
    for (;;) {
        std::string_view key;
        if (!ExtractQuoted(text, p, key)) {
            return true;
        }
        // Counted from p, not from the key's closing quote: after leading
        // text, a colon inside the key itself is taken. Keys carry none.
        const size_t colon = text.find(':', p + key.size() + 1);
        if (colon == kNone) {
            return true;
        }
        std::string_view value;
        if (!ExtractQuoted(text, colon, value)) {
            return true;
        }
        Store(key, value);
        const size_t comma = text.find(',', colon + 1);
        if (comma == kNone) {
            return true;
        }
        p = comma + 1;
        if (p >= n - 1) {
            return true;
        }
    }
}

bool JsonReader::Scan(const uint8_t* data, size_t size)
{
    if (data == nullptr) {
        size = 0;
    }
    return Scan(std::string_view(reinterpret_cast<const char*>(data), size));
}

bool JsonReader::GetString(const std::string& key, std::string& value) const
{
    const auto it = Strings.find(key);
    if (it == Strings.end()) {
        return false;
    }
    value = it->second;
    return true;
}

bool JsonReader::GetBool(const std::string& key, bool& value) const
{
    const auto it = Bools.find(key);
    if (it == Bools.end()) {
        return false;
    }
    value = it->second;
    return true;
}

std::string EscapeJsonString(const std::string& input)
{
    std::string out;
    out.reserve(input.size());
    for (const char c : input) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '\b':
            out += "\\b";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\r':
            out += "\\r";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (byte < 32) {
                char code[8];
                std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(byte));
                out += code;
            } else {
                out.push_back(c);
            }
        }
    }
    return out;
}

}  // namespace tavrin
