// The settings file as the launcher's own scanner reads it, set against what
// the same bytes mean as JSON, with a finding wherever the two part.
#pragma once

#include <string>
#include <string_view>

#include "check/report.h"
#include "settings/settings.h"

namespace tavrin::check {

// Fills seen with the record the launcher builds from these bytes and adds
// the fields and findings to the report under fileName.
void CheckSettingsText(std::string_view text, const std::string& fileName, cReport& report, cSettings& seen);

// Edit distance, capped: small typos in key names are told apart from
// unrelated keys.
size_t EditDistance(std::string_view a, std::string_view b);

// The nearest of the names within two edits (or equal but for case), else empty.
std::string NearestName(std::string_view name, const std::vector<std::string_view>& names);

}  // namespace tavrin::check
