#include "loader/module_signature_win.h"

#include <cwchar>
#include <string>

#include "base/files_win.h"
#include "base/strings.h"
#include "loader/signature_timestamp_win.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

const wchar_t* const kAcceptedSigners[] = {
    L"Tavrin Oy", L"Corvanne Inc.", L"Corvanne, Inc", L"Corvanne, Inc.", L"Corvanne Inc",
};

// WINTRUST_ACTION_GENERIC_VERIFY_V2, spelled out so no GUID library is linked.
const GUID kGenericVerifyV2 = {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};

// The copy is written with one WriteFile call, whose count is 32 bits.
constexpr uint64_t kMaxModuleSize = 0xFFFFFFFFull;

// The module's bytes as a file the trust service can read. Nobody else may
// write, rename or delete it while it is open, and it disappears when the
// handle closes, even if the process dies first.
class cTemporaryCopy {
public:
    cTemporaryCopy() = default;
    ~cTemporaryCopy()
    {
        if (Handle != INVALID_HANDLE_VALUE) {
            CloseHandle(Handle);
        }
    }
    cTemporaryCopy(const cTemporaryCopy&) = delete;
    cTemporaryCopy& operator=(const cTemporaryCopy&) = delete;

    bool Create(const std::wstring& folder)
    {
        char id[37] = {};
        MakeRandomId(id);
        Path = folder + Utf8ToUtf16(id);
        Handle = CreateFileW(Path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                             CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        return Handle != INVALID_HANDLE_VALUE;
    }

    // All bytes, then back to the start for the reader.
    bool Write(const cSignatureHost& host, const uint8_t* bytes, uint32_t size, DWORD& written)
    {
        written = 0;
        if (!host.WriteCopy || !host.WriteCopy(Handle, bytes, size, &written) || written != size) {
            return false;
        }
        LARGE_INTEGER start{};
        return SetFilePointerEx(Handle, start, nullptr, FILE_BEGIN) != 0;
    }

    HANDLE Get() const { return Handle; }
    const std::wstring& Name() const { return Path; }

private:
    HANDLE Handle = INVALID_HANDLE_VALUE;
    std::wstring Path;
};

// The name for a log line: control characters (a forged line break, say)
// become '?'.
std::string Printable(const wchar_t* name)
{
    std::string text = Utf16ToUtf8(name);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return text;
}

// A signer out of its validity now is still good when a trusted time stamp
// shows the signature was made while its whole chain was valid, as Windows
// judges it; Wine's trust service builds the chain as of now only.
bool WasValidWhenStamped(const cTrustServices& services, const cTrustState& state)
{
    const CMSG_SIGNER_INFO* signer = state.SignerInfo();
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    FILETIME stamped{};
    const TimestampCheck check =
        signer != nullptr ? CheckTimestamp(services, *signer, now, stamped) : TimestampCheck::Missing;
    if (check != TimestampCheck::Valid) {
        LogPrintf(Error,
                  "Module signature: the signer's certificate is not valid now, and no time stamp shows it "
                  "was when signing (%s).",
                  DescribeTimestampCheck(check));
        return false;
    }
    PCCERT_CONTEXT leaf = ChainLeaf(state.SignerChain());
    cCertificateChain chain(services);
    if (leaf == nullptr || !chain.Build(leaf, stamped, leaf->hCertStore, szOID_PKIX_KP_CODE_SIGNING) ||
        JudgeChain(chain.Get()) != ChainTrust::Trusted) {
        LogPrintf(
            Error,
            "Module signature: the signer's certificate chain was not valid at the time stamp (0x%08lx).",
            static_cast<unsigned long>(ChainErrorStatus(chain.Get())));
        return false;
    }
    return true;
}

bool ChainAccepted(const cTrustServices& services, const cTrustState& state)
{
    PCCERT_CHAIN_CONTEXT chain = state.SignerChain();
    switch (JudgeChain(chain)) {
    case ChainTrust::Trusted:
        return true;
    case ChainTrust::OutOfTime:
        return WasValidWhenStamped(services, state);
    case ChainTrust::Untrusted:
        break;
    }
    LogPrintf(Error, "Module signature: the signer's certificate chain is not trusted (0x%08lx).",
              static_cast<unsigned long>(ChainErrorStatus(chain)));
    return false;
}

// True when the certificate's own extended key usage lists code signing; a
// certificate without that extension does not qualify.
bool HasCodeSigningUsage(const cTrustServices& services, PCCERT_CONTEXT certificate)
{
    return HasOwnExtendedUsage(services, certificate, szOID_PKIX_KP_CODE_SIGNING);
}

// The certificate's simple display name. False when it cannot be read, does
// not fit (259 characters) or holds a NUL that would cut it short.
bool GetSignerName(const cTrustServices& services, PCCERT_CONTEXT certificate, wchar_t (&name)[260])
{
    name[0] = L'\0';
    if (certificate == nullptr) {
        return false;
    }
    const DWORD length =
        services.CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    if (length <= 1 || length > 260) {
        return false;
    }
    const DWORD read =
        services.CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, length);
    if (read != length || std::wcslen(name) + 1 != length) {
        name[0] = L'\0';
        return false;
    }
    return true;
}

