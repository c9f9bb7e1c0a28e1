#include "acquisition/download_rules.h"

#include <gtest/gtest.h>

namespace tavrin::launcher {
namespace {

TEST(ExpandUrlTemplate, ReplacesEveryPlaceholder)
{
    EXPECT_EQ(
        ExpandUrlTemplate("https://h/modules/{{productid}}/{{deploymentid}}/{{system}}", "p1", "d1", "win64"),
        "https://h/modules/p1/d1/win64");
    EXPECT_EQ(ExpandUrlTemplate("{{system}}-{{system}}/{{productid}}{{productid}}", "p", "d", "s"), "s-s/pp");
    EXPECT_EQ(ExpandUrlTemplate("https://h/fixed", "p", "d", "s"), "https://h/fixed");
}

TEST(CdnUrlTemplate, BuiltFromTheConfiguredHost)
{
    for (bool gameDev : {false, true}) {
        const std::string prefix = AllowedCdnPrefix(gameDev);
        EXPECT_EQ(prefix, std::string("https://") + CdnHost(gameDev) + "/");
        EXPECT_EQ(CdnUrlTemplate(gameDev), prefix + "modules/{{productid}}/{{deploymentid}}/{{system}}");
        EXPECT_TRUE(HasAllowedPrefix(CdnUrlTemplate(gameDev), prefix));
    }
    EXPECT_NE(AllowedCdnPrefix(false), AllowedCdnPrefix(true));
}

TEST(HasAllowedPrefix, Table)
{
    const std::string prefix = "https://cdn.example/";
    const std::pair<const char*, bool> cases[] = {
        {"https://cdn.example/modules/x", true},
        {"https://cdn.example/", true},
        {"https://cdn.example", false},
        {"https://cdn.example.evil/modules", false},
        {"https://cdn.example:444/modules", false},
        {"http://cdn.example/modules", false},
        {"https://evil/https://cdn.example/", false},
        {"HTTPS://CDN.EXAMPLE/modules", false},
        {"", false},
    };
    for (const auto& [url, allowed] : cases) {
        EXPECT_EQ(HasAllowedPrefix(url, prefix), allowed) << url;
    }
    EXPECT_FALSE(HasAllowedPrefix("anything", ""));
}

TEST(BuildIdFromOverride, Table)
{
    const std::pair<const char*, const char*> cases[] = {
        {"https://h/builds/77/modules/{{system}}", "77"},
        {"https://h/builds/77/", "77"},
        {"https://h/builds//x", ""},
        {"https://h/builds/77", "N/A"},
        {"https://h/modules/77/", "N/A"},
        {"https://h/a/builds/1/builds/2/", "1"},
    };
    for (const auto& [url, id] : cases) {
        EXPECT_EQ(BuildIdFromOverride(url), id) << url;
    }
}

TEST(FindCdnOverride, Table)
{
    const std::pair<const char*, const char*> cases[] = {
        {"cdn=https://h/x\r\n", "https://h/x"},
        {"CDN=https://h/x", "https://h/x"},
        {"# comment\nother=1\nCdN=https://a/\ncdn=https://b/\n", "https://a/"},
        {"cdn=\ncdn=x\n", "x"},
        {"cdn=y", "y"},
        {"  cdn=https://h/\n", ""},
        {"", ""},
        {"nothing here\n", ""},
    };
    for (const auto& [text, url] : cases) {
        EXPECT_EQ(FindCdnOverride(text), url) << text;
    }
}

TEST(ResultForHttpStatus, Ranges)
{
    const std::pair<long, int32_t> cases[] = {
        {0, 511},   {200, 511}, {301, 511}, {304, 511}, {399, 511}, {400, 506},
        {404, 506}, {499, 506}, {500, 505}, {503, 505}, {999, 505},
    };
    for (const auto& [status, result] : cases) {
        EXPECT_EQ(ResultForHttpStatus(status), result) << status;
    }
}

}  // namespace
}  // namespace tavrin::launcher
