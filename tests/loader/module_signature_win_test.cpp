// The module check against Wine's real trust services, with modules signed at
// build time by the test PKI (tools/testpki) and its root trusted in the
// prefix. Nothing is mocked; the seams only choose the library directory and
// the folder of the temporary copy, and cut the copy's write short.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/cache_folder_win.h"
#include "loader/module_signature_win.h"
#include "test_support/captured_log.h"
#include "test_support/scratch_folder_win.h"
#include "test_support/trusted_test_root_win.h"

using namespace tavrin::launcher;
using tavrin::test::cCapturedLog;
using tavrin::test::cScratchFolder;
using tavrin::test::ReadBuildFile;

namespace {

std::vector<std::wstring> FilesIn(const std::filesystem::path& folder)
{
    std::vector<std::wstring> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().wstring());
    }
    return names;
}

// The one place the bytes occur; the test fails when they occur elsewhere too.
size_t FindOnce(const std::vector<uint8_t>& haystack, const std::string& needle)
{
    const auto at = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
    EXPECT_NE(at, haystack.end()) << needle;
    EXPECT_EQ(std::search(at + 1, haystack.end(), needle.begin(), needle.end()), haystack.end()) << needle;
    return at == haystack.end() ? 0 : static_cast<size_t>(at - haystack.begin());
}

uint32_t ReadU32(const std::vector<uint8_t>& bytes, size_t at)
{
    uint32_t value = 0;
    if (at + 4 <= bytes.size()) {
        std::memcpy(&value, bytes.data() + at, 4);
    }
    return value;
}

// The file offset of the named section's raw data; 0 when there is none.
size_t SectionOffset(const std::vector<uint8_t>& image, const char* name)
{
    const size_t header = ReadU32(image, 0x3C) + 4;
    const size_t sections = (ReadU32(image, header) >> 16) & 0xFFFF;
    const size_t optional = ReadU32(image, header + 16) & 0xFFFF;
    for (size_t i = 0; i < sections; ++i) {
        const size_t entry = header + 20 + optional + i * 40;
        if (entry + 40 <= image.size() &&
            std::strncmp(reinterpret_cast<const char*>(&image[entry]), name, 8) == 0 &&
            ReadU32(image, entry + 16) != 0) {
            return ReadU32(image, entry + 20);
        }
    }
    return 0;
}

class ModuleSignatureTest : public ::testing::Test {
protected:
    struct Case {
        const char* What;
        std::vector<uint8_t> Bytes;
        bool Accepted;
        const char* Logged;  // nullptr: nothing is logged
    };

    static void SetUpTestSuite()
    {
        ASSERT_TRUE(tavrin::test::TrustTestRoot()) << "testpki/root.cer missing?";
    }

    cSignatureHost Host()
    {
        cSignatureHost host;
        host.TemporaryFolder = [this](std::wstring& folder) {
            folder = Scratch.Wide();
            return true;
        };
        return host;
    }

    bool Verify(const std::vector<uint8_t>& bytes, const cSignatureHost& host)
    {
        return VerifyModuleSignature(bytes.data(), bytes.size(), host);
    }

    static std::vector<uint8_t> Signed(const char* signer)
    {
        return ReadBuildFile(std::string("signed/demogame-") + signer + ".exe");
    }

    void ExpectVerdicts(const std::vector<Case>& cases)
    {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.What);
            ASSERT_FALSE(c.Bytes.empty());
            const size_t logged = Log.Lines().size();
            EXPECT_EQ(Verify(c.Bytes, Host()), c.Accepted);
            const std::vector<std::string> lines = Log.Lines();
            if (c.Logged != nullptr) {
                ASSERT_EQ(lines.size(), logged + 1);
                EXPECT_NE(lines.back().find(c.Logged), std::string::npos) << lines.back();
            } else {
                EXPECT_EQ(lines.size(), logged);
            }
            EXPECT_TRUE(FilesIn(Scratch.Path()).empty());
        }
    }

    cScratchFolder Scratch{L"tavrin-signature-"};
    cCapturedLog Log;
};

TEST_F(ModuleSignatureTest, OnlyTrustedCodeSigningChainsOfAcceptedPublishersPass)
{
    std::vector<uint8_t> changed = Signed("tavrin-oy");
    ASSERT_GT(changed.size(), 0x1000u);
    changed[0x400] ^= 0xFF;  // code, inside the signed hash
    std::vector<uint8_t> changedData = Signed("tavrin-oy");
    const size_t data = SectionOffset(changedData, ".data");
    ASSERT_GT(data, 0u);
    ASSERT_LT(data, changedData.size());
    changedData[data] ^= 0x01;

    const std::vector<Case> cases = {
        {"Tavrin Oy", Signed("tavrin-oy"), true, nullptr},
        {"Corvanne, Inc.", Signed("corvanne-inc"), true, nullptr},
        {"lower-cased name", Signed("corvanne-inc-lower"), false,
         "signer 'corvanne, inc.' is not an accepted"},
        {"trailing space", Signed("tavrin-oy-space"), false, "signer 'Tavrin Oy ' is not an accepted"},
        {"other publisher", Signed("other-publisher"), false,
         "signer 'Other Publisher Ltd' is not an accepted"},
        {"server use only", Signed("tavrin-oy-server-only"), false, "not valid for code signing"},
        {"no extended key usage", Signed("tavrin-oy-no-usage"), false, "not valid for code signing"},
        {"untrusted root", Signed("untrusted-tavrin-oy"), false, "certificate chain is not trusted"},
        {"NUL in the name", Signed("tavrin-oy-nul"), false, "name cannot be read"},
        {"unsigned", ReadBuildFile("bin/DemoGame.exe"), false, "rejected by the trust service (0x800b0100)"},
        {"code changed after signing", changed, false, "rejected by the trust service (0x80096010)"},
        {".data changed after signing", changedData, false, "rejected by the trust service (0x80096010)"},
    };
    ExpectVerdicts(cases);
}

