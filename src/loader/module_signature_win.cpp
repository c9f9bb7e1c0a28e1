#include "loader/module_signature_win.h"

#include <cwchar>

namespace tavrin::launcher {

namespace {

const wchar_t* const kAcceptedSigners[] = {
    L"Tavrin Oy", L"Corvanne Inc.", L"Corvanne, Inc", L"Corvanne, Inc.", L"Corvanne Inc",
};

}  // namespace

bool IsAcceptedSigner(const wchar_t* name)
{
    if (!name) {
        return false;
    }
    for (const wchar_t* accepted : kAcceptedSigners) {
        if (std::wcscmp(name, accepted) == 0) {
            return true;
        }
    }
    return false;
}

// Placeholder until the trust check lands: nothing passes.
bool VerifyModuleSignature(const std::vector<uint8_t>&) { return false; }

}  // namespace tavrin::launcher
