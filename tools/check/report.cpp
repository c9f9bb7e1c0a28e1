#include "check/report.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace tavrin::check {

namespace {

const char* LevelLabel(Severity level)
{
    switch (level) {
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    default:
        return "note";
    }
}

// Length of the printable character at pos: printable ASCII, or a
// well-formed UTF-8 sequence that is not a C1 control; 0 for anything else.
size_t Utf8SequenceLength(std::string_view text, size_t pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead >= 0x20 && lead < 0x7F) {
        return 1;
    }
    size_t length = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[pos + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3F);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool valid = code >= smallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF) &&
                       (code < 0x80 || code > 0x9F);
    return valid ? length : 0;
}

}  // namespace

void cReport::Add(Severity level, std::string file, int line, std::string text)
{
    Items.push_back({level, std::move(file), line, std::move(text)});
}

void cReport::Note(std::string file, int line, std::string text)
{
    Add(Severity::Note, std::move(file), line, std::move(text));
}

void cReport::Warn(std::string file, int line, std::string text)
{
    Add(Severity::Warning, std::move(file), line, std::move(text));
}

void cReport::Fail(std::string file, int line, std::string text)
{
    Add(Severity::Error, std::move(file), line, std::move(text));
}

void cReport::Field(std::string name, std::string value) { FieldLines.push_back("  " + name + ": " + value); }

bool cReport::HasErrors() const { return Count(Severity::Error) > 0; }

size_t cReport::Count(Severity level, std::string_view fragment) const
{
    return static_cast<size_t>(std::count_if(Items.begin(), Items.end(), [&](const Finding& item) {
        return item.Level == level && item.Text.find(fragment) != std::string::npos;
    }));
}

std::string cReport::Format() const
{
    std::string out;
    if (!FieldLines.empty()) {
        out += "As the launcher will see it:\n";
        for (const std::string& line : FieldLines) {
            out += line + "\n";
        }
    }
    for (const Finding& item : Items) {
        out += item.File;
        if (item.Line > 0) {
            out += ":" + std::to_string(item.Line);
        }
        out += std::string(": ") + LevelLabel(item.Level) + ": " + item.Text + "\n";
    }
    const size_t errors = Count(Severity::Error);
    const size_t warnings = Count(Severity::Warning);
    out += std::to_string(errors) + " error(s), " + std::to_string(warnings) + " warning(s): ";
    out += errors == 0 ? "the folder will launch.\n" : "the folder will NOT launch.\n";
    return out;
}

int LineOfOffset(std::string_view text, size_t offset)
{
    offset = std::min(offset, text.size());
    return 1 + static_cast<int>(
                   std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

std::string Printable(std::string_view text, size_t maximum)
{
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (out.size() >= maximum) {
            out += "...";
            break;
        }
        const size_t length = Utf8SequenceLength(text, i);
        if (length > 0) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[i]));
        out += escaped;
        ++i;
    }
    return out;
}

}  // namespace tavrin::check
