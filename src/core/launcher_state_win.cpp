// Screen states, download progress and launch results of the launcher.
#include "base/strings.h"
#include "core/globals.h"
#include "core/launch_lock_win.h"
#include "core/launcher_win.h"
#include "core/telemetry_events.h"
#include "loader/game_launcher_win.h"

namespace tavrin::launcher {

namespace {

constexpr char kCyclingDots[] = "[...]";

}  // namespace

bool AntiCheatLauncher::SetState(LauncherState target)
{
    int32_t current = CurrentState.load();
    if (current > target) {
        LogPrintf(Error, "Tried to backtrack from state %u to %u!", static_cast<uint32_t>(current),
                  static_cast<uint32_t>(target));
        return false;
    }
    if (gHeadlessMode)
        return true;
    Window.ApplyStateGroup(target, LauncherSettings);
    CurrentState.store(target);
    return true;
}

KZV_ModuleDownloadProgressResult AntiCheatLauncher::OnModuleDownloadProgress(uint32_t completed,
                                                                             uint32_t total)
{
    const cProgressStep step = Reports.RecordProgress(completed, total, MonotonicNow());
    LogPrintf(VeryVerbose, "Current progress: %u (%u/%u).", step.Percent, completed, total);
    if (step.Rose && CurrentState.load() == StateDownloading)
        PostToMainThread([this] { return UpdateProgressDisplay(); });
    return ExitRequested() ? KZV_ProgressStop : KZV_ProgressContinue;
}

bool AntiCheatLauncher::UpdateProgressDisplay()
{
    if (State() != StateDownloading)
        return false;
    uint32_t percent = Reports.Percent();
    if (percent <= 100 && !gHeadlessMode)
        Window.ShowProgress(percent);
    if (percent == 100 && State() == StateDownloading) {
        std::string text = Localization.GetText(kMsgInitializing.Key, kMsgInitializing.Text);
        SetState(StateInitializing);
        if (!gHeadlessMode)
            Window.SetScreenTexts(1, text, kCyclingDots);
    }
    return false;
}

void AntiCheatLauncher::OnGameLauncherFinished(KZV_ProtectedGameLaunchResult result, const char* message)
{
    Reports.RecordResult(result, message, MonotonicNow());
    PostToMainThread([this] { return ApplyLaunchResult(); });
}

std::string AntiCheatLauncher::LaunchResultMessage() const { return Reports.Message(); }

std::string AntiCheatLauncher::LaunchResultTitle(KZV_ProtectedGameLaunchResult result)
{
    const MessageText& title = LaunchResultTitleText(result);
    return Localization.GetText(title.Key, title.Text);
}

bool AntiCheatLauncher::ApplyLaunchResult()
{
    KZV_ProtectedGameLaunchResult result;
    std::string message;
    Reports.ReadResult(result, message);
    LogPrintf(Info, "Launcher finished with: %u, '%s'.", static_cast<uint32_t>(result), message.c_str());
    std::string title = LaunchResultTitle(result);
    if (result == kLaunchNetworkError || result == kLaunchModuleUnavailable)
        LogPrintf(Error, "Could not reach the Tavrin CDN!");

    Reports.SetPercent(100);
    if (!gHeadlessMode)
        Window.ShowFullProgress();

    if (result == kLaunchSuccess) {
        LogPrintf(Info,
                  "Successfully initialized the Tavrin module, waiting for game window to become visible.");
        if (!gHeadlessMode)
            Window.FadeHiddenLogo();
        SetState(StateWaitingForGame);
        if (!gHeadlessMode)
            Window.SetScreenTexts(1, title, kCyclingDots);
        BeginExitPolling();
    } else {
        SetState(StateError);
        if (!gHeadlessMode) {
            Window.SetScreenTexts(2, title, message);
            LauncherSettings.HideGui = false;
            LauncherSettings.HideBootstrapper = false;
            Window.ShowErrorExtras();
        }
        // Headless, there is no Exit button to press: the error ends the run.
        if (gImmediateExitOnError || gHeadlessMode)
            RequestExit();
    }
    LogPrintf(Info, "Unlocking the launch lock, allowing next game to launch to take place.");
    ReleaseLaunchLock();
    return false;
}

void AntiCheatLauncher::ReportTelemetry()
{
    KZV_ProtectedGameLaunchResult result = Reports.Result();
    if (LauncherSettings.Status < 0 || result == kLaunchNoResult)
        return;

    const cRunFigures figures = RunRecord.Figures(Reports, Watch.Record().WaitNs(), MonotonicNow());

    int32_t downloadMs = DownloadMilliseconds(figures);
    LogPrintf(Info, "Downloaded %u bytes in %u ms (%.2f KB/s).", figures.BytesCompleted,
              static_cast<uint32_t>(downloadMs), static_cast<double>(DownloadRateKBps(figures)));
    if (result == kLaunchSuccess && figures.WindowWaitNs >= 0)
        LogPrintf(Info, "Time spent waiting for the game window to become visible: %i ms.",
                  static_cast<int32_t>(figures.WindowWaitNs / 1'000'000));

    Options.SendEvents(BuildLaunchEvents(figures));
}

// --- game window watch ---------------------------------------------------------

void AntiCheatLauncher::BeginExitPolling()
{
    if (!Launcher)
        return;
    WatchGame(Launcher->DuplicateGameProcessHandle(), Launcher->GetGameProcessId());
    PostToMainThread([this] { return PollGameWindow(); });
}

void AntiCheatLauncher::WatchGame(cProcessHandle process, uint32_t processId)
{
    Watch.Begin(std::move(process), processId, MonotonicNow());
}

bool AntiCheatLauncher::PollGameWindow()
{
    if (!Host.Wine && Watch.Poll(MonotonicNow()))
        return true;
    if (Options.WindowWaitEnded)
        Options.WindowWaitEnded(Watch.Record().EndTime());
    RequestExit();
    Window.Hide();
    return false;
}

}  // namespace tavrin::launcher
