#include "check/settings_check.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "base/json_reader.h"
#include "check/flat_json.h"
#include "localization/localization.h"

namespace tavrin::check {

namespace {

enum class KeyKind { Text, Flag };

struct KnownKey {
    std::string_view Name;
    KeyKind Kind;
    bool Required;
};

constexpr KnownKey kKnownKeys[] = {
    {"productid", KeyKind::Text, true},
    {"sandboxid", KeyKind::Text, true},
    {"deploymentid", KeyKind::Text, true},
    {"executable", KeyKind::Text, true},
    {"requested_splash", KeyKind::Text, false},
    {"wait_for_game_process_exit", KeyKind::Flag, false},
    {"title", KeyKind::Text, false},
    {"environment", KeyKind::Text, false},
    {"hide_gui", KeyKind::Flag, false},
    {"hide_bootstrapper", KeyKind::Flag, false},
    {"hide_logo_animation", KeyKind::Flag, false},
};

const KnownKey* FindKnownKey(std::string_view name)
{
    for (const KnownKey& key : kKnownKeys) {
        if (key.Name == name) {
            return &key;
        }
    }
    return nullptr;
}

std::vector<std::string_view> KnownKeyNames()
{
    std::vector<std::string_view> names;
    for (const KnownKey& key : kKnownKeys) {
        names.push_back(key.Name);
    }
    return names;
}

std::string Quote(std::string_view text) { return "'" + Printable(text) + "'"; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// Where the launcher's scan picks up each key: the same walk (first quoted
// text, the colon after it, the quoted text after the colon, the comma after
// the colon), keeping the offset of each key's opening quote.
std::vector<std::pair<std::string, size_t>> ScannerKeyOffsets(std::string_view text)
{
    std::vector<std::pair<std::string, size_t>> keys;
    constexpr size_t kNone = std::string_view::npos;
    size_t p = 0;
    while (text.size() > 1 && p < text.size()) {
        const size_t open = text.find('"', p);
        const size_t close = open == kNone ? kNone : text.find('"', open + 1);
        if (close == kNone) {
            break;
        }
        const size_t colon = text.find(':', p + (close - open - 1) + 1);
        const size_t valueOpen = colon == kNone ? kNone : text.find('"', colon);
        if (valueOpen == kNone || text.find('"', valueOpen + 1) == kNone) {
            break;
        }
        keys.emplace_back(std::string(text.substr(open + 1, close - open - 1)), open);
        const size_t comma = text.find(',', colon + 1);
        if (comma == kNone || comma + 1 >= text.size() - 1) {
            break;
        }
        p = comma + 1;
    }
    return keys;
}

class cSettingsCheck {
public:
    cSettingsCheck(std::string_view text, const std::string& fileName, cReport& report)
        : Text(text), File(fileName), Report(report), Json(ReadFlatObject(text))
    {
        Scanner.Scan(text);
        KeyOffsets = ScannerKeyOffsets(text);
    }

    void Run(cSettings& seen)
    {
        seen.ReadFrom(Scanner);
        CheckSyntax();
        for (size_t i = 0; i < Json.Entries.size(); ++i) {
            CheckEntry(i);
        }
        CheckScannerOnlyKeys();
        CheckStatus(seen);
        CheckEnvironment(seen);
        ListFields(seen);
    }

private:
    int Line(size_t offset) const { return LineOfOffset(Text, offset); }

    void CheckSyntax()
    {
        if (Json.ByteOrderMark) {
            Report.Warn(File, 1,
                        "the file starts with a UTF-8 byte-order mark; the launcher skips it, but save the "
                        "file as UTF-8 without one");
        }
        if (!Json.Complete) {
            Report.Warn(File, Line(Json.ErrorOffset),
                        "not valid JSON here (" + Json.Error +
                            "); the launcher scans on regardless, so check every field below");
        }
    }

    bool SeenBefore(size_t index) const
    {
        for (size_t i = 0; i < index; ++i) {
            if (Json.Entries[i].Key == Json.Entries[index].Key) {
                return true;
            }
        }
        return false;
    }

    void CheckEntry(size_t index)
    {
        const JsonEntry& entry = Json.Entries[index];
        const int line = Line(entry.KeyOffset);
        const std::string name = "\"" + Printable(entry.Key) + "\"";
        if (SeenBefore(index)) {
            Report.Warn(File, line, name + " appears again; the launcher keeps the first value");
        }
        CheckQuirks(entry, name, line);
        const KnownKey* known = FindKnownKey(entry.Key);
        if (known == nullptr) {
            CheckUnknownKey(entry, name, line);
            return;
        }
        if (!SeenBefore(index)) {
            CheckKnownValue(entry, *known, name, line);
        }
    }

    // The scanner's blind spots, whatever the key.
    void CheckQuirks(const JsonEntry& entry, const std::string& name, int line)
    {
        if (!entry.Quoted) {
            std::string taken;
            std::string text = name + " has an unquoted value (" + Printable(entry.Raw, 40) +
                               "): the launcher only reads quoted values";
            if (Scanner.GetString(entry.Key, taken)) {
                text += " and takes the next quoted text, " + Quote(taken) + ", instead";
            }
            Report.Warn(File, line, text);
            return;
        }
        if (entry.EscapedQuote) {
            Report.Warn(File, line,
                        "the value of " + name +
                            " holds an escaped quote: the launcher's value ends at it and the rest of the "
                            "line is read as further keys");
        }
        if (entry.Raw.find(',') != std::string_view::npos) {
            Report.Warn(File, line,
                        "the value of " + name +
                            " holds a comma: the launcher looks for the next key inside this value");
        }
        if (entry.InvalidEscape) {
            Report.Note(File, line,
                        "the value of " + name +
                            " holds a lone backslash, which JSON does not allow; the launcher reads it as "
                            "written, other tools may refuse the file (write \\\\)");
        }
        if (entry.MeaningfulEscape) {
            Report.Warn(File, line,
                        "the value of " + name +
                            " holds a JSON escape (\\n, \\t, \\u...): the launcher keeps it as written; only "
                            "doubled backslashes become one");
        }
    }

    void CheckUnknownKey(const JsonEntry& entry, const std::string& name, int line)
    {
        const std::string nearest = NearestName(entry.Key, KnownKeyNames());
        if (!nearest.empty()) {
            Report.Warn(File, line, "unknown key " + name + ": did you mean \"" + nearest + "\"?");
        } else {
            Report.Note(File, line, "unknown key " + name + " is ignored");
        }
    }

    void CheckKnownValue(const JsonEntry& entry, const KnownKey& known, const std::string& name, int line)
    {
        std::string text;
        bool flag = false;
        const bool asText = Scanner.GetString(entry.Key, text);
        const bool asFlag = Scanner.GetBool(entry.Key, flag);
        if (!entry.Quoted) {
            return;  // told above
        }
        if (known.Kind == KeyKind::Flag) {
            if (!asFlag) {
                Report.Warn(File, line,
                            "the value of " + name + ", " + Quote(entry.Value) +
                                ", is not \"true\", \"false\" or one digit: the launcher reads false");
            }
            return;
        }
        if (asFlag && !asText) {
            Report.Warn(File, line,
                        "the value of " + name + ", " + Quote(entry.Value) +
                            ", is taken as a boolean by the launcher: the text setting stays empty");
            return;
        }
        if (!asText) {
            Report.Warn(File, line, "the launcher does not find " + name + " where it stands");
            return;
        }
        if (text != entry.Value && !entry.EscapedQuote && !entry.MeaningfulEscape) {
            Report.Warn(File, line,
                        "the launcher reads " + name + " as " + Quote(text) + " where the JSON means " +
                            Quote(entry.Value));
        }
    }

    // Keys the scanner reports that the object does not have: pieces of
    // other values, read as keys.
    void CheckScannerOnlyKeys()
    {
        std::set<std::string> keys;
        for (const JsonEntry& entry : Json.Entries) {
            keys.insert(entry.Key);
        }
        auto check = [&](const std::string& key, const std::string& value) {
            if (keys.count(key) != 0) {
                return;
            }
            const auto at = std::find_if(KeyOffsets.begin(), KeyOffsets.end(),
                                         [&](const auto& found) { return found.first == key; });
            const int line = at == KeyOffsets.end() ? 0 : Line(at->second);
            Report.Warn(File, line,
                        "the launcher finds a key " + Quote(key) + " with the value " + Quote(value) +
                            " inside another value");
        };
        for (const auto& [key, value] : Scanner.StringTable()) {
            check(key, value);
        }
        for (const auto& [key, value] : Scanner.BoolTable()) {
            check(key, value ? "true" : "false");
        }
    }

    void CheckStatus(const cSettings& seen)
    {
        if (seen.Status == SettingsLoaded) {
            return;
        }
        launcher::cLocalization builtInTexts;
        const std::string screen = seen.BuildSettingsErrorText(File, builtInTexts);
        if (seen.Status == SettingsMissingField) {
            for (const KnownKey& key : kKnownKeys) {
                std::string value;
                if (key.Required && !Scanner.GetString(std::string(key.Name), value)) {
                    Report.Fail(File, 0,
                                "the launcher does not find the required key \"" + std::string(key.Name) +
                                    "\"");
                }
            }
        } else if (seen.Status == SettingsInvalidIdentifier) {
            std::string value;
            Scanner.GetString(seen.InvalidField, value);
            Report.Fail(File, 0,
                        "\"" + seen.InvalidField + "\" is " + Quote(value) +
                            ": an identifier must be 2 to 64 ASCII letters, digits or '-'");
        } else {
            Report.Fail(File, 0, "the launcher cannot read the settings");
        }
        Report.Fail(File, 0, "the launcher stops with the message: " + Quote(screen));
    }

    void CheckEnvironment(const cSettings& seen)
    {
        if (!seen.IsDevelopmentEnvironment() && EqualIgnoringCase(seen.Environment, "gamedev")) {
            Report.Warn(File, 0,
                        "\"environment\" is " + Quote(seen.Environment) +
                            ": only \"gamedev\", exactly, selects the development CDN; this uses production");
        }
    }

    void ListFields(const cSettings& seen)
    {
        auto text = [](const std::string& value) {
            return value.empty() ? std::string("(empty)") : Quote(value);
        };
        auto flag = [](bool value) { return std::string(value ? "true" : "false"); };
        Report.Field("productid", text(seen.ProductId));
        Report.Field("sandboxid", text(seen.SandboxId));
        Report.Field("deploymentid", text(seen.DeploymentId));
        Report.Field("executable", text(seen.Executable));
        Report.Field("title", text(seen.Title));
        Report.Field("requested_splash", text(seen.RequestedSplash));
        Report.Field("environment",
                     text(seen.Environment) +
                         (seen.IsDevelopmentEnvironment() ? " (development CDN)" : " (production CDN)"));
        Report.Field("wait_for_game_process_exit", flag(seen.WaitForGameProcessExit));
        Report.Field("hide_gui", flag(seen.HideGui));
        Report.Field("hide_bootstrapper", flag(seen.HideBootstrapper));
        Report.Field("hide_logo_animation", flag(seen.HideLogoAnimation));
    }

    std::string_view Text;
    std::string File;
    cReport& Report;
    FlatObject Json;
    JsonReader Scanner;
    std::vector<std::pair<std::string, size_t>> KeyOffsets;
};

}  // namespace

size_t EditDistance(std::string_view a, std::string_view b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const size_t cost = LowerAscii(a[i - 1]) == LowerAscii(b[j - 1]) ? 0 : 1;
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + cost});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string NearestName(std::string_view name, const std::vector<std::string_view>& names)
{
    // Long hostile keys are not worth comparing letter by letter.
    if (name.size() > 128) {
        return {};
    }
    std::string best;
    size_t bestDistance = 3;
    for (std::string_view candidate : names) {
        // The distance is at least the difference in length.
        const size_t gap =
            name.size() > candidate.size() ? name.size() - candidate.size() : candidate.size() - name.size();
        if (gap >= bestDistance) {
            continue;
        }
        const size_t distance = EditDistance(name, candidate);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = std::string(candidate);
        }
    }
    return best;
}

void CheckSettingsText(std::string_view text, const std::string& fileName, cReport& report, cSettings& seen)
{
    if (text.empty()) {
        seen.Reset();
        seen.Status = SettingsFileNotRead;
        report.Fail(fileName, 0, "the file is empty: the launcher shows '" + fileName + " not found'");
        return;
    }
    cSettingsCheck(text, fileName, report).Run(seen);
}

}  // namespace tavrin::check
