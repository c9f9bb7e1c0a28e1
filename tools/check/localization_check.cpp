#include "check/localization_check.h"

#include <vector>

#include "check/settings_check.h"
#include "localization/localization.h"
#include "localization/messages.h"

namespace tavrin::check {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kSeparators = " ;\"";

std::string Quote(std::string_view text) { return "'" + Printable(text) + "'"; }

std::vector<std::string_view> KnownSections() { return {"launcher", "launcher_error", "windows_fonts"}; }

std::vector<std::string_view> KnownKeys()
{
    std::vector<std::string_view> keys;
    for (const launcher::MessageText& message : launcher::kAllMessages) {
        keys.push_back(message.Key);
    }
    return keys;
}

bool IsKnownKey(const std::string& key)
{
    for (std::string_view known : KnownKeys()) {
        if (known == key) {
            return true;
        }
    }
    return false;
}

// A value cannot be empty, hold a quote or a semicolon, or begin or end with
// a space; built-in texts like that stay built in.
bool CanBeWrittenInAFile(std::string_view text)
{
    return !text.empty() && text.front() != ' ' && text.back() != ' ' &&
           text.find_first_of("\";") == std::string_view::npos;
}

// Why an entry line has no "key = value" shape for the launcher.
std::string BrokenEntryReason(std::string_view body, const std::vector<std::string>& tokens)
{
    if (body.find("\"\"") != std::string_view::npos) {
        return "an empty pair of quotes leaves no value";
    }
    if (!tokens.empty() && tokens[0].find('\t') != std::string::npos) {
        return "a tab does not separate the key from '='";
    }
    if (!tokens.empty() && tokens[0].find('=') != std::string::npos) {
        return "'=' must stand apart from the key";
    }
    if (tokens.size() >= 2 && tokens[1] != "=" && tokens[1].find('=') != std::string::npos) {
        return "'=' must stand apart from the value";
    }
    return "expected: key = \"value\";";
}

class cCfgWalk {
public:
    cCfgWalk(std::string_view text, const std::string& fileName, cReport& report)
        : Text(text), File(fileName), Report(report)
    {
    }

    CfgEntries Run()
    {
        CheckByteOrderMark();
        size_t start = 0;
        int line = 1;
        while (start < Text.size() && !Stopped) {
            const size_t end = Text.find('\n', start);
            if (end == std::string_view::npos) {
                CheckUnterminatedLine(Text.substr(start), line);
                break;
            }
            WalkLine(Text.substr(start, end - start), line);
            start = end + 1;
            ++line;
        }
        if (!Stopped && !Section.empty()) {
            Report.Note(File, SectionLine, "section " + Quote(Section) + " is not closed with '}'");
        }
        return Entries;
    }

    bool StoppedEarly() const { return Stopped; }

private:
    void CheckByteOrderMark()
    {
        if (Text.substr(0, kByteOrderMark.size()) != kByteOrderMark) {
            return;
        }
        Report.Warn(File, 1,
                    "the file starts with a UTF-8 byte-order mark: it becomes part of the first line, so "
                    "the first section is read under another name and its entries are never found; save "
                    "as UTF-8 without one");
    }

    void CheckUnterminatedLine(std::string_view rest, int line)
    {
        const size_t first = rest.find_first_not_of(kBlanks);
        if (first == std::string_view::npos || rest[first] == '}' || rest[first] == '#' ||
            rest.substr(first, 2) == "//") {
            return;
        }
        Report.Warn(File, line, "the last line has no line feed: the launcher never reads it");
    }

    void StopAt(int line, const std::string& why)
    {
        Stopped = true;
        Report.Warn(File, line,
                    why + ": the launcher stops reading the file here; this line and every line below it "
                          "are lost (English texts show instead)");
    }

    void WalkLine(std::string_view raw, int line)
    {
        const size_t first = raw.find_first_not_of(kBlanks);
        if (first == std::string_view::npos || raw[first] == '#' || raw.substr(first, 2) == "//") {
            return;
        }
        const size_t last = raw.find_last_not_of(kBlanks);
        const std::string_view body = raw.substr(first, last - first + 1);
        if (Section.empty()) {
            OutsideSection(body, line);
        } else if (!InBlock) {
            if (body[0] != '{') {
                StopAt(line, "expected '{' after the header on line " + std::to_string(SectionLine));
                return;
            }
            InBlock = true;
            IgnoredRest(body, line, '{');
        } else if (body[0] == '}') {
            IgnoredRest(body, line, '}');
            Section.clear();
            InBlock = false;
        } else {
            EntryLine(body, line);
        }
    }

