// The module loader's download side: its thread body, the progress hook and
// the module cache around a launch. The download itself is acquisition's.
#include "acquisition/module_cache.h"
#include "acquisition/module_download_win.h"
#include "acquisition/system_names.h"
#include "loader/module_loader_win.h"

namespace tavrin::launcher {

void cModuleLoader::Run()
{
    if (Options.Body) {
        Options.Body(*this);
        return;
    }
    RunDownload();
}

void cModuleLoader::RunDownload()
{
    // Reading and checking a cached module takes tens of milliseconds: here,
    // not on the thread that starts the window.
    ProbeModuleCache();
    ModuleDownloadContext context;
    context.GameDev = GameDev;
    context.ProductId = ProductId;
    context.DeploymentId = DeploymentId;
    context.SystemName = SystemName;
    context.Cache = &CacheEntry;
    context.Texts = &Localization;
    context.OnProgress = [this](uint32_t total, uint32_t done) { return OnProgress(total, done); };
    context.LoadModule = [this](std::vector<uint8_t> bytes) { LoadModule(std::move(bytes)); };
    context.Report = [this](int32_t code, const std::string& message) { Report(code, message); };
    context.ShowInfo = &ShowOverrideNotice;
    context.ImmediateExitOnError = Options.ImmediateExitOnError;
    RunModuleDownload(context, ReadCdnOverrideFile(GamePath));
}

uint32_t cModuleLoader::OnProgress(uint32_t total, uint32_t done)
{
    if (StopRequested() || !Progress) {
        return 1;
    }
    return Progress(done, total) == KZV_ProgressStop ? 1 : 0;
}

std::string cModuleLoader::ModuleFileName() const { return ModuleFileNameForSystem(SystemName); }

// Runs on the loader's thread before the download; nothing else reads the
// entry until that thread has been joined.
void cModuleLoader::ProbeModuleCache()
{
    std::string path;
    if (!GetModuleCachePath(path, ProductId, DeploymentId)) {
        path.clear();
    }
    tavrin::launcher::ProbeModuleCache(CacheEntry, path);
}

// Runs after the loader's thread has been joined.
void cModuleLoader::StoreCachedModule()
{
    tavrin::launcher::StoreCachedModule(CacheEntry, LaunchSucceededFlag());
}

}  // namespace tavrin::launcher
