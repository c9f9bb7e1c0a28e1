#include "loader/signature_timestamp_win.h"

#include <cstring>
#include <vector>

#include "loader/certificate_chain_win.h"
#include "loader/timestamp_token.h"

namespace tavrin::launcher {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// Far beyond any real token (a few KiB with its certificates).
constexpr DWORD kMaxTokenSize = 1u << 20;

// 100 ns ticks between 1601-01-01 and 1970-01-01.
constexpr uint64_t kUnixEpochTicks = 116444736000000000ull;

// A handle the trust services gave out, released through them when its
// holder goes.
template <typename HandleType, void (*Release)(const cTrustServices&, HandleType)>
class cServiceHandle {
public:
    explicit cServiceHandle(const cTrustServices& services) : Services(services) {}
    ~cServiceHandle()
    {
        if (Handle != nullptr) {
            Release(Services, Handle);
        }
    }
    cServiceHandle(const cServiceHandle&) = delete;
    cServiceHandle& operator=(const cServiceHandle&) = delete;

    HandleType Handle = nullptr;

private:
    const cTrustServices& Services;
};

void CloseMessage(const cTrustServices& services, HCRYPTMSG message) { services.CryptMsgClose(message); }
void CloseStore(const cTrustServices& services, HCERTSTORE store) { services.CertCloseStore(store, 0); }
void FreeCertificate(const cTrustServices& services, PCCERT_CONTEXT certificate)
{
    services.CertFreeCertificateContext(certificate);
}

using cMessage = cServiceHandle<HCRYPTMSG, CloseMessage>;
using cStore = cServiceHandle<HCERTSTORE, CloseStore>;
using cCertificate = cServiceHandle<PCCERT_CONTEXT, FreeCertificate>;

enum class Lookup {
    Found = 1,
    Absent = 2,
    Ambiguous = 3,  // repeated, or other than one non-empty value
};

// The one value of the one attribute with the OID.
Lookup FindSingleAttribute(const CRYPT_ATTRIBUTES& attributes, const char* oid, CRYPT_ATTR_BLOB& value)
{
    bool found = false;
    for (DWORD i = 0; i < attributes.cAttr && attributes.rgAttr != nullptr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = attributes.rgAttr[i];
        if (attribute.pszObjId == nullptr || std::strcmp(attribute.pszObjId, oid) != 0) {
            continue;
        }
        if (found || attribute.cValue != 1 || attribute.rgValue == nullptr ||
            attribute.rgValue[0].pbData == nullptr || attribute.rgValue[0].cbData == 0) {
            return Lookup::Ambiguous;
        }
        value = attribute.rgValue[0];
        found = true;
    }
    return found ? Lookup::Found : Lookup::Absent;
}

bool GetParam(const cTrustServices& services, HCRYPTMSG message, DWORD type, std::vector<uint8_t>& out)
{
    DWORD size = 0;
    if (!services.CryptMsgGetParam(message, type, 0, nullptr, &size) || size == 0 || size > kMaxTokenSize) {
        return false;
    }
    out.assign(size, 0);
    if (!services.CryptMsgGetParam(message, type, 0, out.data(), &size) || size == 0 || size > out.size()) {
        return false;
    }
    out.resize(size);
    return true;
}

bool GetNumber(const cTrustServices& services, HCRYPTMSG message, DWORD type, DWORD& value)
{
    DWORD size = sizeof value;
    return services.CryptMsgGetParam(message, type, 0, &value, &size) && size == sizeof value;
}

bool IsSha2(ALG_ID algorithm)
{
    return algorithm == CALG_SHA_256 || algorithm == CALG_SHA_384 || algorithm == CALG_SHA_512;
}

ALG_ID AlgorithmOf(ImprintHash hash)
{
    switch (hash) {
    case ImprintHash::Sha256:
        return CALG_SHA_256;
    case ImprintHash::Sha384:
        return CALG_SHA_384;
    case ImprintHash::Sha512:
        return CALG_SHA_512;
    }
    return 0;
}

// True when the hash of the bytes equals the expected bytes exactly.
bool HashEquals(const cTrustServices& services, ALG_ID algorithm, const uint8_t* data, size_t size,
                const uint8_t* expected, size_t expectedSize)
{
    BYTE hash[64] = {};
    DWORD length = sizeof hash;
    if (!IsSha2(algorithm) || data == nullptr || size == 0 || size > kMaxTokenSize ||
        !services.CryptHashCertificate(0, algorithm, 0, data, static_cast<DWORD>(size), hash, &length)) {
        return false;
    }
    return length == expectedSize && std::memcmp(hash, expected, length) == 0;
}

// A signed message of one signer whose content is declared a TSTInfo.
bool OpenToken(const cTrustServices& services, const CRYPT_ATTR_BLOB& token, cMessage& message)
{
    if (token.cbData > kMaxTokenSize) {
        return false;
    }
    message.Handle = services.CryptMsgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr);
    if (message.Handle == nullptr ||
        !services.CryptMsgUpdate(message.Handle, token.pbData, token.cbData, TRUE)) {
        return false;
    }
    DWORD type = 0;
    DWORD signers = 0;
    std::vector<uint8_t> inner;
    return GetNumber(services, message.Handle, CMSG_TYPE_PARAM, type) && type == CMSG_SIGNED &&
           GetNumber(services, message.Handle, CMSG_SIGNER_COUNT_PARAM, signers) && signers == 1 &&
           GetParam(services, message.Handle, CMSG_INNER_CONTENT_TYPE_PARAM, inner) && inner.back() == 0 &&
           std::strcmp(reinterpret_cast<const char*>(inner.data()), szOID_TIMESTAMP_TOKEN) == 0;
}