    void OutsideSection(std::string_view body, int line)
    {
        if (body.back() != ':') {
            Report.Warn(File, line, "outside any section: the launcher ignores this line");
            return;
        }
        Section = std::string(body.substr(0, body.size() - 1));
        SectionLine = line;
        if (!Section.empty() && (Section.back() == ' ' || Section.back() == '\t')) {
            Report.Warn(File, line, "the section name " + Quote(Section) + " ends in a blank, which is kept");
        } else if (Section.find('.') != std::string::npos) {
            Report.Warn(File, line, "a section name with '.' can never be looked up");
        }
        if (Section.empty()) {
            // The launcher still waits for '{' after a bare ':' but keeps no section.
            Report.Warn(File, line, "a header without a name: the launcher ignores it");
            return;
        }
        bool known = false;
        for (std::string_view name : KnownSections()) {
            known = known || name == Section;
        }
        if (!known && Section.substr(0, kByteOrderMark.size()) != kByteOrderMark) {
            const std::string nearest = NearestName(Section, KnownSections());
            Report.Warn(File, line,
                        "unknown section " + Quote(Section) +
                            (nearest.empty() ? std::string() : ": did you mean '" + nearest + "'?"));
        }
    }

    void IgnoredRest(std::string_view body, int line, char brace)
    {
        if (body.size() > 1 && body.substr(1).find_first_not_of(kBlanks) != std::string_view::npos) {
            Report.Warn(File, line, std::string("text after '") + brace + "' is ignored");
        }
    }

    void EntryLine(std::string_view body, int line)
    {
        const std::vector<std::string> tokens = launcher::SplitTokens(std::string(body), kSeparators);
        if (tokens.size() < 3 || tokens[1] != "=") {
            StopAt(line, BrokenEntryReason(body, tokens));
            return;
        }
        std::string value = tokens[2];
        for (size_t i = 3; i < tokens.size(); ++i) {
            value += " " + tokens[i];
        }
        CheckValueShape(body, value, line);
        const std::string key = Section + "." + tokens[0];
        if (tokens[0].find('.') != std::string::npos) {
            Report.Warn(File, line, "a key with '.' can never be looked up");
            return;
        }
        auto [it, inserted] = Entries.insert({key, {value, line}});
        if (!inserted) {
            Report.Warn(File, line,
                        Quote(key) + " was already set on line " + std::to_string(it->second.Line) +
                            "; this later value replaces it");
            it->second = {value, line};
        }
    }

    // Words after the closing semicolon, and blanks the tokenizer squeezes.
    void CheckValueShape(std::string_view body, const std::string& value, int line)
    {
        const size_t equals = body.find('=');
        const size_t semicolon = body.find(';', equals);
        if (semicolon != std::string_view::npos &&
            body.substr(semicolon).find_first_not_of(" \t;\"") != std::string_view::npos) {
            Report.Warn(File, line,
                        "text after ';' becomes part of the value (there are no end-of-line comments): " +
                            Quote(value));
        }
        const size_t open = body.find('"', equals);
        const size_t close = open == std::string_view::npos ? open : body.find('"', open + 1);
        if (close != std::string_view::npos) {
            const std::string_view quoted = body.substr(open + 1, close - open - 1);
            if (!quoted.empty() && (quoted.find("  ") != std::string_view::npos || quoted.front() == ' ' ||
                                    quoted.back() == ' ')) {
                Report.Note(File, line,
                            "spaces inside the quotes are squeezed: the launcher shows " + Quote(value));
            }
        }
    }

