// The two ways of running the module, chosen once per loader from the host
// facts: the Windows build, verified and mapped in memory, or under Wine the
// native build, loaded from memory and called across the boundary.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/host_facts.h"
#include "loader/module_interface.h"

namespace tavrin::launcher {

// The outcome of resolving the module's entry points.
enum ModuleLoadStatus {
    kModuleInternalError = 0,  // no back-end or no bytes
    kModuleLoaded = 1,
    kModuleSignatureFailed = 2,  // Windows only
    kModuleLoadFailed = 3,       // mapping or loading failed, or an entry point is missing
};

// Places of the module's entry points in the loader.
enum EntryPointSlot { kEntryInit = 0, kEntrySecond = 1, kEntryThird = 2, kEntryLocale = 3 };

// The outcome of calling the module's init entry point.
enum ModuleStartStatus {
    kModuleStarted = 0,
    kModuleInitRefused = 1,       // init answered other than 1
    kModuleGameNotReachable = 2,  // the game has no native path to hand over
};

class cModuleBackEnd {
public:
    virtual ~cModuleBackEnd() = default;

    // entries: init, second, third, locale; all null unless kModuleLoaded.
    virtual ModuleLoadStatus Resolve(const std::vector<uint8_t>& bytes, void* entries[4]) = 0;
    virtual void CallLocale(void* entry, KZV_LocaleRecord* record) = 0;
    // Completes the record for this kind of module and calls init; what init
    // answered goes to initResult. The record and whatever it points to
    // stay valid as long as the back-end.
    virtual ModuleStartStatus Start(void* init, KZV_InitRecord& record, const std::string& gamePath,
                                    const std::vector<std::string>& arguments, uint8_t& initResult) = 0;
    virtual void CallSecond(void* entry, uint32_t* value) = 0;
    // Once the second entry point has returned (or none was resolved).
    virtual void Release() {}
};

// The native module under Wine; the Windows module mapped by the launcher.
std::unique_ptr<cModuleBackEnd> CreateNativeModuleBackEnd();
std::unique_ptr<cModuleBackEnd> CreateMappedModuleBackEnd();

// The first back-end of the table that fits the host.
std::unique_ptr<cModuleBackEnd> ChooseModuleBackEnd(const cHostFacts& host);

}  // namespace tavrin::launcher