// The TSTInfo's bytes: Wine hands out the content with its OCTET STRING
// header, Windows without it.
bool ReadTstInfo(const std::vector<uint8_t>& content, const uint8_t*& tst, size_t& size)
{
    if (content.empty()) {
        return false;
    }
    if (content[0] == 0x04) {
        return ReadOctetString(content.data(), content.size(), tst, size);
    }
    tst = content.data();
    size = content.size();
    return true;
}

// The signed message digest attribute matches the TSTInfo. Wine's signature
// check does not compare them, so a changed TSTInfo would pass it.
bool DigestMatches(const cTrustServices& services, HCRYPTMSG message, const uint8_t* tst, size_t size)
{
    std::vector<uint8_t> buffer;
    if (!GetParam(services, message, CMSG_SIGNER_INFO_PARAM, buffer) ||
        buffer.size() < sizeof(CMSG_SIGNER_INFO)) {
        return false;
    }
    const auto* info = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
    CRYPT_ATTR_BLOB value{};
    const uint8_t* digest = nullptr;
    size_t digestSize = 0;
    if (info->HashAlgorithm.pszObjId == nullptr ||
        FindSingleAttribute(info->AuthAttrs, szOID_RSA_messageDigest, value) != Lookup::Found ||
        !ReadOctetString(value.pbData, value.cbData, digest, digestSize)) {
        return false;
    }
    const ALG_ID algorithm = services.CertOIDToAlgId(info->HashAlgorithm.pszObjId);
    return HashEquals(services, algorithm, tst, size, digest, digestSize);
}

bool ImprintMatches(const cTrustServices& services, const cTimestampInfo& info,
                    const CMSG_SIGNER_INFO& signer)
{
    return HashEquals(services, AlgorithmOf(info.Hash), signer.EncryptedHash.pbData,
                      signer.EncryptedHash.cbData, info.Imprint, info.ImprintSize);
}

