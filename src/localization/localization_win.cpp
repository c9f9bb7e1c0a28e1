#include <cstdint>
#include <vector>

#include "base/files_win.h"
#include "localization/locale_choice.h"
#include "localization/localization.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

// Language files are a few kilobytes; anything far larger is not one.
constexpr uint64_t kMaxFileBytes = 16 * 1024 * 1024;

// The whole file; false for an empty, unreadable or oversized one.
bool ReadLanguageFile(const std::wstring& path, std::string& bytes)
{
    std::vector<uint8_t> buffer;
    if (!tavrin::ReadFileBytes(path.c_str(), buffer, kMaxFileBytes + 1) || buffer.size() > kMaxFileBytes) {
        return false;
    }
    bytes.assign(buffer.begin(), buffer.end());
    return true;
}

std::vector<std::string> ListLocaleFiles(const std::wstring& directory)
{
    std::vector<std::wstring> wide;
    std::vector<std::string> names;
    if (!tavrin::ListFiles(directory + L"*.cfg", wide)) {
        return names;
    }
    for (const std::wstring& name : wide) {
        names.push_back(tavrin::Utf16ToUtf8(name));
    }
    return names;
}

}  // namespace

bool cLocalization::LoadFile(const std::wstring& path, std::wstring& error)
{
    std::string bytes;
    if (!ReadLanguageFile(path, bytes)) {
        error = L"File not found '" + path + L"'";
        return false;
    }
    // The file is still read as it is; the warning tells its author why
    // texts fall back to English.
    if (const char* quirk = LanguageFileQuirk(bytes)) {
        LogPrintf(Warning, "Language file '%s' %s.", tavrin::Utf16ToUtf8(path).c_str(), quirk);
    }
    return LoadText(std::move(bytes), error);
}

bool cLocalization::LoadFromDirectory(const std::wstring& directory, const std::string& language,
                                      const std::string& region, std::string& localeName, std::wstring& error)
{
    localeName.clear();
    error.clear();
    if (directory.empty()) {
        error = L"No localization directory specified";
        return false;
    }
    std::wstring folder = directory;
    if (folder.back() != L'\\' && folder.back() != L'/') {
        folder += L'\\';
    }
    std::string chosen = ChooseLocaleFile(ListLocaleFiles(folder), language, region);
    localeName = LocaleNameOf(chosen);
    return LoadFile(folder + tavrin::Utf8ToUtf16(chosen), error);
}

}  // namespace tavrin::launcher
