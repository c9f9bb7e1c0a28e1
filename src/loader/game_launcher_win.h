// The game launcher: starts the module loader for the game and translates
// every loader outcome into the launch result the launcher shows.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "loader/game_process_win.h"
#include "loader/game_start_gate.h"
#include "loader/module_interface.h"
#include "loader/module_loader_win.h"
#include "localization/localization.h"

namespace tavrin {
struct cSettings;
}

namespace tavrin::launcher {

class cGameLauncher {
public:
    // settings is not owned and must outlive this object; null means no
    // identifiers. The options go to the module loader.
    cGameLauncher(const tavrin::cSettings* settings, std::vector<std::string> arguments, bool gameDev,
                  const cHostFacts& hostFacts = DetectHostFacts(), cLoaderOptions loaderOptions = {});
    ~cGameLauncher();
    cGameLauncher(const cGameLauncher&) = delete;
    cGameLauncher& operator=(const cGameLauncher&) = delete;

    // Loads this object's table and the loader's; language and country may be null.
    void LoadLocalization(const std::string& directory, const char* language, const char* country);

    // Every outcome arrives through finish, the early ones (201, 207) before
    // this returns, the others on the loader's or the module's threads.
    // Nothing at all happens when either callback is empty.
    void StartModuleDownload(const char* executable, const std::vector<std::string>& arguments,
                             const char* workingDirectory, ProgressCallback progress, ResultCallback finish);

    // The loader's result sink: translates and forwards to the finish callback.
    void OnLoaderResult(KZV_ProtectedGameLaunchResult code, const char* message);

    // Before StartModuleDownload: a game the module asks for waits for
    // AllowGameStart, and is never created when this object goes first.
    void HoldGameStart() { GameStartGate.Hold(); }
    void AllowGameStart() { GameStartGate.Open(); }

    bool CreateGameProcess();

    // A new handle with the stored handle's rights, owned by the caller; empty
    // when none is stored or duplication fails.
    cProcessHandle DuplicateGameProcessHandle() const;

    uint32_t GetGameProcessId() const { return GameProcessId.load(); }
    const std::string& GamePathValue() const { return GamePath; }
    cWindowsModuleLoader& Loader() { return ModuleLoader; }

private:
    std::string Text(const MessageText& message, const std::vector<std::string>& args = {}) const;
    void Finish(KZV_ProtectedGameLaunchResult code, const char* message);
    void Finish(KZV_ProtectedGameLaunchResult code, const std::string& message);
    std::string InvalidExecutableText() const;
    void OnLaunchConfirmed();

    const tavrin::cSettings* Settings;
    bool GameDev;
    cWindowsModuleLoader ModuleLoader;
    ProgressCallback Progress;
    ResultCallback FinishCallback;
    std::string GamePath;
    std::vector<std::string> Arguments;
    std::string WorkingDirectory;
    std::atomic<uint32_t> GameProcessId{0};
    cSharedProcessHandle GameProcessHandle;
    cLocalization Localization;
    cGameStartGate GameStartGate;
};

}  // namespace tavrin::launcher
