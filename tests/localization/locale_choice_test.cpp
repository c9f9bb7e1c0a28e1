#include "localization/locale_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrin::launcher {
namespace {

TEST(LocaleChoice, PicksTheFileForLanguageAndRegion)
{
    struct Case {
        std::vector<std::string> listed;
        const char* language;
        const char* region;
        const char* chosen;
    };
    const Case cases[] = {
        {{"de.cfg", "en_us.cfg"}, "en", "US", "en_us.cfg"},
        {{"de.cfg", "en_us.cfg"}, "de", "AT", "de.cfg"},
        {{"en_us.cfg", "fr.cfg"}, "de", "AT", "en_us.cfg"},
        {{"fr.cfg", "en_us.cfg"}, "de", "AT", "en_us.cfg"},
        {{"cs.cfg", "fr.cfg"}, "ja", "JP", "cs.cfg"},
        {{"cs.cfg", "de.cfg", "en_us.cfg", "pt_br.cfg"}, "pt", "PT", "en_us.cfg"},
        {{"cs.cfg", "de.cfg", "en_us.cfg"}, "de", "CH", "de.cfg"},
        {{"en_us.cfg", "de_at.cfg", "de.cfg"}, "de", "AT", "de_at.cfg"},
        {{"en_us.cfg", "zh_tw.cfg"}, "zh", "HK", "zh_tw.cfg"},
        {{"zh.cfg", "en_us.cfg"}, "zh", "TW", "en_us.cfg"},
        {{"zh.cfg"}, "zh", "TW", "en_us.cfg"},
        {{"ca.cfg", "en_us.cfg"}, "ca", "ES", "es_es.cfg"},
        {{"ca_es.cfg", "es_es.cfg"}, "ca", "ES", "ca_es.cfg"},
        {{"fr.cfg", "EN_US.cfg"}, "en", "US", "fr.cfg"},
        {{"x.cfg", "DE.cfg"}, "DE", "AT", "DE.cfg"},
        {{"x.cfg", "de.cfg"}, "DE", "AT", "x.cfg"},
        {{"x.cfg", "de.cfg"}, "de", "", "de.cfg"},
        {{"x.cfg", "en.cfg"}, "", "", "en.cfg"},
        {{"x.cfg", "en_gb.cfg"}, "", "GB", "en_gb.cfg"},
        {{}, "de", "AT", "en_us.cfg"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseLocaleFile(c.listed, c.language, c.region), c.chosen)
            << c.language << "_" << c.region << " from " << c.listed.size() << " names";
    }
}

TEST(LocaleChoice, WantedNameLowersAsciiOnly)
{
    EXPECT_EQ(WantedLocaleFile("de", "AT"), "de_at.cfg");
    EXPECT_EQ(WantedLocaleFile("DE", ""), "de.cfg");
    EXPECT_EQ(WantedLocaleFile("\xC3\x84X", "Z"), "\xC3\x84x_z.cfg");
}

TEST(LocaleChoice, FallbackTable)
{
    struct Case {
        const char* wanted;
        const char* result;
    };
    const Case cases[] = {
        {"zh_tw.cfg", "en_us.cfg"},  {"zh_hk.cfg", "zh_tw.cfg"}, {"ast.cfg", "es_es.cfg"},
        {"ast_es.cfg", "es_es.cfg"}, {"eu.cfg", "es_es.cfg"},    {"eu_es.cfg", "es_es.cfg"},
        {"ca.cfg", "es_es.cfg"},     {"ca_es.cfg", "es_es.cfg"}, {"gl.cfg", "es_es.cfg"},
        {"gl_es.cfg", "es_es.cfg"},  {"es_gq.cfg", "es_es.cfg"}, {"es_mx.cfg", "other.cfg"},
        {"zh_cn.cfg", "other.cfg"},  {"ZH_TW.cfg", "other.cfg"}, {"", "other.cfg"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FallbackLocaleFile(c.wanted, "other.cfg"), c.result) << c.wanted;
    }
}

TEST(LocaleChoice, LocaleNameStopsAtTheFirstExtension)
{
    EXPECT_EQ(LocaleNameOf("en_us.cfg"), "en_us");
    EXPECT_EQ(LocaleNameOf("a.cfg.cfg"), "a");
    EXPECT_EQ(LocaleNameOf("plain"), "plain");
    EXPECT_EQ(LocaleNameOf(".cfg"), "");
}

}  // namespace
}  // namespace tavrin::launcher