bool AuthorityTrusted(const cTrustServices& services, PCCERT_CONTEXT authority, HCERTSTORE store,
                      const FILETIME& at)
{
    cCertificateChain chain(services);
    return HasOwnExtendedUsage(services, authority, szOID_PKIX_KP_TIMESTAMP_SIGNING) &&
           chain.Build(authority, at, store, szOID_PKIX_KP_TIMESTAMP_SIGNING) &&
           JudgeChain(chain.Get()) == ChainTrust::Trusted;
}

FILETIME FileTimeFromUnix(int64_t seconds)
{
    const uint64_t ticks = kUnixEpochTicks + static_cast<uint64_t>(seconds) * 10000000ull;
    FILETIME time{};
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

// The token's signature, checked with the certificate it carries.
TimestampCheck VerifyToken(const cTrustServices& services, const CRYPT_ATTR_BLOB& token, cMessage& message,
                           cStore& store, cCertificate& authority)
{
    if (!OpenToken(services, token, message)) {
        return TimestampCheck::Malformed;
    }
    store.Handle = services.CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, message.Handle);
    if (store.Handle == nullptr) {
        return TimestampCheck::Malformed;
    }
    DWORD index = 0;
    if (!services.CryptMsgGetAndVerifySigner(message.Handle, 1, &store.Handle, 0, &authority.Handle,
                                             &index) ||
        authority.Handle == nullptr || index != 0) {
        return TimestampCheck::BadSignature;
    }
    return TimestampCheck::Valid;
}

}  // namespace

const char* DescribeTimestampCheck(TimestampCheck check)
{
    switch (check) {
    case TimestampCheck::Valid:
        return "valid";
    case TimestampCheck::Missing:
        return "there is none";
    case TimestampCheck::Malformed:
        return "its token is malformed";
    case TimestampCheck::BadSignature:
        return "its token's signature does not verify";
    case TimestampCheck::ContentChanged:
        return "its token's content was changed after signing";
    case TimestampCheck::OtherSignature:
        return "it stamps another signature";
    case TimestampCheck::FromTheFuture:
        return "it is later than now";
    case TimestampCheck::UntrustedAuthority:
        return "its authority is not trusted for time stamping";
    }
    return "unknown";
}

TimestampCheck CheckTimestamp(const cTrustServices& services, const CMSG_SIGNER_INFO& signer,
                              const FILETIME& now, FILETIME& stamped)
{
    CRYPT_ATTR_BLOB token{};
    switch (FindSingleAttribute(signer.UnauthAttrs, szOID_RFC3161_counterSign, token)) {
    case Lookup::Found:
        break;
    case Lookup::Absent:
        return TimestampCheck::Missing;
    case Lookup::Ambiguous:
        return TimestampCheck::Malformed;
    }
    cMessage message(services);
    cStore store(services);
    cCertificate authority(services);
    const TimestampCheck verified = VerifyToken(services, token, message, store, authority);
    if (verified != TimestampCheck::Valid) {
        return verified;
    }
    std::vector<uint8_t> content;
    const uint8_t* tst = nullptr;
    size_t size = 0;
    cTimestampInfo info;
    if (!GetParam(services, message.Handle, CMSG_CONTENT_PARAM, content) ||
        !ReadTstInfo(content, tst, size) || !ParseTimestampInfo(tst, size, info)) {
        return TimestampCheck::Malformed;
    }
    if (!DigestMatches(services, message.Handle, tst, size)) {
        return TimestampCheck::ContentChanged;
    }
    if (!ImprintMatches(services, info, signer)) {
        return TimestampCheck::OtherSignature;
    }
    const FILETIME at = FileTimeFromUnix(info.UnixSeconds);
    if (CompareFileTime(&at, &now) > 0) {
        return TimestampCheck::FromTheFuture;
    }
    if (!AuthorityTrusted(services, authority.Handle, store.Handle, at)) {
        return TimestampCheck::UntrustedAuthority;
    }
    stamped = at;
    return TimestampCheck::Valid;
}

}  // namespace tavrin::launcher
