// The one application object: owns the settings, the splash window, the game
// launcher and the main-thread task queue, and is itself the analytics worker.
#pragma once

#include <SDL.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/worker.h"
#include "core/game_window_watch_win.h"
#include "core/key_ring.h"
#include "core/launch_reports.h"
#include "core/launch_result.h"
#include "core/run_record.h"
#include "core/telemetry_events.h"
#include "loader/module_loader_win.h"
#include "localization/localization.h"
#include "logging/log_file_win.h"
#include "logging/logger.h"
#include "settings/settings.h"
#include "ui/bootstrapper_window_win.h"

namespace tavrin::launcher {

class cGameLauncher;

using cEventSink = std::function<void(const std::vector<Analytics::EventDescriptor>& events)>;

struct cLauncherOptions {
    // How long the launcher waits for the game's window before it leaves anyway.
    int64_t ExitDeferTimeNs = kExitDeferTimeNs;
    // Receives the run's telemetry events; unset, the launcher uploads them.
    cEventSink SendEvents;
    // Told when the wait for the game's window ends: the moment the window
    // was seen or the wait given up, 0 when it ended otherwise.
    std::function<void(int64_t endNs)> WindowWaitEnded;
};

class AntiCheatLauncher : public tavrin::cBackgroundWorker {
public:
    AntiCheatLauncher(tavrin::cLogger& logger, const std::vector<std::string>& arguments,
                      const cHostFacts& host = DetectHostFacts(), cLauncherOptions options = {});
    ~AntiCheatLauncher() override;

    // The settings, the log and the user's locale, which need no window:
    // before SDL starts, so the log opens as early as the settings allow.
    // False only when the launcher's own folder cannot be found.
    bool LoadSettingsLogAndLocale(std::string& message);
    // The game launcher and the module download, which need no window
    // either: they run while the window is made. A game the module asks for
    // waits for Start.
    void BeginLaunch();
    // The window, once SDL runs.
    bool Initialize(std::string& message);
    // The download's screen; the game may start from here on. False when the
    // game launcher could not be created.
    bool Start();
    void HandleEvent(const SDL_Event& event);
    void Update(int64_t elapsedNs);
    void PostToMainThread(MainThreadTask task);
    void RunMainLoop();

    // State machine and results.
    bool SetState(LauncherState target);
    KZV_ModuleDownloadProgressResult OnModuleDownloadProgress(uint32_t completed, uint32_t total);
    void OnGameLauncherFinished(KZV_ProtectedGameLaunchResult result, const char* message);
    bool UpdateProgressDisplay();
    bool ApplyLaunchResult();
    void ReportTelemetry();

    // Game window watch: BeginExitPolling watches the game launcher's game
    // (WatchGame) and polls it once per frame until the wait ends.
    void BeginExitPolling();
    void WatchGame(cProcessHandle process, uint32_t processId);
    bool PollGameWindow();

    bool ExitRequested() const { return ExitRequestedFlag.load(); }
    void RequestExit() { ExitRequestedFlag.store(true); }
    LauncherState State() const { return static_cast<LauncherState>(CurrentState.load()); }
    KZV_ProtectedGameLaunchResult LaunchResult() const { return Reports.Result(); }
    std::string LaunchResultMessage() const;
    const tavrin::cSettings& Settings() const { return LauncherSettings; }
    cGameLauncher* GameLauncher() const { return Launcher.get(); }
    size_t PendingTaskCount();

private:
    bool LoadSettings(std::string& errorText);
    void SetupLocalization();
    void LoadLocalizationFor(const std::string& language, const std::string& region);
    void FallBackToEnglishTexts();
    bool RunNextTask();
    void NoteFramePresented();
    void CheckKeySequence(const SDL_Event& event);
    std::string LaunchResultTitle(KZV_ProtectedGameLaunchResult result);
    std::string LocalizationDirectory() const;

    cHostFacts Host;
    cLauncherOptions Options;
    cBootstrapperWindow Window;
    cKeyRing KeyRing;
    std::atomic<int32_t> CurrentState{StateNone};

    cMainThreadTasks Tasks;

    tavrin::cSettings LauncherSettings;
    std::string SettingsFileName = "Settings.json";
    std::string LauncherDirectory;
    cLocalization Localization;
    std::string Region;
    std::string Language;
    std::string LocaleName;

    int64_t FrameCountdown = 0;
    int64_t FramePeriod = 16'000'000;
    bool FirstFramePresented = false;

    std::unique_ptr<cGameLauncher> Launcher;

    // Written by the game launcher's thread, read by main-thread tasks.
    cLaunchReports Reports;
    cRunRecord RunRecord;
    cGameWindowWatch Watch;

    std::atomic<bool> ExitRequestedFlag{false};

    std::vector<std::string> Arguments;
    uint32_t LauncherLogLevel = Info;
    tavrin::cLogFile LogFile;
};

}  // namespace tavrin::launcher
