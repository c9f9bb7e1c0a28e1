// Which CA bundle of the Linux host a Wine process trusts. Paths here are
// host (Unix) paths; turning them into DOS paths is the caller's business.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tavrin::launcher {

// The system bundles of the common distributions, most common first.
const std::vector<std::string>& HostCaBundleLocations();

using PathProbe = std::function<bool(const std::string& path)>;

// CURL_CA_BUNDLE, else SSL_CERT_FILE (taken as given, as curl does: a wrong
// explicit choice must fail, not quietly fall back), else the first host
// location for which exists() holds. Empty when none is found; tried lists
// every location probed, in order.
std::string ChooseCaBundle(const std::string& curlCaBundle, const std::string& sslCertFile,
                           const PathProbe& exists, std::vector<std::string>& tried);

// "a, b, c": the tried locations for a log line.
std::string JoinPaths(const std::vector<std::string>& paths);

}  // namespace tavrin::launcher
