// Every shipped text, in every language, renders with the built-in fonts:
// no character falls back to a missing-glyph box.
#include <windows.h>

#include <SDL.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "localization/localization.h"
#include "localization/messages.h"
#include "test_support/utf8.h"

namespace tavrin::launcher {
namespace {

const char* const kLanguageFiles[] = {"en_us.cfg", "de.cfg", "fr.cfg", "es_es.cfg", "pt_br.cfg", "pt.cfg",
                                      "it.cfg",    "pl.cfg", "ru.cfg", "uk.cfg",    "tr.cfg",
                                      "cs.cfg",    "nl.cfg", "el.cfg"};
const char* const kFontFiles[] = {"OpenSans-Regular.ttf", "OpenSans-Bold.ttf", "OpenSans-Light.ttf"};

std::string SourcePath(const std::string& relative)
{
    const char* source = std::getenv("TAVRIN_SOURCE_DIR");
    return std::string(source ? source : ".") + "/" + relative;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class TranslationGlyphs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(TTF_Init(), 0) << TTF_GetError();
        for (const char* name : kFontFiles) {
            Bytes.push_back(ReadFile(SourcePath(std::string("resources/fonts/") + name)));
            ASSERT_FALSE(Bytes.back().empty()) << name;
            TTF_Font* font = TTF_OpenFontRW(
                SDL_RWFromConstMem(Bytes.back().data(), static_cast<int>(Bytes.back().size())), 1, 20);
            ASSERT_NE(font, nullptr) << name << ": " << TTF_GetError();
            Fonts.push_back(font);
        }
    }
    void TearDown() override
    {
        for (TTF_Font* font : Fonts) {
            TTF_CloseFont(font);
        }
        TTF_Quit();
    }

    // Missing characters of text, each as "U+<hex> in <font file>; ".
    std::string MissingGlyphs(const std::string& text) const
    {
        std::string missing;
        for (uint32_t point : tavrin::test::CodePoints(text)) {
            for (size_t f = 0; f < Fonts.size(); ++f) {
                if (!TTF_GlyphIsProvided32(Fonts[f], point)) {
                    char line[64];
                    std::snprintf(line, sizeof line, "U+%04X in %s; ", point, kFontFiles[f]);
                    missing += line;
                }
            }
        }
        return missing;
    }

    std::vector<std::string> Bytes;
    std::vector<TTF_Font*> Fonts;
};

TEST_F(TranslationGlyphs, EveryTextOfEveryLanguage)
{
    for (const char* file : kLanguageFiles) {
        cLocalization table;
        std::wstring error;
        ASSERT_TRUE(
            table.LoadText(ReadFile(SourcePath(std::string("resources/localization/") + file)), error))
            << file;
        for (const MessageText& message : kAllMessages) {
            const std::string text = table.GetText(message.Key, message.Text);
            EXPECT_EQ(MissingGlyphs(text), "") << file << " " << message.Key << ": " << text;
        }
    }
}

TEST_F(TranslationGlyphs, CheckSeesAMissingGlyph)
{
    // CJK and a broken UTF-8 sequence: neither is in the built-in fonts.
    EXPECT_NE(MissingGlyphs("\xE6\xBC\xA2"), "");
    EXPECT_NE(MissingGlyphs("\xC3"), "");
    EXPECT_EQ(MissingGlyphs("\xC3\xA9\xCE\xA9\xD0\x96"), "");
}

}  // namespace
}  // namespace tavrin::launcher
