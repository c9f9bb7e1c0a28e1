#include "loader/module_back_end_win.h"

namespace tavrin::launcher {

namespace {

struct BackEndEntry {
    bool (*Fits)(const cHostFacts& host);
    std::unique_ptr<cModuleBackEnd> (*Create)();
};

// Tried in order; the last one fits every host.
const BackEndEntry kBackEnds[] = {
    {[](const cHostFacts& host) { return host.Wine; }, &CreateNativeModuleBackEnd},
    {[](const cHostFacts&) { return true; }, &CreateMappedModuleBackEnd},
};

}  // namespace

std::unique_ptr<cModuleBackEnd> ChooseModuleBackEnd(const cHostFacts& host)
{
    for (const BackEndEntry& entry : kBackEnds) {
        if (entry.Fits(host)) {
            return entry.Create();
        }
    }
    return nullptr;
}

}  // namespace tavrin::launcher
