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
#include "core/key_ring.h"
#include "core/launch_reports.h"
#include "core/launch_result.h"
#include "core/telemetry_events.h"
#include "loader/module_loader_win.h"
#include "localization/localization.h"
#include "logging/log_file_win.h"
#include "logging/logger.h"
#include "settings/settings.h"
#include "ui/bootstrapper_window_win.h"

namespace tavrin::launcher {

class cGameLauncher;

class AntiCheatLauncher : public tavrin::cBackgroundWorker {
public:
    AntiCheatLauncher(tavrin::cLogger& logger, const std::vector<std::string>& arguments,
                      const cHostFacts& host = DetectHostFacts());
    ~AntiCheatLauncher() override;

    // The settings and the log, which need no window: before SDL starts, so
    // the log opens as early as the settings allow. False only when the
    // launcher's own folder cannot be found.
    bool LoadSettingsAndOpenLog(std::string& message);
    // The window and the rest, once SDL runs.
    bool Initialize(std::string& message);
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

    // Game window watch.
    void BeginExitPolling();
    bool PollGameWindow();

    bool ExitRequested() const { return ExitRequestedFlag.load(); }
    void RequestExit() { ExitRequestedFlag.store(true); }
    LauncherState State() const { return static_cast<LauncherState>(CurrentState.load()); }
    KZV_ProtectedGameLaunchResult LaunchResult() const { return Reports.Result(); }
    std::string LaunchResultMessage() const;
    const tavrin::cSettings& Settings() const { return LauncherSettings; }
    cGameLauncher* GameLauncher() const { return Launcher.get(); }
    size_t PendingTaskCount();

    // Built event list of the last ReportTelemetry, for inspection.
    std::vector<Analytics::EventDescriptor> LastReportedEvents;

    // Exposed for the window-watch tests.
    int64_t ExitDeferTimeNs = 60'000'000'000;
    cProcessHandle GameProcessHandle;
    uint32_t GameProcessId = 0;
    std::atomic<int64_t> PollStart{0};
    std::atomic<int64_t> WindowVisibleTime{0};

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
    bool WindowSearchDue(int64_t now);

    cHostFacts Host;
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
    // Monotonic time of the last search for the game's window; 0: none yet.
    int64_t LastWindowSearch = 0;

    std::unique_ptr<cGameLauncher> Launcher;

    // Written by the game launcher's thread, read by main-thread tasks.
    cLaunchReports Reports;
    std::atomic<int64_t> DownloadStart{INT64_MIN};

    int64_t RunStart = INT64_MIN;
    std::atomic<bool> ExitRequestedFlag{false};

    std::vector<std::string> Arguments;
    uint32_t LauncherLogLevel = Info;
    tavrin::cLogFile LogFile;
};

}  // namespace tavrin::launcher