    std::string_view Text;
    std::string File;
    cReport& Report;
    CfgEntries Entries;
    std::string Section;
    int SectionLine = 0;
    bool InBlock = false;
    bool Stopped = false;
};

// Confirms the walk with the launcher's own parser, so a rule this walk
// misses still shows as a difference.
void ConfirmWithLauncherParser(std::string_view text, bool stoppedEarly, CfgEntries& entries,
                               const std::string& fileName, cReport& report)
{
    launcher::cLocalization table;
    std::wstring error;
    const bool parsed = table.LoadText(std::string(text), error);
    if (!parsed && !stoppedEarly) {
        report.Warn(fileName, 0, "the launcher stops reading this file with a parse error");
    }
    for (auto it = entries.begin(); it != entries.end();) {
        std::string value;
        if (!table.GetValue(it->first, value)) {
            report.Warn(fileName, it->second.Line, "the launcher does not find " + Quote(it->first));
            it = entries.erase(it);
            continue;
        }
        if (value != it->second.Value) {
            report.Warn(fileName, it->second.Line,
                        "the launcher reads " + Quote(it->first) + " as " + Quote(value));
            it->second.Value = value;
        }
        ++it;
    }
}

std::vector<std::string> Placeholders(const std::string& text)
{
    std::vector<std::string> found;
    for (int i = 0; i < 10; ++i) {
        const std::string mark = "{" + std::to_string(i) + "}";
        if (text.find(mark) != std::string::npos) {
            found.push_back(mark);
        }
    }
    return found;
}

// The English text of a key: the English file's, else the built-in one.
std::string EnglishText(const std::string& key, const CfgEntries* english)
{
    if (english != nullptr) {
        const auto it = english->find(key);
        if (it != english->end()) {
            return it->second.Value;
        }
    }
    for (const launcher::MessageText& message : launcher::kAllMessages) {
        if (key == message.Key) {
            return message.Text;
        }
    }
    return {};
}

}  // namespace

CfgEntries CheckLocalizationText(std::string_view text, const std::string& fileName, cReport& report)
{
    if (text.empty()) {
        report.Warn(fileName, 0, "the file is empty: the launcher cannot load it");
        return {};
    }
    cCfgWalk walk(text, fileName, report);
    CfgEntries entries = walk.Run();
    ConfirmWithLauncherParser(text, walk.StoppedEarly(), entries, fileName, report);
    return entries;
}

void CompareWithEnglish(const CfgEntries& entries, const CfgEntries* english, const std::string& fileName,
                        cReport& report)
{
    for (const auto& [key, entry] : entries) {
        if (!IsKnownKey(key)) {
            const std::string nearest = NearestName(key, KnownKeys());
            report.Warn(fileName, entry.Line,
                        "unknown key " + Quote(key) + ": the launcher never asks for it" +
                            (nearest.empty() ? std::string() : "; did you mean '" + nearest + "'?"));
        }
    }
    std::vector<std::string> missing;
    if (english != nullptr) {
        for (const auto& [key, entry] : *english) {
            if (entries.count(key) == 0) {
                missing.push_back(key);
            }
        }
    } else {
        for (const launcher::MessageText& message : launcher::kAllMessages) {
            if (entries.count(message.Key) == 0 && CanBeWrittenInAFile(message.Text)) {
                missing.push_back(message.Key);
            }
        }
    }
    if (!missing.empty()) {
        std::string list;
        for (const std::string& key : missing) {
            list += (list.empty() ? "" : ", ") + key;
        }
        // The English file's gaps show the same English texts, built in.
        const Severity level =
            english == nullptr && fileName == "en_us.cfg" ? Severity::Note : Severity::Warning;
        report.Add(level, fileName, 0,
                   std::to_string(missing.size()) + " key(s) missing against " +
                       (english != nullptr ? "the English file" : "the built-in texts") +
                       ", shown in English: " + list);
    }
    for (const auto& [key, entry] : entries) {
        for (const std::string& mark : Placeholders(EnglishText(key, english))) {
            if (entry.Value.find(mark) == std::string::npos) {
                report.Warn(fileName, entry.Line,
                            Quote(key) + " drops the placeholder " + mark + ": that detail is not shown");
            }
        }
    }
    const int fonts =
        static_cast<int>(entries.count("windows_fonts.regular") + entries.count("windows_fonts.bold") +
                         entries.count("windows_fonts.light"));
    if (fonts > 0 && fonts < 3) {
        report.Warn(fileName, 0,
                    "windows_fonts names only some of regular, bold and light: the launcher uses its "
                    "built-in fonts");
    }
}

}  // namespace tavrin::check
