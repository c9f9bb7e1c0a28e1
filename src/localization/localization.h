// One loaded language table: "<section>.<key>" entries read from ".cfg" files,
// and the lookup of user-visible texts with a built-in English fallback.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tavrin::launcher {

// Once set (after a language's fonts turned out to be missing), every table
// answers with the built-in texts. Never cleared.
extern std::atomic<bool> gUseBuiltInTexts;

class cLocalization {
public:
    cLocalization() = default;
    cLocalization(const cLocalization&) = delete;
    cLocalization& operator=(const cLocalization&) = delete;

    // Reads the whole file and parses it into the table (Windows only).
    // A missing, unreadable or empty file leaves the table untouched.
    bool LoadFile(const std::wstring& path, std::wstring& error);

    // Picks the best ".cfg" file of the directory for the language and
    // region and loads it; localeName is the chosen file name without
    // ".cfg" (Windows only).
    bool LoadFromDirectory(const std::wstring& directory, const std::string& language,
                           const std::string& region, std::string& localeName, std::wstring& error);

    // Replaces the held file text by these bytes and parses them into the
    // table. Entries read before a broken line stay.
    bool LoadText(std::string fileText, std::wstring& error);

    // key is "<section>.<key>"; value is written only when the entry exists.
    bool GetValue(const std::string& key, std::string& value) const;

    // The entry for key, else builtIn; "{0}", "{1}"... filled from args.
    std::string GetText(const std::string& key, const std::string& builtIn,
                        const std::vector<std::string>& args = {}) const;

    // System font file names the language asks for: 0 regular, 1 bold,
    // 2 light. False (and an empty map) unless all three are named.
    bool GetFontFileNames(std::map<uint32_t, std::string>& names) const;

private:
    // Both run with Lock held.
    bool Parse(std::wstring& error);
    bool ParseLine(const std::string& line, int64_t lineOffset, std::wstring& error);

    std::string FileText;
    std::string CurrentSection;
    int64_t BlockStart = -1;
    mutable std::mutex Lock;
    std::map<std::string, std::map<std::string, std::string>> Sections;
};

// Why a language file's text will not read as its author meant, or null:
// a leading UTF-8 byte-order mark becomes part of the first section's name,
// and without any line feed no line is ever complete.
const char* LanguageFileQuirk(const std::string& fileText);

// Cuts text into the non-empty runs between separator characters.
std::vector<std::string> SplitTokens(const std::string& text, const char* separators);

}  // namespace tavrin::launcher
