#include "base/files_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tavrin {
namespace {

namespace fs = std::filesystem;

// Removes a tree through the long form, which std::filesystem lacks here.
void RemoveTree(const std::wstring& dir)
{
    const std::wstring root = L"\\\\?\\" + dir;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((root + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(dir + L"\\" + name);
            } else {
                DeleteFileW((root + L"\\" + name).c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(root.c_str());
}

// A fresh folder under the temporary directory, removed with its contents.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = fs::temp_directory_path() / ("tavrin-files-" + std::to_string(GetCurrentProcessId()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        RemoveTree(Dir.wstring());
        ASSERT_TRUE(fs::create_directories(Dir));
    }
    void TearDown() override { RemoveTree(Dir.wstring()); }

    std::string Write(const std::string& name, const std::string& bytes)
    {
        const fs::path path = Dir / fs::u8path(name);
        std::ofstream out(path, std::ios::binary);
        out << bytes;
        return Utf8(path);
    }
    static std::string Utf8(const fs::path& path)
    {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }
    std::string Path(const std::string& name) const { return Utf8(Dir / fs::u8path(name)); }

    fs::path Dir;
};

TEST(TextConversion, RoundTripsEveryPlaneAndEmbeddedNuls)
{
    const std::string samples[] = {
        "plain",
        "Z\xC3\xBCrich \xE2\x82\xAC",
        "\xF0\x9D\x84\x9E clef",
        std::string("a\0b", 3),
    };
    for (const std::string& sample : samples) {
        const std::wstring wide = Utf8ToUtf16(sample);
        EXPECT_EQ(Utf16ToUtf8(wide), sample);
    }
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82\xAC"), L"\u20AC");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9D\x84\x9E").size(), 2u);  // a surrogate pair
    EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)).size(), 3u);
    EXPECT_EQ(Utf8ToUtf16(""), L"");
    EXPECT_EQ(Utf16ToUtf8(L""), "");
}

TEST_F(FilesTest, PathExistsMatchesFilesDirectoriesAndWildcards)
{
    const std::string file = Write("Settings.json", "{}");
    EXPECT_FALSE(PathExists(nullptr));
    EXPECT_TRUE(PathExists(file.c_str()));
    EXPECT_TRUE(PathExists(Utf8(Dir).c_str()));
    EXPECT_FALSE(PathExists((Utf8(Dir) + "\\").c_str()));
    EXPECT_TRUE(PathExists(Path("*.json").c_str()));
    EXPECT_FALSE(PathExists(Path("missing.json").c_str()));
    EXPECT_FALSE(PathExists(Path("*.png").c_str()));
}

TEST_F(FilesTest, IsDirectoryOnlyForExistingDirectories)
{
    const std::string file = Write("file.txt", "x");
    EXPECT_TRUE(IsDirectory(Utf8(Dir)));
    EXPECT_FALSE(IsDirectory(file));
    EXPECT_FALSE(IsDirectory(Path("missing")));
}

TEST_F(FilesTest, NonAsciiNamesWorkThroughEveryHelper)
{
    const std::string name = "\xD0\xBB\xD0\xBE\xD0\xB3 \xE2\x82\xAC.txt";
    const std::string file = Write(name, "abc");
    EXPECT_TRUE(PathExists(file.c_str()));
    EXPECT_EQ(tavrin::GetFileSize(file.c_str()), 3);
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadFileBytes(file.c_str(), bytes, UINT64_MAX));
    std::vector<std::wstring> names;
    ASSERT_TRUE(ListFiles(Utf8ToUtf16(Path("*")), names));
    EXPECT_EQ(names, std::vector<std::wstring>{Utf8ToUtf16(name)});
}

