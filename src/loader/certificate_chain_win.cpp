#include "loader/certificate_chain_win.h"

#include <cstring>
#include <memory>

namespace tavrin::launcher {

namespace {

// Bits that say something could not be checked rather than that it failed:
// the launcher asks for no revocation check.
constexpr DWORD kToleratedBits = CERT_TRUST_IS_NOT_TIME_NESTED | CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                 CERT_TRUST_IS_OFFLINE_REVOCATION | CERT_TRUST_NO_ISSUANCE_CHAIN_POLICY;

bool ListsUsage(const CERT_ENHKEY_USAGE& list, const char* usage)
{
    for (DWORD i = 0; i < list.cUsageIdentifier; ++i) {
        const char* oid = list.rgpszUsageIdentifier[i];
        if (oid != nullptr && std::strcmp(oid, usage) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

DWORD ChainErrorStatus(PCCERT_CHAIN_CONTEXT chain)
{
    if (chain == nullptr || chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) {
        return CERT_TRUST_IS_PARTIAL_CHAIN;
    }
    return chain->TrustStatus.dwErrorStatus;
}

ChainTrust JudgeChain(PCCERT_CHAIN_CONTEXT chain)
{
    const DWORD status = ChainErrorStatus(chain) & ~kToleratedBits;
    if (status == CERT_TRUST_NO_ERROR) {
        return ChainTrust::Trusted;
    }
    return status == CERT_TRUST_IS_NOT_TIME_VALID ? ChainTrust::OutOfTime : ChainTrust::Untrusted;
}

PCCERT_CONTEXT ChainLeaf(PCCERT_CHAIN_CONTEXT chain)
{
    if (chain == nullptr || chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) {
        return nullptr;
    }
    return chain->rgpChain[0]->rgpElement[0]->pCertContext;
}

bool HasOwnExtendedUsage(const cTrustServices& services, PCCERT_CONTEXT certificate, const char* usage)
{
    if (certificate == nullptr) {
        return false;
    }
    // Only the certificate's own extension counts: properties set on this
    // machine, and the "no extension means every usage" rule, do not.
    DWORD size = 0;
    if (!services.CertGetEnhancedKeyUsage(certificate, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, nullptr,
                                          &size) ||
        size < sizeof(CERT_ENHKEY_USAGE)) {
        return false;
    }
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]());
    auto* list = reinterpret_cast<CERT_ENHKEY_USAGE*>(buffer.get());
    if (!services.CertGetEnhancedKeyUsage(certificate, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, list, &size)) {
        return false;
    }
    return ListsUsage(*list, usage);
}

cCertificateChain::~cCertificateChain()
{
    if (Chain != nullptr) {
        Services.CertFreeCertificateChain(Chain);
    }
}

bool cCertificateChain::Build(PCCERT_CONTEXT certificate, const FILETIME& time, HCERTSTORE extra,
                              const char* usage)
{
    if (Chain != nullptr || certificate == nullptr) {
        return false;
    }
    LPSTR usages[] = {const_cast<LPSTR>(usage)};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    FILETIME at = time;
    return Services.CertGetCertificateChain(nullptr, certificate, &at, extra, &para,
                                            CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &Chain) != FALSE &&
           Chain != nullptr;
}

}  // namespace tavrin::launcher
