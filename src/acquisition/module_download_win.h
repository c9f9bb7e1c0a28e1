// The module download from the CDN: the conditional request, every outcome
// with its result code and message, the cache fallbacks and the override
// file. The module loader runs it on its own thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "acquisition/module_cache.h"

namespace tavrin::launcher {

class cLocalization;

// What one download needs from the loader that runs it.
struct ModuleDownloadContext {
    bool GameDev = false;
    // Every URL must start with this; empty: the configured CDN of GameDev.
    std::string AllowedPrefix;
    std::string ProductId;
    std::string DeploymentId;
    std::string SystemName;
    ModuleCacheEntry* Cache = nullptr;
    const cLocalization* Texts = nullptr;
    // (total, done) -> 1 abandons the transfer.
    std::function<uint32_t(uint32_t total, uint32_t done)> OnProgress;
    LoadModuleFunction LoadModule;
    std::function<void(int32_t code, const std::string& message)> Report;
    // Shows the override notice and waits until it is closed; empty: no notice.
    std::function<void(const std::string& message)> ShowInfo;
    // The launcher's switch: no message boxes, so the notice is not shown.
    bool ImmediateExitOnError = false;
};

// True when a module (downloaded, or cached after 304 or a failure) was
// handed to LoadModule. Cancellation sets cancelled and reports nothing.
bool DownloadModule(ModuleDownloadContext& context, const std::string& urlTemplate, bool reportErrors,
                    bool& cancelled);

// The thread body: the override URL when there is one, else the CDN template.
void RunModuleDownload(ModuleDownloadContext& context, const std::string& overrideUrl);

// The "cdn=" line of the game path + ".kzv", or empty.
std::string ReadCdnOverrideFile(const std::string& gamePath);

// The modal "Tavrin Launch Info" box.
void ShowOverrideNotice(const std::string& message);

}  // namespace tavrin::launcher
