// The shipped translations: each parses, carries every text of the English
// file with the same placeholders, and is the file its speakers get.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "localization/locale_choice.h"
#include "localization/localization.h"
#include "localization/messages.h"

namespace tavrin::launcher {
namespace {

struct Translation {
    const char* File;
    const char* Language;  // as Windows reports it
    const char* Region;
};

const Translation kTranslations[] = {
    {"de.cfg", "de", "DE"}, {"fr.cfg", "fr", "FR"}, {"es_es.cfg", "es", "ES"}, {"pt_br.cfg", "pt", "BR"},
    {"it.cfg", "it", "IT"}, {"pl.cfg", "pl", "PL"}, {"ru.cfg", "ru", "RU"},    {"uk.cfg", "uk", "UA"},
    {"tr.cfg", "tr", "TR"}, {"cs.cfg", "cs", "CZ"}, {"nl.cfg", "nl", "NL"},    {"el.cfg", "el", "GR"},
    {"pt.cfg", "pt", "PT"},
};

std::string ReadLanguageFile(const std::string& name)
{
    const char* source = std::getenv("TAVRIN_SOURCE_DIR");
    std::string root = source ? source : ".";
    std::ifstream file(root + "/resources/localization/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> PlaceholdersOf(const std::string& text)
{
    static const std::regex placeholder(R"(\{[0-9]+\})");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), placeholder); it != std::sregex_iterator();
         ++it) {
        found.push_back(it->str());
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool Load(const std::string& name, cLocalization& table)
{
    std::string bytes = ReadLanguageFile(name);
    std::wstring error;
    return !bytes.empty() && table.LoadText(bytes, error);
}

// The texts the launcher completes with an address or a path.
bool CompletedByTheLauncher(const MessageText& message)
{
    const std::string text = message.Text;
    return !text.empty() && text.back() == ' ';
}

// A colon (the launcher adds a space) or a no-break space (it adds nothing).
bool EndsBeforeWhatFollows(const std::string& text)
{
    const std::string noBreakSpace = "\xC2\xA0";
    return (!text.empty() && text.back() == ':') ||
           (text.size() >= 2 && text.compare(text.size() - 2, 2, noBreakSpace) == 0);
}

TEST(Translations, EveryEnglishTextWithItsPlaceholders)
{
    cLocalization english;
    ASSERT_TRUE(Load("en_us.cfg", english));
    for (const Translation& t : kTranslations) {
        SCOPED_TRACE(t.File);
        const std::string bytes = ReadLanguageFile(t.File);
        ASSERT_FALSE(bytes.empty()) << "missing or empty";
        EXPECT_NE(bytes.rfind("\xEF\xBB\xBF", 0), 0u) << "a byte-order mark hides the first section";
        cLocalization table;
        ASSERT_TRUE(Load(t.File, table));
        for (const MessageText& message : kAllMessages) {
            std::string englishText;
            std::string translated;
            const bool inEnglish = english.GetValue(message.Key, englishText);
            const bool inTranslation = table.GetValue(message.Key, translated);
            if (CompletedByTheLauncher(message)) {
                // English keeps its built-in text, which ends in a space no
                // file can hold; a translation ends where the launcher goes on.
                EXPECT_TRUE(inTranslation) << message.Key;
                EXPECT_TRUE(EndsBeforeWhatFollows(translated)) << message.Key << ": '" << translated << "'";
            } else {
                EXPECT_EQ(inTranslation, inEnglish) << message.Key;
            }
            if (inTranslation) {
                EXPECT_EQ(PlaceholdersOf(translated), PlaceholdersOf(message.Text)) << message.Key;
            }
        }
    }
}

// The names Windows reports for the speakers of each language, against the
// folder as shipped (es.cfg is a copy of es_es.cfg made by the build).
TEST(Translations, SpeakersGetTheirFile)
{
    std::vector<std::string> shipped = {"en_us.cfg", "es.cfg"};
    for (const Translation& t : kTranslations) {
        shipped.push_back(t.File);
    }
    std::sort(shipped.begin(), shipped.end());
    for (const Translation& t : kTranslations) {
        EXPECT_EQ(ChooseLocaleFile(shipped, t.Language, t.Region), t.File) << t.Language << "_" << t.Region;
    }
    struct Case {
        const char* language;
        const char* region;
        const char* chosen;
    };
    const Case others[] = {
        {"de", "AT", "de.cfg"},    {"de", "CH", "de.cfg"},    {"fr", "CA", "fr.cfg"},
        {"fr", "BE", "fr.cfg"},    {"it", "CH", "it.cfg"},    {"nl", "BE", "nl.cfg"},
        {"es", "MX", "es.cfg"},    {"ca", "ES", "es_es.cfg"}, {"eu", "ES", "es_es.cfg"},
        {"ru", "UA", "ru.cfg"},    {"el", "CY", "el.cfg"},    {"en", "US", "en_us.cfg"},
        {"en", "GB", "en_us.cfg"}, {"pt", "AO", "pt.cfg"},    {"ja", "JP", "en_us.cfg"},
    };
    for (const Case& c : others) {
        EXPECT_EQ(ChooseLocaleFile(shipped, c.language, c.region), c.chosen) << c.language << "_" << c.region;
    }
}

}  // namespace
}  // namespace tavrin::launcher
