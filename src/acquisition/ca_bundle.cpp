#include "acquisition/ca_bundle.h"

namespace tavrin::launcher {

const std::vector<std::string>& HostCaBundleLocations()
{
    static const std::vector<std::string> locations = {
        "/etc/ssl/certs/ca-certificates.crt",                 // Debian, Ubuntu, Arch, Alpine, Gentoo
        "/etc/pki/tls/certs/ca-bundle.crt",                   // Fedora, RHEL
        "/etc/pki/ca-trust/extracted/pem/tls-ca-bundle.pem",  // RHEL 7 and later, CentOS
        "/etc/ssl/ca-bundle.pem",                             // openSUSE
        "/etc/ca-certificates/extracted/tls-ca-bundle.pem",   // Arch, without the compat link
        "/etc/ssl/cert.pem",                                  // Alpine, without ca-certificates
    };
    return locations;
}

std::string ChooseCaBundle(const std::string& curlCaBundle, const std::string& sslCertFile,
                           const PathProbe& exists, std::vector<std::string>& tried)
{
    tried.clear();
    if (!curlCaBundle.empty()) {
        return curlCaBundle;
    }
    if (!sslCertFile.empty()) {
        return sslCertFile;
    }
    for (const std::string& location : HostCaBundleLocations()) {
        tried.push_back(location);
        if (exists(location)) {
            return location;
        }
    }
    return {};
}

std::string JoinPaths(const std::vector<std::string>& paths)
{
    std::string joined;
    for (const std::string& path : paths) {
        if (!joined.empty()) {
            joined += ", ";
        }
        joined += path;
    }
    return joined;
}

}  // namespace tavrin::launcher
