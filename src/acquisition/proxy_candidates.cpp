#include "acquisition/proxy_candidates.h"

#include <string_view>

namespace tavrin::launcher {

namespace {

std::vector<std::string_view> SplitAt(std::string_view text, char separator)
{
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find(separator, start);
        const size_t stop = end == std::string_view::npos ? text.size() : end;
        pieces.push_back(text.substr(start, stop - start));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return pieces;
}

// The value of the "scheme=value" entry, if the setting has one.
bool FindSchemeEntry(std::string_view setting, std::string_view scheme, std::string& value)
{
    for (const std::string_view entry : SplitAt(setting, ';')) {
        const size_t equals = entry.find('=');
        if (equals != std::string_view::npos && entry.substr(0, equals) == scheme) {
            value.assign(entry.substr(equals + 1));
            return true;
        }
    }
    return false;
}

}  // namespace

std::string BypassToNoProxy(const std::string& bypass)
{
    std::string noProxy = bypass;
    for (char& c : noProxy) {
        if (c == ';') {
            c = ',';
        }
    }
    return noProxy;
}

void AddStaticProxySetting(const std::string& proxy, const std::string& bypass, const std::string& url,
                           std::vector<ProxyCandidate>& list)
{
    const std::string noProxy = BypassToNoProxy(bypass);
    if (proxy.empty()) {
        return;
    }
    std::string candidate = proxy;
    if (proxy.find('=') != std::string::npos) {
        const char* scheme = url.rfind("https://", 0) == 0 ? "https" : "http";
        std::string value;
        if (FindSchemeEntry(proxy, scheme, value)) {
            // The entry names the proxy for that kind of URL; the proxy itself
            // is spoken to in plain HTTP (CONNECT for https), as Windows does.
            // "https://" here would make the transfer expect TLS from it.
            candidate = "http://" + value;
        } else if (FindSchemeEntry(proxy, "socks", value)) {
            list.push_back({"socks5h://" + value, noProxy});
            list.push_back({"socks4://" + value, noProxy});
            list.push_back({"socks4a://" + value, noProxy});
            candidate = "socks5://" + value;
        }
    }
    list.insert(list.begin(), ProxyCandidate{candidate, noProxy});
}

void AddAutomaticProxyList(const std::string& proxyList, const std::string& bypass,
                           std::vector<ProxyCandidate>& list)
{
    const std::string noProxy = BypassToNoProxy(bypass);
    std::vector<ProxyCandidate> found;
    for (const std::string_view piece : SplitAt(proxyList, ';')) {
        if (!piece.empty()) {
            found.push_back({std::string(piece), noProxy});
        }
    }
    list.insert(list.begin(), found.begin(), found.end());
}

int32_t FirstProxyConnectTimeout(int32_t savedMs) { return savedMs < 25005 ? 5000 : savedMs / 5; }

}  // namespace tavrin::launcher
