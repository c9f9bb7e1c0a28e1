// The launcher's version and build time, as reported in logs and telemetry.
#pragma once

namespace tavrin::launcher {

inline constexpr char kBootstrapperVersion[] = "1.9.4";
// Compile date and time, "Oct 28 2025 12:43:38".
extern const char kBuildTime[];

}  // namespace tavrin::launcher
