// Platform-free rules of the module download: URLs, the override file, the
// allowed prefix and the meaning of HTTP statuses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/result_codes.h"

namespace tavrin::launcher {

// A 200 body of this size or less means the service is off for the deployment.
inline constexpr size_t kDisabledServiceMaxBody = 4096;

inline constexpr char kCdnOverrideExtension[] = ".kzv";
inline constexpr char kNoBuildId[] = "N/A";

// The configured CDN hosts ("name" or "name:port").
const char* CdnHost(bool gameDev);
// "https://" + host + "/modules/{{productid}}/{{deploymentid}}/{{system}}".
std::string CdnUrlTemplate(bool gameDev);
// "https://" + host + "/".
std::string AllowedCdnPrefix(bool gameDev);

// Replaces every "{{productid}}", then "{{deploymentid}}", then "{{system}}".
std::string ExpandUrlTemplate(const std::string& urlTemplate, const std::string& productId,
                              const std::string& deploymentId, const std::string& systemName);

// The text between the first "/builds/" and the next "/", else "N/A".
std::string BuildIdFromOverride(const std::string& overrideUrl);

bool HasAllowedPrefix(const std::string& url, const std::string& prefix);

// The rest of the first line that starts with "cdn=" (any case); lines of
// four characters or fewer are skipped. Empty when there is none.
std::string FindCdnOverride(std::string_view fileText);

// 511 below 400, 506 for 400 to 499, 505 from 500.
KZV_ProtectedGameLaunchResult ResultForHttpStatus(long status);

}  // namespace tavrin::launcher
