// Every result code that travels between the module, the loader, the
// module download and the launcher, with the types that carry them.
#pragma once

#include <cstdint>

namespace tavrin::launcher {

// Result of a launch as the launcher's state machine sees it.
using KZV_ProtectedGameLaunchResult = int32_t;

// Answer of the caller's progress callback: 1 abandons the download, any
// other value lets it go on.
using KZV_ModuleDownloadProgressResult = uint32_t;
inline constexpr KZV_ModuleDownloadProgressResult KZV_ProgressContinue = 0;
inline constexpr KZV_ModuleDownloadProgressResult KZV_ProgressStop = 1;

// Launch results delivered to the launcher.
inline constexpr KZV_ProtectedGameLaunchResult kLaunchNoResult = 0;
inline constexpr KZV_ProtectedGameLaunchResult kLaunchCancelled = 101;
inline constexpr KZV_ProtectedGameLaunchResult kLaunchInvalidExecutable = 201;
inline constexpr KZV_ProtectedGameLaunchResult kLaunchNetworkError = 202;
inline constexpr KZV_ProtectedGameLaunchResult kLaunchModuleUnavailable = 204;
inline constexpr KZV_ProtectedGameLaunchResult kLaunchOverrideDownloadFailed = 205;
inline constexpr KZV_ProtectedGameLaunchResult kLaunchModuleRejected = 206;
inline constexpr KZV_ProtectedGameLaunchResult kLaunchInvalidGameOrSettings = 207;
inline constexpr KZV_ProtectedGameLaunchResult kLaunchCreationFailed = 208;
inline constexpr KZV_ProtectedGameLaunchResult kLaunchInstallError = 209;
inline constexpr KZV_ProtectedGameLaunchResult kLaunchOtherFailure = 210;
inline constexpr KZV_ProtectedGameLaunchResult kLaunchSuccess = 301;

// Codes the module loader and the module report; the game launcher turns
// them into launch results.
inline constexpr KZV_ProtectedGameLaunchResult kLoaderBadGamePath = 501;
inline constexpr KZV_ProtectedGameLaunchResult kLoaderCreationFailed = 502;
inline constexpr KZV_ProtectedGameLaunchResult kLoaderInstallError = 503;
inline constexpr KZV_ProtectedGameLaunchResult kLoaderOverrideDownloadFailed = 504;
inline constexpr KZV_ProtectedGameLaunchResult kLoaderCdnUnreachable = 505;
inline constexpr KZV_ProtectedGameLaunchResult kLoaderNoModuleForSystem = 506;
inline constexpr KZV_ProtectedGameLaunchResult kLoaderModuleRejected = 507;
inline constexpr KZV_ProtectedGameLaunchResult kLoaderCreateGameProcess = 508;
inline constexpr KZV_ProtectedGameLaunchResult kLoaderOtherFailure = 509;
inline constexpr KZV_ProtectedGameLaunchResult kLoaderUnmappedFailure = 510;
inline constexpr KZV_ProtectedGameLaunchResult kLoaderUnexpectedAnswer = 511;
inline constexpr KZV_ProtectedGameLaunchResult kLoaderLaunchConfirmed = 1002;
inline constexpr KZV_ProtectedGameLaunchResult kLoaderLaunchSucceeded = 1003;

}  // namespace tavrin::launcher
