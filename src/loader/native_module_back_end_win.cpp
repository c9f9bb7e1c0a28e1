// Under Wine: the native build of the module, loaded from memory and called
// with the System V convention; its reports come back through a queue that
// is drained once the module has been released.
#include "base/files_win.h"
#include "loader/module_back_end_win.h"
#include "loader/native_module_win.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

class cNativeModuleBackEnd : public cModuleBackEnd {
public:
    ModuleLoadStatus Resolve(const std::vector<uint8_t>& bytes, void* entries[4]) override
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

    void CallLocale(void* entry, KZV_LocaleRecord* record) override
    {
        CallNative(entry, reinterpret_cast<uint64_t>(record));
    }

    ModuleStartStatus Start(void* init, KZV_InitRecord& record, const std::string& gamePath,
                            const std::vector<std::string>& arguments, uint8_t&) override
    {
        GamePath = ToNativePath(gamePath);
        if (GamePath.empty()) {
            return kModuleGameNotReachable;
        }
        ArgumentStrings.clear();
        ArgumentStrings.push_back(gamePath);
        ArgumentStrings.insert(ArgumentStrings.end(), arguments.begin(), arguments.end());
        Arguments.clear();
        for (const std::string& argument : ArgumentStrings) {
            Arguments.push_back(argument.c_str());
        }
        record.Callback = reinterpret_cast<KZV_ModuleCallback>(NativeModuleCallbackEntry());
        record.GamePath = GamePath.c_str();
        record.ArgumentCount = static_cast<uint32_t>(Arguments.size());
        record.Arguments = Arguments.data();
        CallNative(init, reinterpret_cast<uint64_t>(&record));
        return kModuleStarted;
    }

    void CallSecond(void* entry, uint32_t* value) override
    {
        CallNative(entry, reinterpret_cast<uint64_t>(value));
    }

    void Release() override { StopNativeModuleCallbacks(); }

private:
    // What the init record points to: the module may keep the pointers.
    std::string GamePath;
    std::vector<std::string> ArgumentStrings;
    std::vector<const char*> Arguments;
};

}  // namespace

std::unique_ptr<cModuleBackEnd> CreateNativeModuleBackEnd()
{
    return std::make_unique<cNativeModuleBackEnd>();
}

}  // namespace tavrin::launcher
