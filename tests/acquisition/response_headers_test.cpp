#include "acquisition/response_headers.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrin::launcher {
namespace {

struct HeaderCase {
    const char* Line;
    const char* Name;  // null: nothing stored
    const char* Value;
};

TEST(ParseResponseHeaderLine, Table)
{
    const HeaderCase cases[] = {
        {"ETag: \"abc123\"\r\n", "etag", "\"abc123\""},
        {"Content-Length:   42  \r\n", "content-length", "42"},
        {"X-Empty:\r\n", "x-empty", ""},
        {"X-Bare-Lf: v\n", "x-bare-lf", "v"},
        {"X-No-Ending: value", "x-no-ending", "value"},
        {"X-Colon: a:b\r\n", "x-colon", "a:b"},
        {"MiXeD-CaSe: Keep Case\r\n", "mixed-case", "Keep Case"},
        {"HTTP/1.1 200 OK\r\n", nullptr, nullptr},
        {": no name\r\n", nullptr, nullptr},
        {"\r\n", nullptr, nullptr},
    };
    for (const HeaderCase& c : cases) {
        HeaderMap headers;
        const std::string line = c.Line;
        EXPECT_EQ(ParseResponseHeaderLine(line.data(), line.size(), &headers), line.size()) << c.Line;
        if (c.Name == nullptr) {
            EXPECT_TRUE(headers.empty()) << c.Line;
            continue;
        }
        ASSERT_EQ(headers.count(c.Name), 1u) << c.Line;
        EXPECT_EQ(headers[c.Name], c.Value) << c.Line;
    }
}

TEST(ParseResponseHeaderLine, RepeatedHeaderReplacesEarlierValue)
{
    HeaderMap headers;
    const std::string first = "ETag: \"one\"\r\n";
    const std::string second = "etag: \"two\"\r\n";
    ParseResponseHeaderLine(first.data(), first.size(), &headers);
    ParseResponseHeaderLine(second.data(), second.size(), &headers);
    EXPECT_EQ(headers.size(), 1u);
    EXPECT_EQ(headers["etag"], "\"two\"");
}

TEST(ParseResponseHeaderLine, MissingMapOrEmptyLineFailsTheTransfer)
{
    const std::string line = "ETag: x\r\n";
    EXPECT_EQ(ParseResponseHeaderLine(line.data(), line.size(), nullptr), 0u);
    HeaderMap headers;
    EXPECT_EQ(ParseResponseHeaderLine(line.data(), 0, &headers), 0u);
}

TEST(AsciiLower, OnlyAsciiLettersChange) { EXPECT_EQ(AsciiLower("ETag-\xC3\x84Z"), "etag-\xC3\x84z"); }

}  // namespace
}  // namespace tavrin::launcher
