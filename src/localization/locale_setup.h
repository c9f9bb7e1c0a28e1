// Start-up of the launcher's language: the user's locale from the system and
// the loading of the matching file, with their log lines.
#pragma once

#include <string>

#include "localization/localization.h"

namespace tavrin::launcher {

// The user's ISO 639 language ("de") and ISO 3166 region ("AT"). On failure
// the language may already be written.
bool DetectUserLocale(std::string& language, std::string& region);

// Loads the best file of localizationDir (UTF-8: the launcher directory and
// "Tavrin\Localization\") into table and logs the outcome. A failure leaves the
// table as it was, so lookups fall back to the built-in texts.
bool LoadLocalizationFor(cLocalization& table, const std::string& localizationDir,
                         const std::string& language, const std::string& region, std::string& localeName);

// Detects the locale into language/region ("en"/"us" when the system has
// none), logs it, and loads the table for it.
void SetupLocalization(cLocalization& table, const std::string& localizationDir, std::string& language,
                       std::string& region, std::string& localeName);

}  // namespace tavrin::launcher
