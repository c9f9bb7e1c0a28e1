#include "acquisition/proxy_candidates.h"

#include <string_view>

#include "base/text_pieces.h"

namespace tavrin::launcher {

namespace {

// The value of the "scheme=value" entry, if the setting has one.
bool FindSchemeEntry(std::string_view setting, std::string_view scheme, std::string& value)
{
    for (const TextPiece& piece : SplitText(setting, {.Separators = ";"})) {
        const std::string_view entry = piece.Text;
        const size_t equals = entry.find('=');
        if (equals != std::string_view::npos && entry.substr(0, equals) == scheme) {
            value.assign(entry.substr(equals + 1));
            return true;
        }
    }
    return false;
}

// WinHTTP separates bypass entries with ';', the transfer library with ','.
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

}  // namespace

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
    for (const TextPiece& entry : SplitText(proxyList, {.Separators = ";"})) {
        const std::string_view piece = entry.Text;
        if (!piece.empty()) {
            found.push_back({std::string(piece), noProxy});
        }
    }
    list.insert(list.begin(), found.begin(), found.end());
}

int32_t FirstProxyConnectTimeout(int32_t savedMs) { return savedMs < 25005 ? 5000 : savedMs / 5; }

}  // namespace tavrin::launcher
