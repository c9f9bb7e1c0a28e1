// Language files walked line by line as the launcher reads them: where its
// rules drop text, which keys it will find, and how a translation compares
// with the English file.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "check/report.h"

namespace tavrin::check {

struct CfgEntry {
    std::string Value;
    int Line = 0;
};

// "<section>.<key>" -> the entry the launcher's lookup will return.
using CfgEntries = std::map<std::string, CfgEntry>;

// Reports what the launcher drops or misreads in one ".cfg" text and
// returns the entries its lookups will find.
CfgEntries CheckLocalizationText(std::string_view text, const std::string& fileName, cReport& report);

// Keys the launcher never asks for, keys missing against the English file
// (null: against the built-in texts) and placeholders a translation drops.
void CompareWithEnglish(const CfgEntries& entries, const CfgEntries* english, const std::string& fileName,
                        cReport& report);

}  // namespace tavrin::check
