// Which ".cfg" file of the localization directory serves a language and
// region. Names are UTF-8 file names without a directory part.
#pragma once

#include <string>
#include <vector>

namespace tavrin::launcher {

// language + "_" + region (when given) + ".cfg", ASCII letters lower-cased.
std::string WantedLocaleFile(const std::string& language, const std::string& region);

// The fixed substitutes for regional languages; other for every other name.
std::string FallbackLocaleFile(const std::string& wanted, const std::string& other);

// Picks among the listed names (in listing order); "en_us.cfg" when the list
// is empty or holds nothing for the language, if it is listed. The choice
// need not be present in the list.
std::string ChooseLocaleFile(const std::vector<std::string>& names, std::string language,
                             const std::string& region);

// The file name up to its first ".cfg".
std::string LocaleNameOf(const std::string& fileName);

}  // namespace tavrin::launcher
