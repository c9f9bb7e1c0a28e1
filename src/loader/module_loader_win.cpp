#include "loader/module_loader_win.h"

#include <mutex>
#include <utility>

#include "acquisition/system_names_win.h"
#include "core/version.h"
#include "loader/wine_helper_page_win.h"
#include "logging/log_file_win.h"
#include "logging/logger.h"
#include "settings/files_win.h"
#include "settings/strings.h"

namespace tavrin::launcher {

namespace {

constexpr uint32_t kNativePidLookupMs = 2000;

enum EntryPointSlot { kEntryInit = 0, kEntrySecond = 1, kEntryThird = 2, kEntryLocale = 3 };

// The Windows id of a game that a native module started under Wine.
// TODO(wine): replace by GetWindowsPidForNativePid when Wine support lands;
// until then no id is found.
uint32_t WindowsPidForNativePid(int32_t nativePid, uint32_t limitMs)
{
    (void)nativePid;
    (void)limitMs;
    return 0;
}

}  // namespace

cHostFacts DetectHostFacts()
{
    static const cHostFacts facts = [] {
        cHostFacts detected;
        detected.Wine = IsWine();
        detected.Arm64 = IsArm64Host();
        return detected;
    }();
    return facts;
}

// --- cModuleLoader ---------------------------------------------------------------

cModuleLoader::cModuleLoader(std::vector<std::string> arguments, const cHostFacts& hostFacts)
    : Arguments(std::move(arguments)), Facts(hostFacts)
{
}

cModuleLoader::~cModuleLoader() { Shutdown(); }

bool cModuleLoader::Initialize(ProgressCallback progress, ResultCallback resultSink,
                               const std::string& gamePath, const std::string& workingDirectory,
                               const std::string& systemName, const std::string& productId,
                               const std::string& sandboxId, const std::string& deploymentId, bool gameDev)
{
    Progress = std::move(progress);
    ResultSink = std::move(resultSink);
    GamePath = gamePath;
    SystemName = systemName;
    ProductId = productId;
    SandboxId = sandboxId;
    DeploymentId = deploymentId;
    GameDev = gameDev;

    LogPrintf(Info, "Loader initializing with bootstrapper version %i.%i.%i, architecture: %s.",
              kVersionMajor, kVersionMinor, kVersionPatch, "x86-64");
    if (GameDev) {
        LogPrintf(Info, "Using GameDev environment.");
    }
    if (!ValidatePaths(workingDirectory)) {
        return false;
    }
    ProbeModuleCache();
    if (!Start()) {
        Report(kLoaderCreationFailed, Text(kMsgCreateThread));
        return false;
    }
    LogPrintf(Info, "Loader component initialized.");
    return true;
}

bool cModuleLoader::ValidatePaths(const std::string& workingDirectory)
{
    if (GamePath.empty()) {
        Report(kLoaderBadGamePath, Text(kMsgEmptyExecutableField));
        return false;
    }
    if (!workingDirectory.empty() && !IsDirectory(workingDirectory)) {
        Report(kLoaderBadGamePath, Text(kMsgWorkingDirectory));
        return false;
    }
    if (!PathExists(GamePath.c_str())) {
        Report(kLoaderBadGamePath, Text(kMsgGameBinaryNotFound, {GamePath}));
        return false;
    }
    if (IsDirectory(GamePath)) {
        Report(kLoaderBadGamePath, Text(kMsgGameBinaryIsDirectory));
        return false;
    }
    return true;
}

void cModuleLoader::LoadLocalization(const std::string& directory, const char* language, const char* country)
{
    Language.clear();
    Country.clear();
    if (directory.empty()) {
        return;
    }
    Language = language ? language : "";
    Country = country ? country : "";
    std::string localeName;
    std::wstring error;
    Localization.LoadFromDirectory(Utf8ToUtf16(directory), Language, Country, localeName, error);
}

void cModuleLoader::ReportResult(KZV_ProtectedGameLaunchResult code, const char* message)
{
    if (!ResultSink) {
        return;
    }
    if (message) {
        std::string line = "[KZV Callback] Code: {0}. Message: '{1}'.";
        FormatPlaceholders(line, {std::to_string(static_cast<uint32_t>(code)), message});
        LogPrintf(Verbose, "%s", line.c_str());
    }
    ResultSink(code, message);
}

void cModuleLoader::Report(KZV_ProtectedGameLaunchResult code, const std::string& message)
{
    ReportResult(code, message.c_str());
}

void cModuleLoader::ModuleCallback(KZV_CallbackRecord* record)
{
    // The record comes from outside code: take nothing for granted.
    if (!record || !record->Context) {
        return;
    }
    auto* loader = static_cast<cModuleLoader*>(record->Context);
    if (record->NativeProcessId != 0) {
        loader->GameProcessId.store(WindowsPidForNativePid(record->NativeProcessId, kNativePidLookupMs));
    }
    loader->ReportResult(record->Code, record->Message);
}

std::string cModuleLoader::Text(const MessageText& message, const std::vector<std::string>& args) const
{
    return Localization.GetText(message.Key, message.Text, args);
}

void cModuleLoader::Shutdown()
{
    // Stop() takes the thread lock and joins without limit.
    Stop();
    ReleaseModule();
    StoreCachedModule();
}

void cModuleLoader::ReleaseModule()
{
    void* second = EntryPoints[kEntrySecond];
    EntryPoints[kEntrySecond] = nullptr;
    if (!second) {
        return;
    }
    uint32_t reason = 1;
    if (Facts.Wine) {
        // TODO(wine): call through the System V bridge when Wine support lands.
        return;
    }
    using SecondEntryFn = void (*)(uint32_t*);
    reinterpret_cast<SecondEntryFn>(second)(&reason);
}

// --- cWindowsModuleLoader --------------------------------------------------------

cWindowsModuleLoader::cWindowsModuleLoader(std::vector<std::string> arguments, const cHostFacts& hostFacts)
    : cModuleLoader(std::move(arguments), hostFacts)
{
}

cWindowsModuleLoader::~cWindowsModuleLoader()
{
    // The thread must not outlive the overrides it calls.
    Shutdown();
    GameProcessHandle.Close();
    ReleaseWineHelperPage();
}

bool cWindowsModuleLoader::GetModuleCachePath(std::string& path, const std::string& productId,
                                              const std::string& deploymentId)
{
    path.clear();
    if (productId.empty() || deploymentId.empty()) {
        return false;
    }
    std::string directory;
    if (!GetCacheDirectory(productId, deploymentId, directory)) {
        return false;
    }
    path = directory + ModuleFileName();
    return true;
}

void cWindowsModuleLoader::LoadModule(std::vector<uint8_t> bytes)
{
    // Verification, mapping and initialization come later; keep the bytes.
    std::lock_guard<std::mutex> guard(ModuleBytesLock);
    ModuleBytes = std::move(bytes);
}

std::vector<uint8_t> cWindowsModuleLoader::LoadedModuleBytes() const
{
    std::lock_guard<std::mutex> guard(ModuleBytesLock);
    return ModuleBytes;
}

}  // namespace tavrin::launcher
