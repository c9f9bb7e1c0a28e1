#include "base/json_reader.h"

#include <cstdint>
#include <vector>

#include "base/files_win.h"

namespace tavrin {

bool JsonReader::Load(const std::wstring& path, std::string& error)
{
    error.clear();
    if (path.empty()) {
        error = "Json parser provided with an empty path!";
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path.c_str(), bytes, UINT64_MAX) || bytes.empty()) {
        error = "Could not read the .json file!";
        return false;
    }
    if (!Scan(bytes.data(), bytes.size())) {
        error = "Failed at parsing the file contents, ensure the file is valid .json and is UTF-8 encoded!";
        return false;
    }
    return true;
}

}  // namespace tavrin
