// Judging a certificate chain the way Authenticode does: only faults that
// say the chain cannot be trusted refuse it; being outside its validity is
// reported apart, since a time stamp made while it was valid cures it.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include "loader/trust_services_win.h"

namespace tavrin::launcher {

enum class ChainTrust {
    Trusted = 1,
    OutOfTime = 2,  // sound but for time validity
    Untrusted = 3,
};

// The chain's error status (CERT_TRUST_NO_ERROR when sound); an error bit
// when there is no chain at all.
DWORD ChainErrorStatus(PCCERT_CHAIN_CONTEXT chain);

// Tolerated: revocation that was not or could not be checked, and the
// obsolete time-nesting bit. Anything else but time validity is Untrusted.
ChainTrust JudgeChain(PCCERT_CHAIN_CONTEXT chain);

// The chain's leaf: the certificate that signed.
PCCERT_CONTEXT ChainLeaf(PCCERT_CHAIN_CONTEXT chain);

// True when the certificate's own extended key usage lists the usage; a
// certificate without that extension does not qualify.
bool HasOwnExtendedUsage(const cTrustServices& services, PCCERT_CONTEXT certificate, const char* usage);

// A chain built by the CryptoAPI; freed with the object.
class cCertificateChain {
public:
    explicit cCertificateChain(const cTrustServices& services) : Services(services) {}
    ~cCertificateChain();
    cCertificateChain(const cCertificateChain&) = delete;
    cCertificateChain& operator=(const cCertificateChain&) = delete;

    // The certificate's chain as it stood at the time, for the usage, with
    // the extra certificates of the store (may be null). No revocation
    // check, no network retrieval. Builds once.
    bool Build(PCCERT_CONTEXT certificate, const FILETIME& time, HCERTSTORE extra, const char* usage);
    PCCERT_CHAIN_CONTEXT Get() const { return Chain; }

private:
    const cTrustServices& Services;
    PCCERT_CHAIN_CONTEXT Chain = nullptr;
};

}  // namespace tavrin::launcher
