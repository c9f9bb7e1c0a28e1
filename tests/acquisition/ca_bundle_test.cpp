#include "acquisition/ca_bundle.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tavrin::launcher {
namespace {

PathProbe HostWith(std::set<std::string> present)
{
    return [present](const std::string& path) { return present.count(path) != 0; };
}

TEST(CaBundle, ExplicitChoiceWinsAsCurlOrdersIt)
{
    struct Case {
        const char* curlCaBundle;
        const char* sslCertFile;
        const char* chosen;
    };
    const Case cases[] = {
        {"/opt/ca.pem", "/srv/other.pem", "/opt/ca.pem"},
        {"", "/srv/other.pem", "/srv/other.pem"},
        // Named but absent: kept, so the transfer fails instead of trusting another bundle.
        {"/missing/ca.pem", "", "/missing/ca.pem"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> tried{"stale"};
        EXPECT_EQ(ChooseCaBundle(c.curlCaBundle, c.sslCertFile, HostWith({"/etc/ssl/cert.pem"}), tried),
                  c.chosen);
        EXPECT_TRUE(tried.empty());
    }
}

TEST(CaBundle, FirstPresentDistributionLocation)
{
    struct Case {
        std::set<std::string> present;
        const char* chosen;
        size_t probes;
    };
    const Case cases[] = {
        {{"/etc/ssl/certs/ca-certificates.crt", "/etc/ssl/cert.pem"},
         "/etc/ssl/certs/ca-certificates.crt",
         1},
        {{"/etc/pki/tls/certs/ca-bundle.crt"}, "/etc/pki/tls/certs/ca-bundle.crt", 2},
        {{"/etc/ssl/ca-bundle.pem"}, "/etc/ssl/ca-bundle.pem", 4},
        {{"/etc/ssl/cert.pem"}, "/etc/ssl/cert.pem", 6},
    };
    for (const Case& c : cases) {
        std::vector<std::string> tried;
        EXPECT_EQ(ChooseCaBundle("", "", HostWith(c.present), tried), c.chosen);
        EXPECT_EQ(tried.size(), c.probes) << c.chosen;
    }
}

TEST(CaBundle, NoneFoundNamesEveryLocationTried)
{
    std::vector<std::string> tried;
    EXPECT_EQ(ChooseCaBundle("", "", HostWith({}), tried), "");
    EXPECT_EQ(tried, HostCaBundleLocations());
    const std::string line = JoinPaths(tried);
    EXPECT_EQ(line.rfind("/etc/ssl/certs/ca-certificates.crt, /etc/pki/tls/certs/ca-bundle.crt, ", 0), 0u);
    EXPECT_NE(line.find("/etc/ssl/ca-bundle.pem"), std::string::npos);
    EXPECT_EQ(JoinPaths({}), "");
}

}  // namespace
}  // namespace tavrin::launcher
