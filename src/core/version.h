// The launcher's version and build time, as reported in logs and telemetry.
#pragma once

namespace tavrin::launcher {

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 9;
inline constexpr int kVersionPatch = 4;
// The same version as text; keep the two together.
inline constexpr char kBootstrapperVersion[] = "1.9.4";
// Compile date and time, "Oct 28 2025 12:43:38".
extern const char kBuildTime[];

}  // namespace tavrin::launcher
