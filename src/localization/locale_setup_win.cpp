#include <windows.h>

#include "base/files_win.h"
#include "localization/locale_setup.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

bool QueryUserLocaleInfo(LCTYPE type, std::string& value)
{
    wchar_t buffer[16] = {};
    int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 16);
    if (length <= 0) {
        return false;
    }
    // length counts the terminating NUL.
    value = tavrin::Utf16ToUtf8(std::wstring(buffer, static_cast<size_t>(length - 1)));
    return true;
}

}  // namespace

bool DetectUserLocale(std::string& language, std::string& region)
{
    return QueryUserLocaleInfo(LOCALE_SISO639LANGNAME, language) &&
           QueryUserLocaleInfo(LOCALE_SISO3166CTRYNAME, region);
}

bool LoadLocalizationFor(cLocalization& table, const std::string& localizationDir,
                         const std::string& language, const std::string& region, std::string& localeName)
{
    std::wstring error;
    if (!table.LoadFromDirectory(tavrin::Utf8ToUtf16(localizationDir), language, region, localeName, error)) {
        // Logged as UTF-8: a wide argument would be narrowed with the C
        // locale and lose any path outside ASCII.
        tavrin::LogPrintf(Info, "Failed to load localization file: '%s'.",
                          tavrin::Utf16ToUtf8(error).c_str());
        return false;
    }
    tavrin::LogPrintf(Info, "Localization file loaded, using '%s'.", localeName.c_str());
    return true;
}

void SetupLocalization(cLocalization& table, const std::string& localizationDir, std::string& language,
                       std::string& region, std::string& localeName)
{
    if (DetectUserLocale(language, region)) {
        tavrin::LogPrintf(Info, "User locale: '%s_%s'.", language.c_str(), region.c_str());
    } else {
        region = "us";
        language = "en";
        tavrin::LogPrintf(Warning, "Failed to detect the user's locale, defaulting to: '%s_%s'.",
                          language.c_str(), region.c_str());
    }
    LoadLocalizationFor(table, localizationDir, language, region, localeName);
}

}  // namespace tavrin::launcher
