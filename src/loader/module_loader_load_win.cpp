// The module loader's load step: resolve the module's entry points through
// the chosen back-end, tell it the language and initialize it.
#include <string>

#include "loader/module_back_end_win.h"
#include "loader/module_loader_win.h"

namespace tavrin::launcher {

void cWindowsModuleLoader::LoadModule(std::vector<uint8_t> bytes)
{
    const ModuleLoadStatus status = ResolveModule(bytes);
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
    StartModule();
}

ModuleLoadStatus cWindowsModuleLoader::ResolveModule(const std::vector<uint8_t>& bytes)
{
    if (!BackEnd || bytes.empty()) {
        return kModuleInternalError;
    }
    for (void*& entry : EntryPoints) {
        entry = nullptr;
    }
    return BackEnd->Resolve(bytes, EntryPoints);
}

void cWindowsModuleLoader::CallLocaleEntry()
{
    void* locale = EntryPoints[kEntryLocale];
    if (!locale || Language.empty()) {
        return;
    }
    LocaleRecord = KZV_LocaleRecord{kLocaleRecordVersion, Language.c_str(), Country.c_str()};
    BackEnd->CallLocale(locale, &LocaleRecord);
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

void cWindowsModuleLoader::StartModule()
{
    CallLocaleEntry();
    FillInitRecord();
    uint8_t initResult = 0;
    switch (BackEnd->Start(EntryPoints[kEntryInit], InitRecord, GamePath, Arguments, initResult)) {
    case kModuleInitRefused:
        Report(kLoaderModuleRejected, Text(kMsgModuleInitialize, {std::to_string(initResult)}));
        return;
    case kModuleGameNotReachable:
        Report(kLoaderBadGamePath, Text(kMsgGameBinaryNotFoundWine));
        return;
    case kModuleStarted:
        return;
    }
}

}  // namespace tavrin::launcher
