// Turning the user's proxy settings and WinHTTP's answers into the ordered
// list of proxies a failed transfer is retried through.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::launcher {

struct ProxyCandidate {
    std::string Url;
    std::string NoProxy;  // comma-separated; may be empty

    bool operator==(const ProxyCandidate&) const = default;
};

// The user's static setting: "host:port", or "scheme=host:port;..." entries.
// The candidates it yields go to the front of the list.
void AddStaticProxySetting(const std::string& proxy, const std::string& bypass, const std::string& url,
                           std::vector<ProxyCandidate>& list);

// WinHTTP's ';'-separated answer; its pieces go to the front of the list in
// their own order.
void AddAutomaticProxyList(const std::string& proxyList, const std::string& bypass,
                           std::vector<ProxyCandidate>& list);

// Connect timeout of the first proxy attempt; later attempts get half of it.
int32_t FirstProxyConnectTimeout(int32_t savedMs);

}  // namespace tavrin::launcher
