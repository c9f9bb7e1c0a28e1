// The launcher's version and build time, as reported in logs and telemetry.
#pragma once

#include "tavrin_version.h"

namespace tavrin::launcher {

inline constexpr int kVersionMajor = TAVRIN_VERSION_MAJOR;
inline constexpr int kVersionMinor = TAVRIN_VERSION_MINOR;
inline constexpr int kVersionPatch = TAVRIN_VERSION_PATCH;
inline constexpr char kBootstrapperVersion[] = TAVRIN_VERSION_TEXT;
// Compile date and time, "Oct 28 2025 12:43:38".
extern const char kBuildTime[];

}  // namespace tavrin::launcher