// Under Wine the trust service builds the chain as of now and ignores time
// stamps; Windows builds it as of the time stamp. Either way the launcher
// accepts an expired signer only with a sound stamp made while it was valid.
TEST_F(ModuleSignatureTest, SignersOutOfTheirValidityPassOnlyWithATrustedTimeStampFromWithinIt)
{
    // The stamp is an unsigned attribute, outside what the signature covers:
    // changing it leaves the signature itself valid.
    std::vector<uint8_t> changedTime = Signed("tavrin-oy-expired-stamped");
    changedTime[FindOnce(changedTime, "20200601000000Z") + 7] = '2';
    std::vector<uint8_t> otherContent = Signed("tavrin-oy-expired-stamped");
    const std::vector<uint8_t> tstInfoOid = {0x06, 0x0b, 0x2a, 0x86, 0x48, 0x86, 0xf7,
                                             0x0d, 0x01, 0x09, 0x10, 0x01, 0x04};
    const auto declared =
        std::search(otherContent.begin(), otherContent.end(), tstInfoOid.begin(), tstInfoOid.end());
    ASSERT_NE(declared, otherContent.end());
    declared[12] = 0x05;  // the token's content type, no longer a TSTInfo

    const std::vector<Case> cases = {
        {"stamped while valid", Signed("tavrin-oy-expired-stamped"), true, nullptr},
        {"not stamped", Signed("tavrin-oy-expired"), false,
         "not valid now, and no time stamp shows it was when signing (there is none)"},
        {"stamped after its end", Signed("tavrin-oy-expired-stamped-late"), false,
         "chain was not valid at the time stamp (0x00000001)"},
        {"stamped by an untrusted authority", Signed("tavrin-oy-expired-untrusted-stamp"), false,
         "(its authority is not trusted for time stamping)"},
        {"stamped in 2090, when it will be valid", Signed("tavrin-oy-future-stamped"), false,
         "(it is later than now)"},
        {"stamped time changed", changedTime, false, "(its token's content was changed after signing)"},
        {"stamp of other content", otherContent, false, "(its token is malformed)"},
    };
    ExpectVerdicts(cases);
}

TEST_F(ModuleSignatureTest, ProductEntryChecksInTheApplicationFolderAndLeavesNothingThere)
{
    std::wstring folder;
    ASSERT_TRUE(tavrin::GetAppDataFolder(folder));
    const std::vector<std::wstring> before = FilesIn(folder);

    EXPECT_TRUE(VerifyModuleSignature(Signed("tavrin-oy")));
    EXPECT_FALSE(VerifyModuleSignature(Signed("other-publisher")));
    EXPECT_FALSE(VerifyModuleSignature(std::vector<uint8_t>{}));

    EXPECT_EQ(FilesIn(folder), before);
}

TEST_F(ModuleSignatureTest, NothingCanReplaceTheCopyWhileItIsChecked)
{
    const std::vector<uint8_t> unsigned_ = ReadBuildFile("bin/DemoGame.exe");
    std::vector<std::string> succeeded;
    cSignatureHost host = Host();
    host.CopyWritten = [&](const std::wstring& path) {
        const DWORD everyone = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        HANDLE writer =
            CreateFileW(path.c_str(), GENERIC_WRITE, everyone, nullptr, OPEN_EXISTING, 0, nullptr);
        if (writer != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(writer, unsigned_.data(), static_cast<DWORD>(unsigned_.size()), &written, nullptr);
            CloseHandle(writer);
            succeeded.push_back("write");
        }
        const std::wstring aside = path + L".aside";
        if (MoveFileW(path.c_str(), aside.c_str())) {
            succeeded.push_back("rename");
        }
        if (DeleteFileW(path.c_str())) {
            succeeded.push_back("delete");
        }
    };
    EXPECT_FALSE(Verify(unsigned_, host));
    EXPECT_TRUE(Verify(Signed("tavrin-oy"), host));
    EXPECT_TRUE(succeeded.empty()) << succeeded.front();
    EXPECT_TRUE(FilesIn(Scratch.Path()).empty());
}

