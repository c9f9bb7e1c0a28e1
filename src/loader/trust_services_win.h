// The Windows trust and crypto services the module check needs, loaded at run
// time from full paths in the system directory so that no library planted
// beside the launcher or in the current directory can stand in for them.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <mutex>
#include <string>

namespace tavrin::launcher {

// The system directory, ending with a backslash; false when it cannot be had.
using SystemDirectoryQuery = bool (*)(std::wstring& directory);
bool QuerySystemDirectory(std::wstring& directory);

// The resolved functions of "wintrust.dll" and "crypt32.dll". Once loaded
// they stay loaded for the object's life; until then every Load tries again.
class cTrustServices {
public:
    explicit cTrustServices(SystemDirectoryQuery query = QuerySystemDirectory) : Query(query) {}
    ~cTrustServices();
    cTrustServices(const cTrustServices&) = delete;
    cTrustServices& operator=(const cTrustServices&) = delete;

    // True when both libraries are loaded and every function resolved.
    bool Load();

    decltype(&::WinVerifyTrust) WinVerifyTrust = nullptr;
    decltype(&::WTHelperProvDataFromStateData) WTHelperProvDataFromStateData = nullptr;
    decltype(&::WTHelperGetProvSignerFromChain) WTHelperGetProvSignerFromChain = nullptr;
    decltype(&::CertGetNameStringW) CertGetNameStringW = nullptr;
    decltype(&::CertGetEnhancedKeyUsage) CertGetEnhancedKeyUsage = nullptr;
    decltype(&::CertGetCertificateChain) CertGetCertificateChain = nullptr;
    decltype(&::CertFreeCertificateChain) CertFreeCertificateChain = nullptr;
    decltype(&::CertFreeCertificateContext) CertFreeCertificateContext = nullptr;
    decltype(&::CertOpenStore) CertOpenStore = nullptr;
    decltype(&::CertCloseStore) CertCloseStore = nullptr;
    decltype(&::CryptMsgOpenToDecode) CryptMsgOpenToDecode = nullptr;
    decltype(&::CryptMsgUpdate) CryptMsgUpdate = nullptr;
    decltype(&::CryptMsgGetParam) CryptMsgGetParam = nullptr;
    decltype(&::CryptMsgGetAndVerifySigner) CryptMsgGetAndVerifySigner = nullptr;
    decltype(&::CryptMsgClose) CryptMsgClose = nullptr;
    decltype(&::CertOIDToAlgId) CertOIDToAlgId = nullptr;
    decltype(&::CryptHashCertificate) CryptHashCertificate = nullptr;

private:
    bool LoadLibraries();
    bool ResolveFunctions();
    void Unload();

    SystemDirectoryQuery Query;
    std::mutex Lock;
    bool Loaded = false;
    HMODULE Wintrust = nullptr;
    HMODULE Crypt32 = nullptr;
};

// The process's services, from the real system directory.
cTrustServices& ProcessTrustServices();

}  // namespace tavrin::launcher
