// The time-stamp check on real tokens, taken from a module the test PKI
// signed while its certificate was valid and stamped at 2020-06-01 00:00:00
// UTC; each case changes one thing the token is checked against.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loader/module_signature_win.h"
#include "loader/signature_timestamp_win.h"
#include "test_support/trusted_test_root_win.h"

using namespace tavrin::launcher;

namespace {

FILETIME At(WORD year, WORD month, WORD day)
{
    SYSTEMTIME utc{};
    utc.wYear = year;
    utc.wMonth = month;
    utc.wDay = day;
    FILETIME time{};
    SystemTimeToFileTime(&utc, &time);
    return time;
}

uint64_t Ticks(const FILETIME& time) { return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

class SignatureTimestampTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tavrin::test::TrustTestRoot());
        Path = tavrin::test::BuildFilePath("signed/demogame-tavrin-oy-expired-stamped.exe").wstring();
        File = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(File, INVALID_HANDLE_VALUE);
        ASSERT_EQ(CheckFileTrust(Services, Path, File, State), TrustVerdict::Trusted);
        ASSERT_NE(State.SignerInfo(), nullptr);
        Signer = *State.SignerInfo();
    }
    void TearDown() override
    {
        if (File != INVALID_HANDLE_VALUE) {
            CloseHandle(File);
        }
    }

    TimestampCheck Check(const CMSG_SIGNER_INFO& signer, const FILETIME& now)
    {
        return CheckTimestamp(Services, signer, now, Stamped);
    }

    cTrustServices& Services = ProcessTrustServices();
    std::wstring Path;
    HANDLE File = INVALID_HANDLE_VALUE;
    cTrustState State{Services};
    CMSG_SIGNER_INFO Signer{};
    FILETIME Stamped{};
};

TEST_F(SignatureTimestampTest, ATokenOverThisSignatureGivesItsTime)
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ASSERT_EQ(Check(Signer, now), TimestampCheck::Valid);
    EXPECT_EQ(Ticks(Stamped), Ticks(At(2020, 6, 1)));
}

TEST_F(SignatureTimestampTest,
       ATokenIsRefusedForAnotherSignatureAFutureTimeABrokenSignatureOrAnAmbiguousAttribute)
{
    std::vector<BYTE> otherDigest(Signer.EncryptedHash.pbData,
                                  Signer.EncryptedHash.pbData + Signer.EncryptedHash.cbData);
    otherDigest.back() ^= 0x01;
    CMSG_SIGNER_INFO other = Signer;
    other.EncryptedHash.pbData = otherDigest.data();
    EXPECT_EQ(Check(other, At(2026, 1, 1)), TimestampCheck::OtherSignature);

    EXPECT_EQ(Check(Signer, At(2020, 5, 31)), TimestampCheck::FromTheFuture);

    ASSERT_EQ(Signer.UnauthAttrs.cAttr, 1u);
    CRYPT_ATTRIBUTE twice[] = {Signer.UnauthAttrs.rgAttr[0], Signer.UnauthAttrs.rgAttr[0]};
    CMSG_SIGNER_INFO repeated = Signer;
    repeated.UnauthAttrs.cAttr = 2;
    repeated.UnauthAttrs.rgAttr = twice;
    EXPECT_EQ(Check(repeated, At(2026, 1, 1)), TimestampCheck::Malformed);

    CRYPT_ATTR_BLOB values[] = {twice[0].rgValue[0], twice[0].rgValue[0]};
    CRYPT_ATTRIBUTE twoValues = twice[0];
    twoValues.cValue = 2;
    twoValues.rgValue = values;
    repeated.UnauthAttrs.cAttr = 1;
    repeated.UnauthAttrs.rgAttr = &twoValues;
    EXPECT_EQ(Check(repeated, At(2026, 1, 1)), TimestampCheck::Malformed);

    std::vector<BYTE> cut(values[0].pbData, values[0].pbData + values[0].cbData / 2);
    CRYPT_ATTRIBUTE truncated = twice[0];
    CRYPT_ATTR_BLOB half{static_cast<DWORD>(cut.size()), cut.data()};
    truncated.rgValue = &half;
    repeated.UnauthAttrs.rgAttr = &truncated;
    EXPECT_EQ(Check(repeated, At(2026, 1, 1)), TimestampCheck::Malformed);

    // The token ends with its signer's signature.
    std::vector<BYTE> forged(values[0].pbData, values[0].pbData + values[0].cbData);
    forged.back() ^= 0x01;
    CRYPT_ATTRIBUTE forgedToken = twice[0];
    CRYPT_ATTR_BLOB forgedValue{static_cast<DWORD>(forged.size()), forged.data()};
    forgedToken.rgValue = &forgedValue;
    repeated.UnauthAttrs.rgAttr = &forgedToken;
    EXPECT_EQ(Check(repeated, At(2026, 1, 1)), TimestampCheck::BadSignature);

    CMSG_SIGNER_INFO unstamped = Signer;
    unstamped.UnauthAttrs.cAttr = 0;
    EXPECT_EQ(Check(unstamped, At(2026, 1, 1)), TimestampCheck::Missing);
    EXPECT_EQ(Ticks(Stamped), 0u);
}

}  // namespace
