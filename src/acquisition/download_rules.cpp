#include "acquisition/download_rules.h"

#include "acquisition/response_headers.h"
#include "base/text_pieces.h"

namespace tavrin::launcher {

namespace {

void ReplaceAll(std::string& text, std::string_view placeholder, const std::string& value)
{
    size_t at = 0;
    while ((at = text.find(placeholder, at)) != std::string::npos) {
        text.replace(at, placeholder.size(), value);
        at += value.size();
    }
}

}  // namespace

std::string CdnUrlTemplate(bool gameDev)
{
    return std::string("https://") + CdnHost(gameDev) + "/modules/{{productid}}/{{deploymentid}}/{{system}}";
}

std::string AllowedCdnPrefix(bool gameDev) { return std::string("https://") + CdnHost(gameDev) + "/"; }

std::string ExpandUrlTemplate(const std::string& urlTemplate, const std::string& productId,
                              const std::string& deploymentId, const std::string& systemName)
{
    std::string url = urlTemplate;
    ReplaceAll(url, "{{productid}}", productId);
    ReplaceAll(url, "{{deploymentid}}", deploymentId);
    ReplaceAll(url, "{{system}}", systemName);
    return url;
}

std::string BuildIdFromOverride(const std::string& overrideUrl)
{
    static constexpr std::string_view kMarker = "/builds/";
    const size_t marker = overrideUrl.find(kMarker);
    if (marker == std::string::npos) {
        return kNoBuildId;
    }
    const size_t begin = marker + kMarker.size();
    const size_t end = overrideUrl.find('/', begin);
    if (end == std::string::npos) {
        return kNoBuildId;
    }
    return overrideUrl.substr(begin, end - begin);
}

bool HasAllowedPrefix(const std::string& url, const std::string& prefix)
{
    return !prefix.empty() && url.size() >= prefix.size() && url.compare(0, prefix.size(), prefix) == 0;
}

std::string FindCdnOverride(std::string_view fileText)
{
    const SplitRules lines{.Separators = "\n", .CarriageReturns = CarriageReturn::TrimAtEnd};
    for (const TextPiece& piece : SplitText(fileText, lines)) {
        const std::string_view line = piece.Text;
        if (line.size() > 4 && AsciiLower(std::string(line.substr(0, 4))) == "cdn=") {
            return std::string(line.substr(4));
        }
    }
    return {};
}

KZV_ProtectedGameLaunchResult ResultForHttpStatus(long status)
{
    if (status < 400) {
        return kLoaderUnexpectedAnswer;
    }
    if (status < 500) {
        return kLoaderNoModuleForSystem;
    }
    return kLoaderCdnUnreachable;
}

}  // namespace tavrin::launcher
