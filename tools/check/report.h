// What the folder checker found: notes, warnings and the errors that stop a
// launch, each tied to a file and, where it helps, a line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrin::check {

enum class Severity {
    Note,     // worth knowing; the launch is not affected
    Warning,  // the launcher reads something other than the studio meant
    Error,    // the launch will fail
};

struct Finding {
    Severity Level = Severity::Note;
    std::string File;
    int Line = 0;  // 0: the file as a whole
    std::string Text;
};

class cReport {
public:
    void Add(Severity level, std::string file, int line, std::string text);
    void Note(std::string file, int line, std::string text);
    void Warn(std::string file, int line, std::string text);
    void Fail(std::string file, int line, std::string text);

    // "  key: value" lines telling what the launcher will see.
    void Field(std::string name, std::string value);

    const std::vector<Finding>& Findings() const { return Items; }
    const std::vector<std::string>& Fields() const { return FieldLines; }
    bool HasErrors() const;
    // Findings with this text fragment, for callers that look for one cause.
    size_t Count(Severity level, std::string_view fragment = {}) const;

    // The whole report as the console shows it, ending with a verdict line.
    std::string Format() const;

private:
    std::vector<Finding> Items;
    std::vector<std::string> FieldLines;
};

// 1-based line of a byte offset.
int LineOfOffset(std::string_view text, size_t offset);

// Control bytes and broken UTF-8 shown as \xNN, so hostile file content
// cannot drive the console; long texts are cut.
std::string Printable(std::string_view text, size_t maximum = 200);

}  // namespace tavrin::check
