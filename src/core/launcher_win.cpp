#include "core/launcher_win.h"

#include <new>

#include "base/strings.h"
#include "core/command_line.h"
#include "core/globals.h"
#include "core/launch_lock_win.h"
#include "loader/game_launcher_win.h"
#include "localization/locale_setup.h"
#include "telemetry/analytics.h"

namespace tavrin::launcher {

namespace {

// Five letter keys typed in a row reveal the hidden logo once per process.
constexpr uint8_t kKeySequence[] = {'t', 'a', 'v', 'r', 'n'};
std::atomic<bool> gKeySequenceRecognised{false};

}  // namespace

AntiCheatLauncher::AntiCheatLauncher(tavrin::cLogger& logger, const std::vector<std::string>& arguments,
                                     const cHostFacts& host, cLauncherOptions options)
    : Host(host), Options(std::move(options)), Window(cWindowOptions{gHeadlessMode, GetIconPath()}),
      Watch(Options.ExitDeferTimeNs)
{
    LauncherSettings.Reset();
    tavrin::gLogger = &logger;
    Arguments = arguments;
    LauncherLogLevel = LogLevelFromArguments(Arguments);
    Window.SetExitHandler([this] { RequestExit(); });
    if (!Options.SendEvents)
        Options.SendEvents = [this](const std::vector<Analytics::EventDescriptor>& events) {
            Analytics::LogEventsAsync(*this, events);
        };
    if (!cBackgroundWorker::Start())
        LogPrintf(Error, "Failed to start AnalyticsWorker background thread!");
    gLauncher = this;
}

AntiCheatLauncher::~AntiCheatLauncher()
{
    Launcher.reset();
    cBackgroundWorker::Stop();
    Window.DestroyIcons();
    ReleaseLaunchLock();
    LogFile.Close();
    Tasks.Clear();
    Window.Destroy();
    if (gLauncher == this)
        gLauncher = nullptr;
}

bool AntiCheatLauncher::LoadSettingsLogAndLocale(std::string& message)
{
    message.clear();
    RunRecord.RunStarted(MonotonicNow());
    uint32_t directoryResult = GetLauncherDirectory(LauncherDirectory);
    if (directoryResult != DirectoryFound) {
        LogPrintf(Error, "Failed to query the process executable directory, result: %u.", directoryResult);
        message = "Failed to query the working directory.";
        LogPrintf(Error, "Failed to query the working directory of the launcher.");
        return false;
    }
    ReadSettingsOption(Arguments, SettingsFileName);

    if (!LoadSettings(message))
        LogPrintf(Error, "Failed to initialize the settings: '%s'.", message.c_str());
    message.clear();
    SetupLocalization();
    return true;
}

bool AntiCheatLauncher::Initialize(std::string& message)
{
    message.clear();
    if (!Window.Create(
            LauncherSettings, Localization, LauncherDirectory, [this] { FallBackToEnglishTexts(); }, message))
        return false;

    SetState(StateLoading);
    return true;
}

bool AntiCheatLauncher::LoadSettings(std::string& errorText)
{
    std::string path = BuildSettingsPath(LauncherDirectory, SettingsFileName);
    if (!LauncherSettings.ReadSettingsFile(path)) {
        errorText = FormatSettingsLoadError(LauncherSettings.Status);
        return false;
    }
    OpenLogFile(LogFile, LauncherSettings.ProductId, LauncherSettings.DeploymentId, LauncherLogLevel);
    LogPrintf(Info, "Log file open, %s.", FormatLogOpenTime().c_str());
    LogPrintf(Info, "Loaded the following settings .json file: '%s'", path.c_str());
    Analytics::SetIdentity(LauncherSettings.ProductId, LauncherSettings.SandboxId,
                           LauncherSettings.DeploymentId);
    Analytics::EnsureRunId();
    LauncherSettings.PrintSettings();
    return true;
}

void AntiCheatLauncher::SetupLocalization()
{
    tavrin::launcher::SetupLocalization(Localization, LocalizationDirectory(), Language, Region, LocaleName);
}

void AntiCheatLauncher::LoadLocalizationFor(const std::string& language, const std::string& region)
{
    tavrin::launcher::LoadLocalizationFor(Localization, LocalizationDirectory(),
                                          language.empty() ? Language : language,
                                          region.empty() ? Region : region, LocaleName);
}

void AntiCheatLauncher::FallBackToEnglishTexts()
{
    LoadLocalizationFor("en", "us");
    gUseBuiltInTexts = true;
}

std::string AntiCheatLauncher::LocalizationDirectory() const
{
    return LauncherDirectory + "Tavrin\\Localization\\";
}

void AntiCheatLauncher::BeginLaunch()
{
    bool gameDev = LauncherSettings.IsDevelopmentEnvironment();
    Launcher.reset(new (std::nothrow)
                       cGameLauncher(&LauncherSettings, Arguments, gameDev, Host, {gImmediateExitOnError, {}}));
    if (!Launcher) {
        LogPrintf(Error, "Failed to create GameLauncher instance!");
        return;
    }
    // The player sees the splash before the game: no game until Start.
    Launcher->HoldGameStart();
    Launcher->LoadLocalization(LocalizationDirectory(), Language.c_str(), Region.c_str());

    if (LauncherSettings.Status < 0) {
        std::string text = LauncherSettings.BuildSettingsErrorText(SettingsFileName, Localization);
        OnGameLauncherFinished(kLaunchInvalidGameOrSettings, text.c_str());
        return;
    }
    RunRecord.DownloadStarted(MonotonicNow());
    Launcher->StartModuleDownload(
        LauncherSettings.Executable.c_str(), Arguments, LauncherDirectory.c_str(),
        [this](uint32_t completed, uint32_t total) { return OnModuleDownloadProgress(completed, total); },
        [this](KZV_ProtectedGameLaunchResult result, const char* message) {
            OnGameLauncherFinished(result, message);
        });
}

bool AntiCheatLauncher::Start()
{
    if (!Launcher)
        return false;
    SetState(StateDownloading);
    Launcher->AllowGameStart();
    // Progress reported while the window was being made is shown now.
    PostToMainThread([this] { return UpdateProgressDisplay(); });
    return true;
}

// --- main loop ---------------------------------------------------------------

void AntiCheatLauncher::RunMainLoop()
{
    int64_t previous = MonotonicNow();
    while (!ExitRequested()) {
        int64_t now = MonotonicNow();
        int64_t elapsed = now - previous;
        previous = MonotonicNow();
        SDL_Event event;
        while (!gHeadlessMode && SDL_PollEvent(&event))
            HandleEvent(event);
        Update(elapsed);
    }
    // The telemetry upload and the wait for the game follow: not with a
    // hidden, confined pointer left from the press that ended the loop.
    Window.ReleaseMouse();
}

void AntiCheatLauncher::Update(int64_t elapsedNs)
{
    FrameCountdown -= elapsedNs;
    if (FrameCountdown > 0) {
        // Rounded up: under a millisecond, a sleep of 0 would only yield and the
        // loop would spin through the rest of every frame pumping events.
        Sleep(static_cast<DWORD>((FrameCountdown + 999'999) / 1'000'000));
        return;
    }
    FrameCountdown = FramePeriod;
    RunNextTask();
    if (LauncherSettings.HideBootstrapper || gHeadlessMode)
        return;
    if (Window.UpdateAndDraw(FramePeriod))
        NoteFramePresented();
}

// Once per run, so the log shows how long the player saw nothing.
void AntiCheatLauncher::NoteFramePresented()
{
    if (FirstFramePresented || !Window.Window() || !(SDL_GetWindowFlags(Window.Window()) & SDL_WINDOW_SHOWN))
        return;
    FirstFramePresented = true;
    LogPrintf(Verbose, "First splash frame presented.");
}

void AntiCheatLauncher::PostToMainThread(MainThreadTask task) { Tasks.Post(std::move(task)); }

size_t AntiCheatLauncher::PendingTaskCount() { return Tasks.Pending(); }

bool AntiCheatLauncher::RunNextTask() { return Tasks.RunNext(); }

void AntiCheatLauncher::HandleEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_QUIT:
        RequestExit();
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        CheckKeySequence(event);
        break;
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        Window.HandleEvent(event);
        break;
    case SDL_WINDOWEVENT:
        // Moved to a monitor of another scale: the window follows it.
        Window.HandleEvent(event);
        // Shown, uncovered or resized: the pixels on the screen are no longer
        // the last frame presented.
        Window.InvalidateFrame();
        break;
    default:
        break;
    }
}

void AntiCheatLauncher::CheckKeySequence(const SDL_Event& event)
{
    if (event.type == SDL_KEYUP)
        KeyRing.Push(event.key.keysym.sym);
    if (gKeySequenceRecognised.load() || !KeyRing.EndsWith(kKeySequence, sizeof(kKeySequence)))
        return;
    gKeySequenceRecognised.store(true);
    if (!LauncherSettings.HideLogoAnimation)
        Window.RevealHiddenLogo();
}

}  // namespace tavrin::launcher
