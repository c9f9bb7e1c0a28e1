// The module loader's load step: resolve the module's entry points (verify
// and map the Windows build, or load the native build under Wine), tell it
// the language and initialize it.
#include <memory>

#include "base/files_win.h"
#include "loader/memory_module_win.h"
#include "loader/module_loader_win.h"
#include "loader/module_signature_win.h"
#include "loader/native_module_win.h"
#include "logging/logger.h"

namespace tavrin::launcher {

void cWindowsModuleLoader::LoadModule(std::vector<uint8_t> bytes)
{
    const ModuleLoadStatus status = ResolveModule(bytes, EntryPoints);
    switch (status) {
    case kModuleLoaded:
        break;
    case kModuleSignatureFailed:
        Report(kLoaderModuleRejected, Text(kMsgCertificateValidation));
        return;
    case kModuleLoadFailed:
        Report(kLoaderModuleRejected, Text(kMsgModuleLoading));
        return;
    default:
        Report(kLoaderModuleRejected, Text(kMsgInternal));
        return;
    }
    // The decoded copy is not needed once the module is resolved.
    std::vector<uint8_t>().swap(bytes);
    if (Facts.Wine) {
        StartNativeModule();
    } else {
        StartWindowsModule();
    }
}

ModuleLoadStatus cWindowsModuleLoader::ResolveModule(const std::vector<uint8_t>& bytes, void* entries[4])
{
    if (!entries || bytes.empty()) {
        return kModuleInternalError;
    }
    for (int i = 0; i < 4; ++i) {
        entries[i] = nullptr;
    }
    return Facts.Wine ? ResolveNativeModule(bytes, entries) : ResolveWindowsModule(bytes, entries);
}

ModuleLoadStatus cWindowsModuleLoader::ResolveWindowsModule(const std::vector<uint8_t>& bytes, void* entries[4])
{
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

ModuleLoadStatus cWindowsModuleLoader::ResolveNativeModule(const std::vector<uint8_t>& bytes, void* entries[4])
{
    LogPrintf(Info, "Starting Wine module mapping, Wine version: %s.", GetWineVersion().c_str());
    ElfImage mapped;
    void* handle = LoadNativeModule(bytes, &mapped);
    if (!handle) {
        LogPrintf(Error, "Failed to map the anti-cheat module.");
        return kModuleLoadFailed;
    }
    for (int i = 0; i < 4; ++i) {
        entries[i] = NativeEntryPoint(handle, mapped, kNativeSymbols[i]);
        if (!entries[i]) {
            LogPrintf(Error, "The anti-cheat module lacks the function '%s'.", kNativeSymbols[i]);
            // A rejected module is never called, not even at shutdown.
            for (int k = 0; k < 4; ++k) {
                entries[k] = nullptr;
            }
            return kModuleLoadFailed;
        }
    }
    return kModuleLoaded;
}

void cWindowsModuleLoader::CallLocaleEntry()
{
    void* locale = EntryPoints[kEntryLocale];
    if (!locale || Language.empty()) {
        return;
    }
    LocaleRecord = KZV_LocaleRecord{kLocaleRecordVersion, Language.c_str(), Country.c_str()};
    if (Facts.Wine) {
        CallNative(locale, reinterpret_cast<uint64_t>(&LocaleRecord));
    } else {
        reinterpret_cast<KZV_LocaleFunction>(locale)(&LocaleRecord);
    }
}

void cWindowsModuleLoader::FillInitRecord()
{
    InitRecord = KZV_InitRecord{};
    InitRecord.Version = kInitRecordVersion;
    InitRecord.Context = CallbackContext();
    InitRecord.ProductId = ProductId.c_str();
    InitRecord.SandboxId = SandboxId.c_str();
    InitRecord.DeploymentId = DeploymentId.c_str();
    InitRecord.Callback = &cModuleLoader::ModuleCallback;
}

void cWindowsModuleLoader::StartWindowsModule()
{
    CallLocaleEntry();
    FillInitRecord();
    const uint8_t result = reinterpret_cast<KZV_InitFunction>(EntryPoints[kEntryInit])(&InitRecord);
    if (result != 1) {
        Report(kLoaderModuleRejected, Text(kMsgModuleInitialize, {std::to_string(result)}));
    }
}

void cWindowsModuleLoader::StartNativeModule()
{
    CallLocaleEntry();
    FillInitRecord();
    NativeGamePath = ToNativePath(GamePath);
    if (NativeGamePath.empty()) {
        Report(kLoaderBadGamePath, Text(kMsgGameBinaryNotFoundWine));
        return;
    }
    NativeArgumentStrings.clear();
    NativeArgumentStrings.push_back(GamePath);
    NativeArgumentStrings.insert(NativeArgumentStrings.end(), Arguments.begin(), Arguments.end());
    NativeArguments.clear();
    for (const std::string& argument : NativeArgumentStrings) {
        NativeArguments.push_back(argument.c_str());
    }
    InitRecord.Callback = reinterpret_cast<KZV_ModuleCallback>(NativeModuleCallbackEntry());
    InitRecord.GamePath = NativeGamePath.c_str();
    InitRecord.ArgumentCount = static_cast<uint32_t>(NativeArguments.size());
    InitRecord.Arguments = NativeArguments.data();
    CallNative(EntryPoints[kEntryInit], reinterpret_cast<uint64_t>(&InitRecord));
}

}  // namespace tavrin::launcher
