// The Windows module: its signature verified, then mapped by the launcher's
// own image loader and called with the Windows x64 convention.
#include <cstdint>
#include <memory>

#include "base/strings.h"
#include "loader/memory_module_win.h"
#include "loader/module_back_end_win.h"
#include "loader/module_signature_win.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

class cMappedModuleBackEnd : public cModuleBackEnd {
public:
    ModuleLoadStatus Resolve(const std::vector<uint8_t>& bytes, void* entries[4]) override
    {
        const int64_t start = MonotonicNow();
        if (!VerifyModuleSignature(bytes)) {
            return kModuleSignatureFailed;
        }
        auto module = std::make_unique<cMemoryModule>();
        if (module->Map(bytes.data(), bytes.size(), kLauncherMapFlags)) {
            entries[kEntryInit] = module->GetExport(ExportPosition(kExportInit));
            entries[kEntrySecond] = module->GetExport(ExportPosition(kExportSecond));
            entries[kEntryThird] = module->GetExport(ExportPosition(kExportThird));
            if (entries[kEntryInit] && entries[kEntrySecond] && entries[kEntryThird]) {
                entries[kEntryLocale] = module->GetExport(ExportPosition(kExportLocale));
                // What the Windows path adds to a launch over the native one.
                LogPrintf(Info, "Module signature checked and image mapped in %.1f ms.",
                          static_cast<double>(MonotonicNow() - start) / 1e6);
                // Mapped for the rest of the process: module threads may run
                // until the process ends.
                module.release();
                return kModuleLoaded;
            }
            LogPrintf(Error, "The anti-cheat module lacks a required entry point.");
        } else {
            // The mapper has logged why.
            LogPrintf(Error, "Failed to map the anti-cheat module.");
        }
        module->Unmap();
        for (int i = 0; i < 4; ++i) {
            entries[i] = nullptr;
        }
        return kModuleLoadFailed;
    }

    void CallLocale(void* entry, KZV_LocaleRecord* record) override
    {
        reinterpret_cast<KZV_LocaleFunction>(entry)(record);
    }

    ModuleStartStatus Start(void* init, KZV_InitRecord& record, const std::string&,
                            const std::vector<std::string>&, uint8_t& initResult) override
    {
        initResult = reinterpret_cast<KZV_InitFunction>(init)(&record);
        return initResult == 1 ? kModuleStarted : kModuleInitRefused;
    }

    void CallSecond(void* entry, uint32_t* value) override
    {
        reinterpret_cast<KZV_SecondFunction>(entry)(value);
    }
};

}  // namespace

std::unique_ptr<cModuleBackEnd> CreateMappedModuleBackEnd()
{
    return std::make_unique<cMappedModuleBackEnd>();
}

}  // namespace tavrin::launcher
