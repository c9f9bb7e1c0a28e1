// The build's test code-signing PKI (tools/testpki) as the Windows tests see
// it, and the step that makes its root trusted in the test's Wine prefix.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/files_win.h"

namespace tavrin::test {

// A file of the build folder, e.g. "testpki/root.cer" or "signed/x.dll" (the
// build root arrives as a Unix path, seen through drive Z:).
inline std::filesystem::path BuildFilePath(const std::string& relative)
{
    const char* binary = std::getenv("TAVRIN_BINARY_DIR");
    std::string windowsPath = "Z:" + std::string(binary ? binary : "") + "/" + relative;
    for (char& c : windowsPath) {
        if (c == '/') {
            c = '\\';
        }
    }
    return std::filesystem::path(tavrin::Utf8ToUtf16(windowsPath));
}

// The whole file; empty when it cannot be read.
inline std::vector<uint8_t> ReadBuildFile(const std::string& relative)
{
    std::vector<uint8_t> bytes;
    FILE* file = _wfopen(BuildFilePath(relative).c_str(), L"rb");
    if (file == nullptr) {
        return bytes;
    }
    uint8_t chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    std::fclose(file);
    return bytes;
}

// Adds "Tavrin Test Root" to the current user's root store; adding it again
// changes nothing. Meant for the tests' own Wine prefix only (Windows would
// ask the user first). The untrusted root of the PKI is never added.
inline bool TrustTestRoot()
{
    const std::vector<uint8_t> root = ReadBuildFile("testpki/root.cer");
    if (root.empty()) {
        return false;
    }
    return CertAddEncodedCertificateToSystemStoreW(L"ROOT", root.data(), static_cast<DWORD>(root.size())) !=
           FALSE;
}

}  // namespace tavrin::test
