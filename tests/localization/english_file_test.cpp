// The shipped English file must parse and agree with the built-in texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "localization/localization.h"
#include "localization/messages.h"

namespace tavrin::launcher {
namespace {

std::string ReadEnglishFile()
{
    const char* source = std::getenv("TAVRIN_SOURCE_DIR");
    std::string root = source ? source : ".";
    std::ifstream file(root + "/resources/localization/en_us.cfg", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The file format cannot carry these; such keys stay out and use the built-in text.
bool IsWritable(const std::string& text)
{
    return !text.empty() && text.front() != ' ' && text.back() != ' ' &&
           text.find_first_of("\";") == std::string::npos && text.find("  ") == std::string::npos;
}

TEST(EnglishFile, ParsesAndHoldsEveryWritableBuiltInText)
{
    std::string bytes = ReadEnglishFile();
    ASSERT_FALSE(bytes.empty()) << "resources/localization/en_us.cfg not found";
    cLocalization table;
    std::wstring error;
    ASSERT_TRUE(table.LoadText(bytes, error));

    for (const MessageText& message : kAllMessages) {
        std::string value;
        bool present = table.GetValue(message.Key, value);
        if (IsWritable(message.Text)) {
            EXPECT_TRUE(present) << message.Key;
            EXPECT_EQ(value, message.Text) << message.Key;
        } else {
            EXPECT_FALSE(present) << message.Key << " would change the built-in text";
        }
    }
}

TEST(EnglishFile, MessageKeysAreUniqueAndWellFormed)
{
    std::set<std::string> keys;
    for (const MessageText& message : kAllMessages) {
        std::string key = message.Key;
        EXPECT_TRUE(keys.insert(key).second) << key;
        EXPECT_EQ(SplitTokens(key, ".").size(), 2u) << key;
    }
    EXPECT_EQ(keys.size(), 39u);
}

}  // namespace
}  // namespace tavrin::launcher
