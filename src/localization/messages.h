// Every message key the launcher looks up, with its built-in English text.
// Call sites pass both: table.GetText(kMsgLoading.Key, kMsgLoading.Text).
#pragma once

namespace tavrin::launcher {

struct MessageText {
    const char* Key;
    const char* Text;
};

// Status texts, error titles and settings errors.
inline constexpr MessageText kMsgLoading{"launcher.loading", "LOADING"};
inline constexpr MessageText kMsgInitializing{"launcher.initializing", "INITIALIZING"};
inline constexpr MessageText kMsgSuccessWaitingForGame{"launcher.success_waiting_for_game",
                                                       "WAITING FOR GAME"};
inline constexpr MessageText kMsgErrorCancel{"launcher.error_cancel", "Launch Canceled"};
inline constexpr MessageText kMsgErrorLaunch{"launcher.error_launch", "Launch Error"};
inline constexpr MessageText kMsgNetworkError{"launcher.network_error", "Network error"};
inline constexpr MessageText kMsgErrorInstall{"launcher.error_install", "Install Error"};
inline constexpr MessageText kMsgBtnExit{"launcher.btn_exit", "Exit"};
// {0} settings file name
inline constexpr MessageText kMsgErrorNoSettingsFile{"launcher.error_no_settings_file", "{0} not found"};
// {0} settings file name
inline constexpr MessageText kMsgErrorInvalidSettingsFormat{"launcher.error_invalid_settings_format",
                                                            "{0} does not have a valid JSON format"};
// {0} settings file name, {1} field name
inline constexpr MessageText kMsgErrorMissingRequiredField{"launcher.error_missing_required_field",
                                                           "{0} is missing a required field ({1})"};
// {0} settings file name, {1} field name
inline constexpr MessageText kMsgErrorInvalidQrvIdentifier{"launcher.error_invalid_qrv_identifier",
                                                           "{0} contains an invalid QRV identifier: ({1})"};

// Game launcher and module loader.
inline constexpr MessageText kMsgCreateThread{"launcher_error.create_thread",
                                              "Failed at creating the background thread!"};
inline constexpr MessageText kMsgEmptyExecutableField{"launcher_error.empty_executable_field",
                                                      "The path to the game binary was not provided."};
inline constexpr MessageText kMsgWorkingDirectory{"launcher_error.working_directory",
                                                  "Working directory does not exist."};
// {0} game path
inline constexpr MessageText kMsgGameBinaryNotFound{"launcher_error.error_game_binary_not_found",
                                                    "Could not locate the game binary: '{0}'"};
inline constexpr MessageText kMsgGameBinaryIsDirectory{"launcher_error.error_game_binary_is_directory",
                                                       "The target executable is a directory!"};
inline constexpr MessageText kMsgMissingBinaryPath{"launcher_error.error_missing_binary_path",
                                                   "Missing game executable path."};
inline constexpr MessageText kMsgMissingDirectoryPath{"launcher_error.error_missing_directory_path",
                                                      "Missing working directory path."};
// The caller appends the path.
inline constexpr MessageText kMsgInvalidExecutablePath{"launcher_error.error_invalid_executable_path",
                                                       "Invalid game executable path:"};
inline constexpr MessageText kMsgArm64NotSupportedForGame{
    "launcher_error.error_arm64_not_supported_for_game",
    "ARM64 CPU is not currently supported for this game."};
inline constexpr MessageText kMsgModuleNotFound{
    "launcher_error.error_module_not_found",
    "No anti-cheat module has been found for this game and platform."};
inline constexpr MessageText kMsgSuccessLoaded{"launcher_error.success_loaded",
                                               "Tavrin successfully loaded in-game"};

// Module download.
// The caller appends the address.
inline constexpr MessageText kMsgConnectionFailed{"launcher_error.error_connection_failed",
                                                  "Connection failed: "};
inline constexpr MessageText kMsgDisallowedCdnPath{"launcher_error.error_disallowed_cdn_path",
                                                   "Unexpected error. (Incorrect CDN url)"};
inline constexpr MessageText kMsgDns{"launcher_error.error_dns",
                                     "DNS resolve to the Content Distribution Network failed!"};
inline constexpr MessageText kMsgDnsResolveFailed{"launcher_error.error_dns_resolve_failed",
                                                  "DNS resolve to proxy failed!"};
// {0} transfer error code
inline constexpr MessageText kMsgDnsConnectionFailed{
    "launcher_error.error_dns_connection_failed",
    "Connection to the Content Distribution Network failed! Curl Code: {0}!"};
// {0} HTTP status, {1} transfer error code
inline constexpr MessageText kMsgHttpResponse{"launcher_error.error_http_response",
                                              "HTTP Response Code: {0} Curl Code: {1}"};
inline constexpr MessageText kMsgCancelled{"launcher_error.error_cancelled", "Operation cancelled by user"};

// Module loading, initialization and the game process.
inline constexpr MessageText kMsgCertificateValidation{"launcher_error.error_certificate_validation",
                                                       "Error validating Tavrin code signing certificate"};
inline constexpr MessageText kMsgModuleLoading{"launcher_error.error_module_loading",
                                               "Failed to load the anti-cheat module."};
inline constexpr MessageText kMsgInternal{"launcher_error.error_internal", "Internal error!"};
// {0} module's result code
inline constexpr MessageText kMsgModuleInitialize{"launcher_error.error_module_initialize",
                                                  "Module initialization failed with {0}"};
inline constexpr MessageText kMsgGameBinaryNotFoundWine{"launcher_error.error_game_binary_not_found_wine",
                                                        "Failed to locate the game binary (Wine)"};
// {0} failure detail
inline constexpr MessageText kMsgCreateProcess{"launcher_error.error_create_process",
                                               "Failed to create the game process: {0}"};

// System font file names a language needs; empty means the built-in fonts.
inline constexpr MessageText kMsgFontRegular{"windows_fonts.regular", ""};
inline constexpr MessageText kMsgFontBold{"windows_fonts.bold", ""};
inline constexpr MessageText kMsgFontLight{"windows_fonts.light", ""};

inline constexpr MessageText kAllMessages[] = {
    kMsgLoading,
    kMsgInitializing,
    kMsgSuccessWaitingForGame,
    kMsgErrorCancel,
    kMsgErrorLaunch,
    kMsgNetworkError,
    kMsgErrorInstall,
    kMsgBtnExit,
    kMsgErrorNoSettingsFile,
    kMsgErrorInvalidSettingsFormat,
    kMsgErrorMissingRequiredField,
    kMsgErrorInvalidQrvIdentifier,
    kMsgCreateThread,
    kMsgEmptyExecutableField,
    kMsgWorkingDirectory,
    kMsgGameBinaryNotFound,
    kMsgGameBinaryIsDirectory,
    kMsgMissingBinaryPath,
    kMsgMissingDirectoryPath,
    kMsgInvalidExecutablePath,
    kMsgArm64NotSupportedForGame,
    kMsgModuleNotFound,
    kMsgSuccessLoaded,
    kMsgConnectionFailed,
    kMsgDisallowedCdnPath,
    kMsgDns,
    kMsgDnsResolveFailed,
    kMsgDnsConnectionFailed,
    kMsgHttpResponse,
    kMsgCancelled,
    kMsgCertificateValidation,
    kMsgModuleLoading,
    kMsgInternal,
    kMsgModuleInitialize,
    kMsgGameBinaryNotFoundWine,
    kMsgCreateProcess,
    kMsgFontRegular,
    kMsgFontBold,
    kMsgFontLight,
};

}  // namespace tavrin::launcher
