#include "localization/locale_choice.h"

#include <algorithm>

namespace tavrin::launcher {

namespace {

constexpr const char* kDefaultFile = "en_us.cfg";

void LowerAscii(std::string& text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
}

bool IsListed(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::string WantedLocaleFile(const std::string& language, const std::string& region)
{
    std::string wanted = language;
    if (!region.empty()) {
        wanted += "_" + region;
    }
    wanted += ".cfg";
    LowerAscii(wanted);
    return wanted;
}

std::string FallbackLocaleFile(const std::string& wanted, const std::string& other)
{
    if (wanted == "zh_tw.cfg") {
        return kDefaultFile;
    }
    if (wanted == "zh_hk.cfg") {
        return "zh_tw.cfg";
    }
    static constexpr const char* kSpanishRegional[] = {"ast.cfg",   "ast_es.cfg", "eu.cfg",
                                                       "eu_es.cfg", "ca.cfg",     "ca_es.cfg",
                                                       "gl.cfg",    "gl_es.cfg",  "es_gq.cfg"};
    for (const char* name : kSpanishRegional) {
        if (wanted == name) {
            return "es_es.cfg";
        }
    }
    return other;
}

std::string ChooseLocaleFile(const std::vector<std::string>& names, std::string language,
                             const std::string& region)
{
    if (names.empty()) {
        return kDefaultFile;
    }
    if (language.empty()) {
        language = "en";
    }
    std::string wanted = WantedLocaleFile(language, region);
    if (IsListed(names, wanted)) {
        return wanted;
    }
    // The bare language is matched as given, not lower-cased. A language
    // without a file gets English, not whichever file the listing names
    // first: with several languages shipped, that would be a random one.
    std::string bare = language + ".cfg";
    std::string other = IsListed(names, bare)           ? bare
                        : IsListed(names, kDefaultFile) ? kDefaultFile
                                                        : names.front();
    return FallbackLocaleFile(wanted, other);
}

std::string LocaleNameOf(const std::string& fileName) { return fileName.substr(0, fileName.find(".cfg")); }

}  // namespace tavrin::launcher
