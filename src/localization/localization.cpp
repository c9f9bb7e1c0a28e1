#include "localization/localization.h"

#include <utility>

#include "base/strings.h"
#include "base/text_pieces.h"
#include "localization/messages.h"

namespace tavrin::launcher {

std::atomic<bool> gUseBuiltInTexts{false};

namespace {

constexpr const char* kBlanks = " \t\r\n";
// Tabs stay inside tokens: only these split an entry.
constexpr const char* kEntrySeparators = " ;\"";

std::wstring PositionError(const wchar_t* expected, int64_t position)
{
    return std::wstring(L"Expected ") + expected + L" at position " + std::to_wstring(position);
}

std::string JoinValue(const std::vector<std::string>& tokens)
{
    std::string value = tokens[2];
    for (size_t i = 3; i < tokens.size(); ++i) {
        value += ' ';
        value += tokens[i];
    }
    return value;
}

}  // namespace

std::vector<std::string> SplitTokens(const std::string& text, const char* separators)
{
    std::vector<std::string> tokens;
    for (const TextPiece& token : SplitText(text, {.Separators = separators, .KeepEmpty = false})) {
        tokens.emplace_back(token.Text);
    }
    return tokens;
}

const char* LanguageFileQuirk(const std::string& fileText)
{
    if (fileText.rfind("\xEF\xBB\xBF", 0) == 0) {
        return "starts with a byte-order mark, its first section cannot be found";
    }
    if (fileText.find('\r') != std::string::npos && fileText.find('\n') == std::string::npos) {
        return "ends its lines with a bare CR, nothing in it is read";
    }
    return nullptr;
}

bool cLocalization::LoadText(std::string fileText, std::wstring& error)
{
    std::lock_guard<std::mutex> guard(Lock);
    FileText = std::move(fileText);
    return Parse(error);
}

bool cLocalization::Parse(std::wstring& error)
{
    error.clear();
    CurrentSection.clear();
    BlockStart = -1;
    if (FileText.empty()) {
        error = L"Config file data empty";
        return false;
    }
    // Text after the last line feed is never read; line breaks after a line
    // feed are skipped, so blank lines never reach the parser.
    const SplitRules lines{.Separators = "\n", .KeepUnterminated = false, .SkipAfterSeparator = "\r\n"};
    for (const TextPiece& line : SplitText(FileText, lines)) {
        if (!ParseLine(std::string(line.Text), static_cast<int64_t>(line.Offset), error)) {
            error = L"Config parsing error";
            return false;
        }
    }
    return true;
}

bool cLocalization::ParseLine(const std::string& line, int64_t lineOffset, std::wstring& error)
{
    size_t first = line.find_first_not_of(kBlanks);
    if (first == std::string::npos || line[first] == '#' || line.compare(first, 2, "//") == 0) {
        return true;
    }
    size_t last = line.find_last_not_of(kBlanks);

    if (CurrentSection.empty()) {
        if (line[last] == ':') {
            CurrentSection = line.substr(first, last - first);
        }
        return true;
    }
    if (BlockStart == -1) {
        BlockStart = lineOffset + static_cast<int64_t>(first);
        if (line[first] == '{') {
            return true;
        }
        error = PositionError(L"'{'", BlockStart);
        return false;
    }
    if (line[first] == '}') {
        CurrentSection.clear();
        BlockStart = -1;
        return true;
    }

    int64_t position = lineOffset + static_cast<int64_t>(first);
    std::vector<std::string> tokens = SplitTokens(line.substr(first, last - first + 1), kEntrySeparators);
    if (tokens.size() < 3) {
        error = PositionError(L"an expression", position);
        return false;
    }
    if (tokens[1] != "=") {
        error = PositionError(L"'='", position);
        return false;
    }
    Sections[CurrentSection][tokens[0]] = JoinValue(tokens);
    return true;
}

bool cLocalization::GetValue(const std::string& key, std::string& value) const
{
    std::vector<std::string> parts = SplitTokens(key, ".");
    if (parts.size() != 2) {
        return false;
    }
    std::lock_guard<std::mutex> guard(Lock);
    auto section = Sections.find(parts[0]);
    if (section == Sections.end()) {
        return false;
    }
    auto entry = section->second.find(parts[1]);
    if (entry == section->second.end()) {
        return false;
    }
    value = entry->second;
    return true;
}

std::string cLocalization::GetText(const std::string& key, const std::string& builtIn,
                                   const std::vector<std::string>& args) const
{
    std::string text;
    if (gUseBuiltInTexts.load() || !GetValue(key, text)) {
        text = builtIn;
    }
    tavrin::FormatPlaceholders(text, args);
    return text;
}

bool cLocalization::GetFontFileNames(std::map<uint32_t, std::string>& names) const
{
    static constexpr MessageText kFonts[] = {kMsgFontRegular, kMsgFontBold, kMsgFontLight};
    names.clear();
    for (uint32_t i = 0; i < 3; ++i) {
        names[i] = GetText(kFonts[i].Key, kFonts[i].Text);
        if (names[i].empty()) {
            names.clear();
            return false;
        }
    }
    return true;
}

}  // namespace tavrin::launcher
