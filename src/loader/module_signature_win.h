// Authenticode verification of the Windows module before it is mapped: a
// valid signature, a chain to a trusted root with the code-signing usage,
// and a signer on the accepted list. Fails closed: a check that cannot run
// refuses the module.
#pragma once

#include <cstdint>
#include <vector>

namespace tavrin::launcher {

enum class TrustVerdict {
    ServicesUnavailable = 1,
    FileMissing = 2,
    Trusted = 3,
    NotTrusted = 4,
};

// True means the module may be mapped. Logs one line naming the step that
// refused it.
bool VerifyModuleSignature(const std::vector<uint8_t>& bytes);

// Exact, case-sensitive comparison with the accepted publisher names.
bool IsAcceptedSigner(const wchar_t* name);

}  // namespace tavrin::launcher
