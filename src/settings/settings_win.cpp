#include "settings/settings.h"

#include <string>

#include "base/files_win.h"
#include "base/json_reader.h"

namespace tavrin {

bool cSettings::ReadSettingsFile(const std::string& path)
{
    Reset();
    JsonReader reader;
    std::string error;  // the reader's own text is not shown; the status says enough
    if (!reader.Load(Utf8ToUtf16(path), error)) {
        Status = SettingsFileNotRead;
        return false;
    }
    return ReadFrom(reader);
}

}  // namespace tavrin
