#include "loader/module_loader_win.h"

#include <mutex>
#include <utility>

#include "base/cache_folder_win.h"
#include "base/files_win.h"
#include "base/strings.h"
#include "base/version.h"
#include "loader/module_callback_gate.h"
#include "loader/native_module_win.h"
#include "loader/wine_helper_page_win.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

constexpr uint32_t kNativePidLookupMs = 2000;

}  // namespace

// --- cModuleLoader ---------------------------------------------------------------

cModuleLoader::cModuleLoader(std::vector<std::string> arguments, const cHostFacts& hostFacts,
                             cLoaderOptions options)
    : Arguments(std::move(arguments)), Facts(hostFacts), Options(std::move(options))
{
}

cModuleLoader::~cModuleLoader() { Shutdown(); }

bool cModuleLoader::Initialize(ProgressCallback progress, ResultCallback resultSink,
                               const std::string& gamePath, const std::string& workingDirectory,
                               const std::string& systemName, const std::string& productId,
                               const std::string& sandboxId, const std::string& deploymentId, bool gameDev)
{
    if (!BackEnd) {
        BackEnd = ChooseModuleBackEnd(Facts);
    }
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
    // From here until the module is released its reports reach this loader.
    Context = cModuleCallbackGate::Instance().Open(this);
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
    DeliverModuleCallback(record->Context, record->Code, record->Message, record->NativeProcessId);
}

void cModuleLoader::DeliverModuleCallback(void* context, int32_t code, const char* message, int32_t nativePid)
{
    if (!context) {
        return;
    }
    const bool delivered = cModuleCallbackGate::Instance().Pass(context, [&](void* target) {
        auto* loader = static_cast<cModuleLoader*>(target);
        if (nativePid != 0) {
            loader->GameProcessId.store(GetWindowsPidForNativePid(nativePid, kNativePidLookupMs));
        }
        loader->ReportResult(code, message);
    });
    if (!delivered) {
        LogPrintf(Warning, "Module callback with code %d dropped: the module has been released.", code);
    }
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
    if (BackEnd) {
        if (second) {
            uint32_t value = 1;
            BackEnd->CallSecond(second, &value);
        }
        BackEnd->Release();
    }
    // The module may report until its second entry point has returned.
    cModuleCallbackGate::Instance().Close(Context);
    Context = nullptr;
}

// --- cWindowsModuleLoader --------------------------------------------------------

cWindowsModuleLoader::cWindowsModuleLoader(std::vector<std::string> arguments, const cHostFacts& hostFacts,
                                           cLoaderOptions options)
    : cModuleLoader(std::move(arguments), hostFacts, std::move(options))
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

}  // namespace tavrin::launcher