// Everything after the trust service's own answer, read from the same
// verification state so that the certificate judged is the one that signed.
bool CheckSigner(const cTrustServices& services, const cTrustState& state)
{
    if (!ChainAccepted(services, state)) {
        return false;
    }
    PCCERT_CONTEXT signer = ChainLeaf(state.SignerChain());
    if (!HasCodeSigningUsage(services, signer)) {
        LogPrintf(Error, "Module signature: the signer's certificate is not valid for code signing.");
        return false;
    }
    wchar_t name[260] = {};
    if (!GetSignerName(services, signer, name)) {
        LogPrintf(Error, "Module signature: the signer's name cannot be read.");
        return false;
    }
    if (!IsAcceptedSigner(name)) {
        LogPrintf(Error, "Module signature: the signer '%s' is not an accepted publisher.",
                  Printable(name).c_str());
        return false;
    }
    return true;
}

bool CheckTemporaryCopy(cTrustServices& services, const cTemporaryCopy& copy)
{
    cTrustState state(services);
    switch (CheckFileTrust(services, copy.Name(), copy.Get(), state)) {
    case TrustVerdict::Trusted:
        return CheckSigner(services, state);
    case TrustVerdict::NotTrusted:
        LogPrintf(Error, "Module signature: rejected by the trust service (0x%08lx).",
                  static_cast<unsigned long>(state.Result()));
        return false;
    case TrustVerdict::ServicesUnavailable:
        LogPrintf(Error, "Module signature: the trust services are unavailable.");
        return false;
    case TrustVerdict::FileMissing:
        LogPrintf(Error, "Module signature: the temporary copy is gone.");
        return false;
    }
    return false;
}

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

cTrustState::~cTrustState()
{
    if (Open) {
        Data.dwStateAction = WTD_STATEACTION_CLOSE;
        GUID action = kGenericVerifyV2;
        Services.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &Data);
    }
}

LONG cTrustState::Verify(const std::wstring& path, HANDLE file)
{
    if (Open) {
        return Status;
    }
    File.cbStruct = sizeof File;
    File.pcwszFilePath = path.c_str();
    File.hFile = file;
    Data.cbStruct = sizeof Data;
    Data.dwUIChoice = WTD_UI_NONE;
    Data.fdwRevocationChecks = WTD_REVOKE_NONE;
    Data.dwUnionChoice = WTD_CHOICE_FILE;
    Data.pFile = &File;
    Data.dwStateAction = WTD_STATEACTION_VERIFY;
    Data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_SAFER_FLAG | WTD_CACHE_ONLY_URL_RETRIEVAL;
    GUID action = kGenericVerifyV2;
    Open = true;
    Status = Services.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &Data);
    return Status;
}

const CRYPT_PROVIDER_SGNR* cTrustState::Signer() const
{
    if (!Open || Data.hWVTStateData == nullptr) {
        return nullptr;
    }
    CRYPT_PROVIDER_DATA* provider = Services.WTHelperProvDataFromStateData(Data.hWVTStateData);
    if (provider == nullptr) {
        return nullptr;
    }
    return Services.WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
}

PCCERT_CHAIN_CONTEXT cTrustState::SignerChain() const
{
    const CRYPT_PROVIDER_SGNR* signer = Signer();
    return signer != nullptr ? signer->pChainContext : nullptr;
}

const CMSG_SIGNER_INFO* cTrustState::SignerInfo() const
{
    const CRYPT_PROVIDER_SGNR* signer = Signer();
    return signer != nullptr ? signer->psSigner : nullptr;
}

TrustVerdict CheckFileTrust(cTrustServices& services, const std::wstring& path, HANDLE file,
                            cTrustState& state)
{
    if (!services.Load()) {
        return TrustVerdict::ServicesUnavailable;
    }
    if (file == INVALID_HANDLE_VALUE || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return TrustVerdict::FileMissing;
    }
    return state.Verify(path, file) == 0 ? TrustVerdict::Trusted : TrustVerdict::NotTrusted;
}

bool VerifyModuleSignature(const uint8_t* bytes, uint64_t size, const cSignatureHost& host)
{
    if (bytes == nullptr || size == 0) {
        LogPrintf(Error, "Module signature: there is no module to check.");
        return false;
    }
    if (size > kMaxModuleSize) {
        LogPrintf(Error, "Module signature: the module is too large (%llu bytes).",
                  static_cast<unsigned long long>(size));
        return false;
    }
    if (host.Services == nullptr || !host.Services->Load()) {
        LogPrintf(Error, "Module signature: the trust services are unavailable.");
        return false;
    }
    std::wstring folder;
    if (!host.TemporaryFolder || !host.TemporaryFolder(folder)) {
        LogPrintf(Error, "Module signature: the application folder is unavailable.");
        return false;
    }
    cTemporaryCopy copy;
    if (!copy.Create(folder)) {
        LogPrintf(Error, "Module signature: the temporary copy cannot be created (error %lu).",
                  static_cast<unsigned long>(GetLastError()));
        return false;
    }
    DWORD written = 0;
    if (!copy.Write(host, bytes, static_cast<uint32_t>(size), written)) {
        LogPrintf(Error,
                  "Module signature: the temporary copy cannot be written (%lu of %llu bytes, error %lu).",
                  static_cast<unsigned long>(written), static_cast<unsigned long long>(size),
                  static_cast<unsigned long>(GetLastError()));
        return false;
    }
    if (host.CopyWritten) {
        host.CopyWritten(copy.Name());
    }
    return CheckTemporaryCopy(*host.Services, copy);
}

bool VerifyModuleSignature(const std::vector<uint8_t>& bytes)
{
    return VerifyModuleSignature(bytes.data(), bytes.size(), cSignatureHost{});
}

}  // namespace tavrin::launcher
