#include "check/flat_json.h"

namespace tavrin::check {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Bounds the bracket walk over nested values, which the launcher never reads.
constexpr int kMaxNesting = 64;

class cJsonCursor {
public:
    explicit cJsonCursor(std::string_view text) : Text(text) {}

    bool AtEnd() const { return Pos >= Text.size(); }
    char Peek() const { return AtEnd() ? '\0' : Text[Pos]; }
    size_t Position() const { return Pos; }
    void Skip(size_t count) { Pos += count; }

    void SkipBlanks()
    {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n')) {
            ++Pos;
        }
    }

    // At an opening quote: the decoded string, its raw bytes and escape flags.
    bool ReadString(JsonEntry& entry, std::string& decoded, std::string_view& raw, std::string& error)
    {
        const size_t start = ++Pos;
        decoded.clear();
        while (!AtEnd()) {
            const char c = Text[Pos];
            if (c == '"') {
                raw = Text.substr(start, Pos - start);
                ++Pos;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                error = "a control character inside a string";
                return false;
            }
            if (c != '\\') {
                decoded.push_back(c);
                ++Pos;
                continue;
            }
            if (Pos + 1 >= Text.size()) {
                break;
            }
            ReadEscape(entry, decoded);
        }
        error = "a string without its closing quote";
        return false;
    }

    // Any value that is not a string: a word, a number, an object or an array.
    bool ReadOtherValue(std::string_view& raw, std::string& error)
    {
        const size_t start = Pos;
        int depth = 0;
        while (!AtEnd()) {
            const char c = Text[Pos];
            if (c == '"') {
                if (!SkipString()) {
                    break;
                }
                continue;
            }
            if (c == '{' || c == '[') {
                if (++depth > kMaxNesting) {
                    error = "values nested too deeply";
                    return false;
                }
            } else if (c == '}' || c == ']') {
                if (depth == 0) {
                    break;
                }
                --depth;
            } else if (depth == 0 && (c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
                break;
            }
            ++Pos;
        }
        raw = Text.substr(start, Pos - start);
        if (depth != 0 || raw.empty()) {
            error = "a value is missing or not closed";
            return false;
        }
        return true;
    }

private:
    void ReadEscape(JsonEntry& entry, std::string& decoded)
    {
        const char next = Text[Pos + 1];
        switch (next) {
        case '"':
            entry.EscapedQuote = true;
            decoded.push_back('"');
            break;
        case '\\':
            decoded.push_back('\\');
            break;
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
            entry.MeaningfulEscape = true;
            decoded.push_back(next == '/'   ? '/'
                              : next == 'b' ? '\b'
                              : next == 'f' ? '\f'
                              : next == 'n' ? '\n'
                              : next == 'r' ? '\r'
                                            : '\t');
            break;
        case 'u':
            entry.MeaningfulEscape = true;
            // Kept as written: only its presence matters here.
            decoded += "\\u";
            break;
        default:
            entry.InvalidEscape = true;
            decoded.push_back('\\');
            decoded.push_back(next);
            break;
        }
        Pos += 2;
    }

    bool SkipString()
    {
        ++Pos;
        while (!AtEnd()) {
            if (Text[Pos] == '\\') {
                Pos += 2;
                continue;
            }
            if (Text[Pos++] == '"') {
                return true;
            }
        }
        return false;
    }

    std::string_view Text;
    size_t Pos = 0;
};

bool Stop(FlatObject& object, const cJsonCursor& cursor, std::string error)
{
    object.ErrorOffset = cursor.Position();
    object.Error = std::move(error);
    return false;
}

bool ReadEntry(cJsonCursor& cursor, FlatObject& object)
{
    JsonEntry entry;
    std::string error;
    if (cursor.Peek() != '"') {
        return Stop(object, cursor, "expected a quoted key");
    }
    entry.KeyOffset = cursor.Position();
    std::string_view rawKey;
    JsonEntry keyFlags;
    if (!cursor.ReadString(keyFlags, entry.Key, rawKey, error)) {
        return Stop(object, cursor, error);
    }
    cursor.SkipBlanks();
    if (cursor.Peek() != ':') {
        return Stop(object, cursor, "expected ':' after the key");
    }
    cursor.Skip(1);
    cursor.SkipBlanks();
    entry.ValueOffset = cursor.Position();
    if (cursor.Peek() == '"') {
        entry.Quoted = true;
        if (!cursor.ReadString(entry, entry.Value, entry.Raw, error)) {
            return Stop(object, cursor, error);
        }
    } else {
        if (!cursor.ReadOtherValue(entry.Raw, error)) {
            return Stop(object, cursor, error);
        }
        entry.Value = std::string(entry.Raw);
    }
    object.Entries.push_back(std::move(entry));
    return true;
}

}  // namespace

FlatObject ReadFlatObject(std::string_view text)
{
    FlatObject object;
    cJsonCursor cursor(text);
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        object.ByteOrderMark = true;
        cursor.Skip(kByteOrderMark.size());
    }
    cursor.SkipBlanks();
    if (cursor.Peek() != '{') {
        Stop(object, cursor, "expected '{' at the start");
        return object;
    }
    cursor.Skip(1);
    cursor.SkipBlanks();
    if (cursor.Peek() != '}') {
        for (;;) {
            if (!ReadEntry(cursor, object)) {
                return object;
            }
            cursor.SkipBlanks();
            if (cursor.Peek() == ',') {
                cursor.Skip(1);
                cursor.SkipBlanks();
                continue;
            }
            if (cursor.Peek() == '}') {
                break;
            }
            Stop(object, cursor, "expected ',' or '}' after a value");
            return object;
        }
    }
    cursor.Skip(1);
    cursor.SkipBlanks();
    if (!cursor.AtEnd()) {
        Stop(object, cursor, "text after the closing '}'");
        return object;
    }
    object.Complete = true;
    return object;
}

}  // namespace tavrin::check
