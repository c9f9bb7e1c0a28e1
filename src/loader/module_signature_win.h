// Authenticode verification of the Windows module before it is mapped: a
// valid signature, a chain to a trusted root with the code-signing usage,
// valid now or when a trusted time stamp was made, and a signer on the
// accepted list. Fails closed: a check that cannot run refuses the module.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/cache_folder_win.h"
#include "loader/certificate_chain_win.h"
#include "loader/trust_services_win.h"

namespace tavrin::launcher {

enum class TrustVerdict {
    ServicesUnavailable = 1,
    FileMissing = 2,
    Trusted = 3,
    NotTrusted = 4,
};

// Where the check runs: the trust services and the folder (ending with a
// backslash) that holds the module's temporary copy while it is checked.
// CopyWritten, when set, sees the copy's path once it is written and before
// it is checked. WriteCopy writes the copy as WriteFile does.
struct cSignatureHost {
    cTrustServices* Services = &ProcessTrustServices();
    std::function<bool(std::wstring&)> TemporaryFolder = tavrin::GetAppDataFolder;
    std::function<void(const std::wstring&)> CopyWritten;
    std::function<BOOL(HANDLE file, const void* bytes, DWORD size, DWORD* written)> WriteCopy =
        [](HANDLE file, const void* bytes, DWORD size, DWORD* written) {
            return WriteFile(file, bytes, size, written, nullptr);
        };
};

// True means the module may be mapped. Logs one line naming the step that
// refused it.
bool VerifyModuleSignature(const std::vector<uint8_t>& bytes);
bool VerifyModuleSignature(const uint8_t* bytes, uint64_t size, const cSignatureHost& host);

// Exact, case-sensitive comparison with the accepted publisher names.
bool IsAcceptedSigner(const wchar_t* name);

// One WinVerifyTrust verification of an open file; the verification state
// (and with it the signer's certificates) lives until the object goes.
class cTrustState {
public:
    explicit cTrustState(const cTrustServices& services) : Services(services) {}
    ~cTrustState();
    cTrustState(const cTrustState&) = delete;
    cTrustState& operator=(const cTrustState&) = delete;

    // The trust service's answer for the file read through the handle; the
    // path only names it. No revocation check, no network retrieval. Runs
    // once; later calls return the first answer.
    LONG Verify(const std::wstring& path, HANDLE file);
    LONG Result() const { return Status; }

    // The first signer's certificate chain as the trust service built it;
    // nullptr when the state holds none.
    PCCERT_CHAIN_CONTEXT SignerChain() const;

    // The first signer as the trust service decoded it (its encrypted digest
    // and unauthenticated attributes); nullptr when the state holds none.
    const CMSG_SIGNER_INFO* SignerInfo() const;

private:
    const CRYPT_PROVIDER_SGNR* Signer() const;

    const cTrustServices& Services;
    WINTRUST_FILE_INFO File{};
    WINTRUST_DATA Data{};
    bool Open = false;
    LONG Status = static_cast<LONG>(TRUST_E_NOSIGNATURE);
};

// Trusted only for a signature the trust service accepts; ServicesUnavailable
// when the services cannot be loaded, FileMissing when the file is gone.
TrustVerdict CheckFileTrust(cTrustServices& services, const std::wstring& path, HANDLE file,
                            cTrustState& state);

}  // namespace tavrin::launcher
