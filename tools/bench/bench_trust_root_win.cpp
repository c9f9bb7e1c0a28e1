// Trusts the build's test code-signing root in the current Wine prefix, so
// that ./dev bench can launch a module signed by the test PKI through the
// Windows module path. Adding it again changes nothing.
//   BenchTrustRoot ROOT.cer
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: BenchTrustRoot ROOT.cer\n");
        return 2;
    }
    FILE* file = _wfopen(argv[1], L"rb");
    if (file == nullptr) {
        std::fprintf(stderr, "BenchTrustRoot: cannot open the certificate\n");
        return 1;
    }
    std::vector<BYTE> bytes;
    BYTE chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(file);
    if (bytes.empty() ||
        !CertAddEncodedCertificateToSystemStoreW(L"ROOT", bytes.data(), static_cast<DWORD>(bytes.size()))) {
        std::fprintf(stderr, "BenchTrustRoot: the certificate was not added\n");
        return 1;
    }
    return 0;
}
