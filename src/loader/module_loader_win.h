// The module loader: a thread that obtains, loads and initializes the
// anti-cheat module and reports every outcome as a result code.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/module_cache.h"
#include "base/host_facts.h"
#include "base/worker.h"
#include "loader/game_process_win.h"
#include "loader/module_back_end_win.h"
#include "loader/module_interface.h"
#include "localization/localization.h"
#include "localization/messages.h"

namespace tavrin::launcher {

using ProgressCallback = std::function<KZV_ModuleDownloadProgressResult(uint32_t done, uint32_t total)>;
// Also the shape of the caller's finish callback.
using ResultCallback = std::function<void(KZV_ProtectedGameLaunchResult code, const char* message)>;

class cModuleLoader;

// What the loader's thread runs once started.
using LoaderBody = std::function<void(cModuleLoader&)>;

// How a loader is built, besides the game's arguments and the host facts.
struct cLoaderOptions {
    // The launcher's switch: no message boxes, so no override notice.
    bool ImmediateExitOnError = false;
    // Replaces the module download; tests report from the loader's thread
    // through it without a CDN.
    LoaderBody Body;
};

class cModuleLoader : public tavrin::cThread {
public:
    cModuleLoader(std::vector<std::string> arguments, const cHostFacts& hostFacts,
                  cLoaderOptions options = {});
    ~cModuleLoader() override;

    // The module download (or the body given), on the loader's own thread.
    void Run() override;

    // Chooses the module back-end, stores the launch data, checks the paths,
    // probes the cache and starts the thread. Every failure has been
    // reported when it returns false.
    virtual bool Initialize(ProgressCallback progress, ResultCallback resultSink, const std::string& gamePath,
                            const std::string& workingDirectory, const std::string& systemName,
                            const std::string& productId, const std::string& sandboxId,
                            const std::string& deploymentId, bool gameDev);
    virtual bool CreateGameProcess(const std::string& gamePath, const std::vector<std::string>& arguments,
                                   const std::string& workingDirectory) = 0;
    virtual uint32_t GetGameProcessId() { return GameProcessId.load(); }
    // A new handle owned by the caller, or empty.
    virtual cProcessHandle OpenGameProcessHandle() { return {}; }
    virtual bool GetModuleCachePath(std::string& path, const std::string& productId,
                                    const std::string& deploymentId) = 0;
    // The decoded module bytes.
    virtual void LoadModule(std::vector<uint8_t> bytes) = 0;

    // Clears language and country; with a directory, keeps the ones given and
    // loads the loader's own table from it.
    void LoadLocalization(const std::string& directory, const char* language, const char* country);

    // Logs a message at Verbose and hands code and message to the result
    // sink; nothing without a sink. Any thread.
    void ReportResult(KZV_ProtectedGameLaunchResult code, const char* message);

    // The address given to the Windows module; record->Context is the loader.
    static void ModuleCallback(KZV_CallbackRecord* record);
    // Hands one module report to the loader named by context, on a thread
    // that may run Windows code; dropped (and logged) once the loader has
    // released the module.
    static void DeliverModuleCallback(void* context, int32_t code, const char* message, int32_t nativePid);

    // Stops and joins the thread, calls the module's second entry point and
    // keeps a module that launched in the cache. A second call does nothing.
    void Shutdown();

    // "tavrin_" + the suffix of the system name + ".kzv".
    std::string ModuleFileName() const;

    // What the module passes back in its reports: one per opening, so a late
    // report of an earlier module never reaches a later loader.
    void* CallbackContext() const { return Context; }

    void SetLaunchSucceeded() { LaunchSucceeded.store(true); }
    bool LaunchSucceededFlag() const { return LaunchSucceeded.load(); }

    const std::string& LanguageValue() const { return Language; }
    const std::string& CountryValue() const { return Country; }
    const cHostFacts& HostFacts() const { return Facts; }

protected:
    // The localized text of a message, placeholders filled.
    std::string Text(const MessageText& message, const std::vector<std::string>& args = {}) const;
    void Report(KZV_ProtectedGameLaunchResult code, const std::string& message);

    // Reports 501 for the first path that fails.
    bool ValidatePaths(const std::string& workingDirectory);
    // Fills the cache entry for this launch (the module cache's probe).
    void ProbeModuleCache();
    // Writes a module that launched back to the cache, then forgets it.
    void StoreCachedModule();
    // Calls the module's second entry point once, then closes the callback
    // gate: no report reaches this loader afterwards.
    void ReleaseModule();

    ProgressCallback Progress;
    ResultCallback ResultSink;
    std::string GamePath;
    std::string SystemName;
    std::string ProductId;
    std::string SandboxId;
    std::string DeploymentId;
    bool GameDev = false;
    std::string Language;
    std::string Country;
    // init, second, third, locale
    void* EntryPoints[4] = {nullptr, nullptr, nullptr, nullptr};
    std::vector<std::string> Arguments;
    std::atomic<uint32_t> GameProcessId{0};
    cLocalization Localization;
    // The module cache's record for this launch.
    ModuleCacheEntry CacheEntry;
    std::atomic<bool> LaunchSucceeded{false};
    cHostFacts Facts;
    cLoaderOptions Options;
    // Chosen at Initialize; resolves, starts and releases the module.
    std::unique_ptr<cModuleBackEnd> BackEnd;
    void* Context = nullptr;

private:
    // The download with this loader's launch data, progress and reports.
    void RunDownload();
    // 1 abandons the transfer, 0 lets it go on.
    uint32_t OnProgress(uint32_t total, uint32_t done);
};

class cWindowsModuleLoader : public cModuleLoader {
public:
    cWindowsModuleLoader(std::vector<std::string> arguments, const cHostFacts& hostFacts,
                         cLoaderOptions options = {});
    ~cWindowsModuleLoader() override;

    bool CreateGameProcess(const std::string& gamePath, const std::vector<std::string>& arguments,
                           const std::string& workingDirectory) override;
    cProcessHandle OpenGameProcessHandle() override;
    bool GetModuleCachePath(std::string& path, const std::string& productId,
                            const std::string& deploymentId) override;
    // Resolves, tells the language and initializes; every failure is one report.
    void LoadModule(std::vector<uint8_t> bytes) override;

private:
    ModuleLoadStatus ResolveModule(const std::vector<uint8_t>& bytes);
    void StartModule();
    void CallLocaleEntry();
    void FillInitRecord();

    cSharedProcessHandle GameProcessHandle;
    // The records the module may keep pointers into: they live as long as
    // the loader, not on a stack.
    KZV_InitRecord InitRecord{};
    KZV_LocaleRecord LocaleRecord{};
};

}  // namespace tavrin::launcher
