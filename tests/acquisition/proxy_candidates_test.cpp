#include "acquisition/proxy_candidates.h"

#include <gtest/gtest.h>

namespace tavrin::launcher {
namespace {

using List = std::vector<ProxyCandidate>;

TEST(AddStaticProxySetting, Table)
{
    struct Case {
        const char* Proxy;
        const char* Url;
        List Expected;
    };
    const Case cases[] = {
        {"", "https://h/", {}},
        {"proxy:3128", "https://h/", {{"proxy:3128", "a,b"}}},
        {"http=A:80;https=B:443", "https://h/", {{"http://B:443", "a,b"}}},
        {"http=A:80;https=B:443", "http://h/", {{"http://A:80", "a,b"}}},
        {"http=A:80;https=B:443", "HTTPS://h/", {{"http://A:80", "a,b"}}},
        {"socks=S:1080",
         "https://h/",
         {{"socks5://S:1080", "a,b"},
          {"socks5h://S:1080", "a,b"},
          {"socks4://S:1080", "a,b"},
          {"socks4a://S:1080", "a,b"}}},
        {"ftp=F:21", "https://h/", {{"ftp=F:21", "a,b"}}},
        {"ftp=F:21;https=B:8443", "https://h/", {{"http://B:8443", "a,b"}}},
    };
    for (const Case& c : cases) {
        List list;
        AddStaticProxySetting(c.Proxy, "a;b", c.Url, list);
        EXPECT_EQ(list, c.Expected) << c.Proxy << " " << c.Url;
    }
}

TEST(AddAutomaticProxyList, GoesFirstInItsOwnOrder)
{
    List list;
    AddStaticProxySetting("static:1", "", "https://h/", list);
    AddAutomaticProxyList("p1:1;;p2:2; p3:3", "local;*.corp", list);
    const List expected = {
        {"p1:1", "local,*.corp"}, {"p2:2", "local,*.corp"}, {" p3:3", "local,*.corp"}, {"static:1", ""}};
    EXPECT_EQ(list, expected);
}

TEST(FirstProxyConnectTimeout, FifthOfSavedWithFloor)
{
    EXPECT_EQ(FirstProxyConnectTimeout(30000), 6000);
    EXPECT_EQ(FirstProxyConnectTimeout(30000) / 2, 3000);
    EXPECT_EQ(FirstProxyConnectTimeout(2500), 5000);
    EXPECT_EQ(FirstProxyConnectTimeout(25004), 5000);
    EXPECT_EQ(FirstProxyConnectTimeout(25005), 5001);
    EXPECT_EQ(FirstProxyConnectTimeout(300000), 60000);
}

}  // namespace
}  // namespace tavrin::launcher