bool NoSystemDirectory(std::wstring&) { return false; }
bool RelativeSystemDirectory(std::wstring& directory)
{
    directory = L".\\";
    return true;
}
bool DirectoryWithoutTrustLibraries(std::wstring& directory)
{
    directory = std::filesystem::temp_directory_path().wstring();
    return true;
}

TEST_F(ModuleSignatureTest, RefusedWhenTheTrustServicesCannotBeLoadedFromTheSystemDirectory)
{
    const SystemDirectoryQuery queries[] = {NoSystemDirectory, RelativeSystemDirectory,
                                            DirectoryWithoutTrustLibraries};
    for (SystemDirectoryQuery query : queries) {
        cTrustServices services(query);
        cSignatureHost host = Host();
        host.Services = &services;
        EXPECT_FALSE(Verify(Signed("tavrin-oy"), host));
        EXPECT_TRUE(Log.HasLineEndingWith("Module signature: the trust services are unavailable."));
        EXPECT_TRUE(FilesIn(Scratch.Path()).empty());
    }
}

TEST_F(ModuleSignatureTest, RefusedWhenTheTemporaryCopyCannotBeMade)
{
    cSignatureHost noFolder = Host();
    noFolder.TemporaryFolder = [](std::wstring&) { return false; };
    EXPECT_FALSE(Verify(Signed("tavrin-oy"), noFolder));
    EXPECT_TRUE(Log.HasLineEndingWith("Module signature: the application folder is unavailable."));

    cSignatureHost missingFolder = Host();
    missingFolder.TemporaryFolder = [this](std::wstring& folder) {
        folder = Scratch.Wide() + L"missing\\";
        return true;
    };
    EXPECT_FALSE(Verify(Signed("tavrin-oy"), missingFolder));
    EXPECT_EQ(Log.Count("Module signature: the temporary copy cannot be created"), 1u);
    EXPECT_TRUE(FilesIn(Scratch.Path()).empty());
}

TEST_F(ModuleSignatureTest, RefusedWhenTheCopyIsWrittenShort)
{
    struct Case {
        const char* What;
        BOOL Result;
        DWORD Shortfall;
        std::string Logged;
    };
    const std::vector<uint8_t> module = Signed("tavrin-oy");
    const std::string size = std::to_string(module.size());
    const Case cases[] = {
        {"a full disk after half", TRUE, static_cast<DWORD>(module.size() / 2),
         "cannot be written (" + std::to_string(module.size() - module.size() / 2) + " of " + size},
        {"one byte missing", TRUE, 1, "cannot be written (" + std::to_string(module.size() - 1) + " of " + size},
        {"a failed write", FALSE, static_cast<DWORD>(module.size()), "cannot be written (0 of " + size},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        cSignatureHost host = Host();
        // The bytes that do arrive reach the real file, as they would on a full disk.
        host.WriteCopy = [&c](HANDLE file, const void* bytes, DWORD count, DWORD* written) {
            const DWORD part = count - c.Shortfall;
            DWORD done = 0;
            const BOOL wrote = WriteFile(file, bytes, part, &done, nullptr);
            *written = c.Result ? done : 0;
            SetLastError(ERROR_DISK_FULL);
            return wrote && c.Result;
        };
        bool checked = false;
        host.CopyWritten = [&checked](const std::wstring&) { checked = true; };
        const size_t logged = Log.Count("Module signature: the temporary copy cannot be written");
        EXPECT_FALSE(Verify(module, host));
        EXPECT_FALSE(checked);
        EXPECT_EQ(Log.Count("Module signature: the temporary copy cannot be written"), logged + 1);
        EXPECT_EQ(Log.Count(c.Logged), 1u);
        EXPECT_TRUE(FilesIn(Scratch.Path()).empty());
    }
}

TEST_F(ModuleSignatureTest, ModulesOfFourGibibytesOrMoreAreRefusedBeforeAnyByteIsRead)
{
    // Address space only: a check that read the bytes would fault here.
    const uint64_t size = 1ull << 32;
    void* reserved = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(reserved, nullptr);
    EXPECT_FALSE(VerifyModuleSignature(static_cast<const uint8_t*>(reserved), size, Host()));
    VirtualFree(reserved, 0, MEM_RELEASE);
    EXPECT_TRUE(Log.HasLineEndingWith("Module signature: the module is too large (4294967296 bytes)."));
    EXPECT_TRUE(FilesIn(Scratch.Path()).empty());
}

TEST(AcceptedSignerTest, OnlyTheExactNamesAreAccepted)
{
    for (const wchar_t* name :
         {L"Tavrin Oy", L"Corvanne Inc.", L"Corvanne, Inc", L"Corvanne, Inc.", L"Corvanne Inc"}) {
        EXPECT_TRUE(IsAcceptedSigner(name)) << tavrin::Utf16ToUtf8(name);
    }
    for (const wchar_t* name :
         {L"tavrin oy", L"Tavrin Oy ", L" Tavrin Oy", L"Tavrin", L"Corvanne, Inc.x", L""}) {
        EXPECT_FALSE(IsAcceptedSigner(name)) << tavrin::Utf16ToUtf8(name);
    }
    EXPECT_FALSE(IsAcceptedSigner(nullptr));
}

}  // namespace
