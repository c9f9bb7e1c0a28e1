// A small key-value scanner for flat settings objects whose values are all
// quoted strings. It never rejects a file for its syntax: malformed content
// only leaves entries out or misplaces them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace tavrin {

class JsonReader {
public:
    // Reads the whole file and scans it. Clears error first; false with a
    // message when the path is empty, the file is unreadable or empty.
    bool Load(const std::wstring& path, std::string& error);

    // Scans the bytes into the two tables (replacing earlier content).
    // False only for an empty buffer.
    bool Scan(const uint8_t* data, size_t size);
    bool Scan(std::string_view text);

    // Exact byte-wise lookups; the out value is untouched when absent.
    bool GetString(const std::string& key, std::string& value) const;
    bool GetBool(const std::string& key, bool& value) const;

    const std::map<std::string, bool>& BoolTable() const { return Bools; }
    const std::map<std::string, std::string>& StringTable() const { return Strings; }

private:
    void Store(std::string_view key, std::string_view value);

    std::map<std::string, bool> Bools;
    std::map<std::string, std::string> Strings;
};

// Escapes text for use between JSON quotes; bytes from 32 up pass unchanged.
std::string EscapeJsonString(const std::string& input);

}  // namespace tavrin
