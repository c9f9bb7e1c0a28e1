// The chain judgement over chain contexts laid out as the CryptoAPI returns
// them, for the status bits Wine's chain engine never sets.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include "loader/certificate_chain_win.h"

using namespace tavrin::launcher;

namespace {

TEST(ChainJudgement, OnlyFaultsOfTrustRefuseAChainAndTimeIsReportedApart)
{
    struct Case {
        DWORD Status;
        ChainTrust Expected;
    };
    const Case cases[] = {
        {CERT_TRUST_NO_ERROR, ChainTrust::Trusted},
        {CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION, ChainTrust::Trusted},
        {CERT_TRUST_IS_NOT_TIME_NESTED, ChainTrust::Trusted},
        {CERT_TRUST_NO_ISSUANCE_CHAIN_POLICY, ChainTrust::Trusted},
        {CERT_TRUST_IS_NOT_TIME_VALID, ChainTrust::OutOfTime},
        {CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_NOT_TIME_NESTED | CERT_TRUST_REVOCATION_STATUS_UNKNOWN,
         ChainTrust::OutOfTime},
        {CERT_TRUST_IS_UNTRUSTED_ROOT, ChainTrust::Untrusted},
        {CERT_TRUST_IS_PARTIAL_CHAIN, ChainTrust::Untrusted},
        {CERT_TRUST_IS_NOT_SIGNATURE_VALID, ChainTrust::Untrusted},
        {CERT_TRUST_IS_REVOKED, ChainTrust::Untrusted},
        {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, ChainTrust::Untrusted},
        {CERT_TRUST_IS_EXPLICIT_DISTRUST, ChainTrust::Untrusted},
        {CERT_TRUST_IS_CYCLIC, ChainTrust::Untrusted},
        {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, ChainTrust::Untrusted},
        {CERT_TRUST_HAS_NOT_SUPPORTED_CRITICAL_EXT, ChainTrust::Untrusted},
        {CERT_TRUST_HAS_EXCLUDED_NAME_CONSTRAINT, ChainTrust::Untrusted},
        {CERT_TRUST_HAS_WEAK_SIGNATURE, ChainTrust::Untrusted},
        {CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_UNTRUSTED_ROOT, ChainTrust::Untrusted},
        {CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_REVOKED, ChainTrust::Untrusted},
    };
    CERT_CHAIN_ELEMENT element{};
    PCERT_CHAIN_ELEMENT elements[] = {&element};
    CERT_SIMPLE_CHAIN simple{};
    simple.cElement = 1;
    simple.rgpElement = elements;
    PCERT_SIMPLE_CHAIN simples[] = {&simple};
    CERT_CHAIN_CONTEXT chain{};
    chain.cChain = 1;
    chain.rgpChain = simples;
    for (const Case& c : cases) {
        chain.TrustStatus.dwErrorStatus = c.Status;
        EXPECT_EQ(JudgeChain(&chain), c.Expected) << std::hex << c.Status;
    }

    chain.TrustStatus.dwErrorStatus = CERT_TRUST_NO_ERROR;
    simple.cElement = 0;
    EXPECT_EQ(JudgeChain(&chain), ChainTrust::Untrusted);
    chain.cChain = 0;
    EXPECT_EQ(JudgeChain(&chain), ChainTrust::Untrusted);
    EXPECT_EQ(JudgeChain(nullptr), ChainTrust::Untrusted);
}

}  // namespace
