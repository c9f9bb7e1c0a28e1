// The launcher's per-product folder under the roaming application-data
// folder: it holds the log files and the module cache.
#pragma once

#include <string>

namespace tavrin {

// The roaming application-data folder + "Tavrin\", created when missing.
bool GetAppDataFolder(std::wstring& folder);

// The application folder + productId + "\" + deploymentId + "\", created as
// needed. False for empty or malformed identifiers; the output is then unusable.
bool GetCacheDirectory(const std::string& productId, const std::string& deploymentId, std::string& directory);

}  // namespace tavrin