TEST_F(FilesTest, FileAgeFollowsTheLastWriteTime)
{
    const std::string file = Write("aged.bin", "x");
    const std::wstring wide = Utf8ToUtf16(file);
    auto setLastWrite = [&](int64_t offsetMs) {
        HANDLE handle = CreateFileW(wide.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER value;
        value.LowPart = now.dwLowDateTime;
        value.HighPart = now.dwHighDateTime;
        value.QuadPart += offsetMs * 10000;
        const FILETIME when{value.LowPart, value.HighPart};
        EXPECT_TRUE(SetFileTime(handle, nullptr, nullptr, &when));
        CloseHandle(handle);
    };

    uint64_t age = 1;
    setLastWrite(-10000);
    ASSERT_TRUE(GetFileAgeMs(wide, age));
    // "Now" is read in whole milliseconds, so the age may come out 1 ms short.
    EXPECT_GE(age, 9999u);
    EXPECT_LT(age, 10000u + 60000u);

    // A write time in the future reads as brand new, not as a wrapped age.
    setLastWrite(3600 * 1000);
    ASSERT_TRUE(GetFileAgeMs(wide, age));
    EXPECT_EQ(age, 0u);

    age = 1;
    EXPECT_FALSE(GetFileAgeMs(Utf8ToUtf16(Path("missing")), age));
    EXPECT_EQ(age, 0u);
}

TEST_F(FilesTest, FileSizeIsKnownEvenWhileAnotherHandleWrites)
{
    const std::string file = Write("sized.bin", std::string(1234, 'z'));
    EXPECT_EQ(tavrin::GetFileSize(nullptr), 0);
    EXPECT_EQ(tavrin::GetFileSize(Path("missing").c_str()), -1);
    EXPECT_EQ(tavrin::GetFileSize(file.c_str()), 1234);

    HANDLE writer = CreateFileW(Utf8ToUtf16(file).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(tavrin::GetFileSize(file.c_str()), 1234);
    CloseHandle(writer);
}

TEST_F(FilesTest, ReadFileBytesReadsUpToTheMaximum)
{
    const std::string content = "0123456789";
    const std::string file = Write("data.bin", content);
    const std::string empty = Write("empty.bin", "");
    std::vector<uint8_t> bytes{1, 2, 3};

    ASSERT_TRUE(ReadFileBytes(file.c_str(), bytes, UINT64_MAX));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);
    ASSERT_TRUE(ReadFileBytes(Utf8ToUtf16(file).c_str(), bytes, 4));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123");

    struct Failure {
        const char* What;
        const char* Path;
        uint64_t Maximum;
    };
    const std::string missing = Path("missing.bin");
    const std::string dir = Utf8(Dir);
    const Failure failures[] = {
        {"empty file", empty.c_str(), UINT64_MAX},     {"maximum 0", file.c_str(), 0},
        {"missing file", missing.c_str(), UINT64_MAX}, {"null path", nullptr, UINT64_MAX},
        {"directory", dir.c_str(), UINT64_MAX},
    };
    for (const Failure& f : failures) {
        bytes.assign(3, 7);
        EXPECT_FALSE(ReadFileBytes(f.Path, bytes, f.Maximum)) << f.What;
        EXPECT_TRUE(bytes.empty()) << f.What;
    }
    bytes.assign(3, 7);
    EXPECT_FALSE(ReadFileBytes(static_cast<const wchar_t*>(nullptr), bytes, UINT64_MAX));
    EXPECT_TRUE(bytes.empty());
}

TEST_F(FilesTest, ReadFileBytesSharesWithDeleteButNotWithWriters)
{
    const std::string file = Write("shared.bin", "abc");
    const std::wstring wide = Utf8ToUtf16(file);
    std::vector<uint8_t> bytes;
    {
        HANDLE deleter = CreateFileW(wide.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(deleter, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(ReadFileBytes(file.c_str(), bytes, UINT64_MAX));
        CloseHandle(deleter);
    }
    {
        HANDLE writer = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(writer, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(ReadFileBytes(file.c_str(), bytes, UINT64_MAX));
        CloseHandle(writer);
    }
}

TEST_F(FilesTest, ListFilesSkipsDotNamesAndDirectories)
{
    Write("b.cfg", "1");
    Write("a.cfg", "2");
    Write(".hidden.cfg", "3");
    Write("notes.txt", "4");
    fs::create_directories(Dir / "sub.cfg");

    std::vector<std::wstring> names;
    ASSERT_TRUE(ListFiles(Utf8ToUtf16(Path("*.cfg")), names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a.cfg", L"b.cfg"}));

    names.clear();
    EXPECT_FALSE(ListFiles(Utf8ToUtf16(Path("*.none")), names));
    EXPECT_FALSE(ListFiles(Utf8ToUtf16(Path("missing\\*")), names));
    EXPECT_TRUE(names.empty());
}

TEST(ModulePath, NamesTheRunningExecutable)
{
    std::string path;
    ASSERT_TRUE(GetModulePath(path));
    EXPECT_TRUE(PathExists(path.c_str())) << path;
    ASSERT_GT(path.size(), 4u);
    EXPECT_EQ(path.substr(path.size() - 4), ".exe");
    EXPECT_NE(path.find("base_win_tests"), std::string::npos) << path;
}

TEST_F(FilesTest, ToLongPathPrefixesTheFullPath)
{
    EXPECT_EQ(ToLongPath(L""), L"");
    const std::wstring dir = Utf8ToUtf16(Utf8(Dir));
    EXPECT_EQ(ToLongPath(dir + L"\\x\\..\\file.bin"), L"\\\\?\\" + dir + L"\\file.bin");
    EXPECT_EQ(ToLongPath(L"\\\\?\\C:\\already\\long"), L"\\\\?\\C:\\already\\long");
    EXPECT_EQ(ToLongPath(L"\\\\server\\share\\file"), L"\\\\?\\UNC\\server\\share\\file");

    wchar_t cwd[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, cwd), 0u);
    std::wstring base = cwd;
    if (base.back() != L'\\') {
        base += L'\\';
    }
    EXPECT_EQ(ToLongPath(L"relative.txt"), L"\\\\?\\" + base + L"relative.txt");
}

TEST_F(FilesTest, GetFileSizeReachesPathsBeyondTheShortLimit)
{
    // A path of more than 260 units only opens through the long form.
    std::wstring deep = Utf8ToUtf16(Utf8(Dir));
    for (int i = 0; i < 6; ++i) {
        deep += L"\\" + std::wstring(50, static_cast<wchar_t>(L'a' + i));
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    }
    const std::wstring file = deep + L"\\deep.bin";
    ASSERT_GT(file.size(), 260u);
    HANDLE handle = CreateFileW((L"\\\\?\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(handle, "12345", 5, &written, nullptr);
    CloseHandle(handle);
    EXPECT_EQ(tavrin::GetFileSize(Utf16ToUtf8(file).c_str()), 5);
}

TEST(EnvironmentValue, ReadsPresentNonEmptyVariablesOfAnyLength)
{
    std::wstring value = L"stale";
    EXPECT_FALSE(GetEnvironmentValue(L"", value));
    EXPECT_FALSE(GetEnvironmentValue(L"TAVRIN_TEST_ABSENT_VARIABLE", value));

    ASSERT_TRUE(SetEnvironmentVariableW(L"TAVRIN_TEST_SHORT", L"1"));
    ASSERT_TRUE(GetEnvironmentValue(L"TAVRIN_TEST_SHORT", value));
    EXPECT_EQ(value, L"1");

    ASSERT_TRUE(SetEnvironmentVariableW(L"TAVRIN_TEST_EMPTY", L""));
    EXPECT_FALSE(GetEnvironmentValue(L"TAVRIN_TEST_EMPTY", value));

    const std::wstring longValue(10000, L'v');
    ASSERT_TRUE(SetEnvironmentVariableW(L"TAVRIN_TEST_LONG", longValue.c_str()));
    ASSERT_TRUE(GetEnvironmentValue(L"TAVRIN_TEST_LONG", value));
    EXPECT_EQ(value, longValue);

    // Exactly the first buffer's size: the terminator no longer fits.
    const std::wstring edge(4096, L'e');
    ASSERT_TRUE(SetEnvironmentVariableW(L"TAVRIN_TEST_EDGE", edge.c_str()));
    ASSERT_TRUE(GetEnvironmentValue(L"TAVRIN_TEST_EDGE", value));
    EXPECT_EQ(value, edge);
}

TEST(Wine, DetectedWithItsVersion)
{
    // These tests run under Wine 8.
    EXPECT_TRUE(IsWine());
    const std::string version = GetWineVersion();
    EXPECT_EQ(version.rfind("8.", 0), 0u) << version;
    EXPECT_EQ(GetWineVersion(), version);
}

}  // namespace
}  // namespace tavrin
