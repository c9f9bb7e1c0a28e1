#include "loader/trust_services_win.h"

#include <cwctype>

namespace tavrin::launcher {

namespace {

// Only "X:\..." and "\\server\..." name a place on their own; anything else
// would let the loader's search path pick the library.
bool IsAbsoluteDirectory(const std::wstring& directory)
{
    if (directory.size() >= 3 && std::iswalpha(directory[0]) && directory[1] == L':' &&
        directory[2] == L'\\') {
        return true;
    }
    return directory.size() >= 3 && directory[0] == L'\\' && directory[1] == L'\\';
}

HMODULE LoadFromDirectory(const std::wstring& directory, const wchar_t* name)
{
    const std::wstring path = directory + name;
    if (path.size() >= MAX_PATH) {
        return nullptr;
    }
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename Function>
bool Resolve(HMODULE library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}

}  // namespace

bool QuerySystemDirectory(std::wstring& directory)
{
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    directory.assign(buffer, length);
    if (directory.back() != L'\\') {
        directory += L'\\';
    }
    return true;
}

cTrustServices::~cTrustServices() { Unload(); }

bool cTrustServices::Load()
{
    std::lock_guard<std::mutex> guard(Lock);
    if (Loaded) {
        return true;
    }
    if (!LoadLibraries() || !ResolveFunctions()) {
        Unload();
        return false;
    }
    Loaded = true;
    return true;
}

bool cTrustServices::LoadLibraries()
{
    std::wstring directory;
    if (!Query || !Query(directory) || !IsAbsoluteDirectory(directory)) {
        return false;
    }
    if (directory.back() != L'\\') {
        directory += L'\\';
    }
    Wintrust = LoadFromDirectory(directory, L"wintrust.dll");
    Crypt32 = LoadFromDirectory(directory, L"crypt32.dll");
    return Wintrust != nullptr && Crypt32 != nullptr;
}

bool cTrustServices::ResolveFunctions()
{
    return Resolve(Wintrust, "WinVerifyTrust", WinVerifyTrust) &&
           Resolve(Wintrust, "WTHelperProvDataFromStateData", WTHelperProvDataFromStateData) &&
           Resolve(Wintrust, "WTHelperGetProvSignerFromChain", WTHelperGetProvSignerFromChain) &&
           Resolve(Crypt32, "CertGetNameStringW", CertGetNameStringW) &&
           Resolve(Crypt32, "CertGetEnhancedKeyUsage", CertGetEnhancedKeyUsage) &&
           Resolve(Crypt32, "CertGetCertificateChain", CertGetCertificateChain) &&
           Resolve(Crypt32, "CertFreeCertificateChain", CertFreeCertificateChain) &&
           Resolve(Crypt32, "CertFreeCertificateContext", CertFreeCertificateContext) &&
           Resolve(Crypt32, "CertOpenStore", CertOpenStore) &&
           Resolve(Crypt32, "CertCloseStore", CertCloseStore) &&
           Resolve(Crypt32, "CryptMsgOpenToDecode", CryptMsgOpenToDecode) &&
           Resolve(Crypt32, "CryptMsgUpdate", CryptMsgUpdate) &&
           Resolve(Crypt32, "CryptMsgGetParam", CryptMsgGetParam) &&
           Resolve(Crypt32, "CryptMsgGetAndVerifySigner", CryptMsgGetAndVerifySigner) &&
           Resolve(Crypt32, "CryptMsgClose", CryptMsgClose) &&
           Resolve(Crypt32, "CertOIDToAlgId", CertOIDToAlgId) &&
           Resolve(Crypt32, "CryptHashCertificate", CryptHashCertificate);
}

void cTrustServices::Unload()
{
    WinVerifyTrust = nullptr;
    WTHelperProvDataFromStateData = nullptr;
    WTHelperGetProvSignerFromChain = nullptr;
    CertGetNameStringW = nullptr;
    CertGetEnhancedKeyUsage = nullptr;
    CertGetCertificateChain = nullptr;
    CertFreeCertificateChain = nullptr;
    CertFreeCertificateContext = nullptr;
    CertOpenStore = nullptr;
    CertCloseStore = nullptr;
    CryptMsgOpenToDecode = nullptr;
    CryptMsgUpdate = nullptr;
    CryptMsgGetParam = nullptr;
    CryptMsgGetAndVerifySigner = nullptr;
    CryptMsgClose = nullptr;
    CertOIDToAlgId = nullptr;
    CryptHashCertificate = nullptr;
    if (Wintrust != nullptr) {
        FreeLibrary(Wintrust);
        Wintrust = nullptr;
    }
    if (Crypt32 != nullptr) {
        FreeLibrary(Crypt32);
        Crypt32 = nullptr;
    }
    Loaded = false;
}

cTrustServices& ProcessTrustServices()
{
    static cTrustServices services;
    return services;
}

}  // namespace tavrin::launcher
