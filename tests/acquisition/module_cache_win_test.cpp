#include "acquisition/module_cache.h"

#include <gtest/gtest.h>

#include "acquisition/download_rules.h"
#include "acquisition/module_download_win.h"
#include "loopback_servers_win.h"

namespace tavrin::launcher {
namespace {

using namespace tavrin::launcher::testing;

constexpr uint64_t kHourMs = 3600000;

class ModuleCacheTest : public ::testing::Test {
protected:
    ModuleCacheTest() : Folder("tavrin-net-cache-") {}

    // Writes a module and matching metadata the way a successful launch does.
    void StoreModule(const std::string& encoded, const std::string& etag)
    {
        ModuleCacheEntry entry;
        entry.Reset(ModulePath());
        StageDownloadedModule(entry, reinterpret_cast<const uint8_t*>(encoded.data()), encoded.size());
        entry.ReceivedETag = etag;
        StoreCachedModule(entry, true);
        EXPECT_FALSE(entry.Staged);
        EXPECT_EQ(entry.StagedBytes, 0u);
        EXPECT_TRUE(entry.ReceivedETag.empty());
    }

    std::string ModulePath() const { return Folder.File("tavrin_x64.kzv"); }
    std::string MetadataPath() const { return ModulePath() + ".metadata"; }

    cScratchFolder Folder;
};

TEST(ComputeSha1, KnownDigests)
{
    std::string digest;
    const std::string abc = "abc";
    ASSERT_TRUE(ComputeSha1(reinterpret_cast<const uint8_t*>(abc.data()), abc.size(), digest));
    EXPECT_EQ(digest, "a9993e364706816aba3e25717850c26c9cd0d89d");
    ASSERT_TRUE(ComputeSha1(nullptr, 0, digest));
    EXPECT_EQ(digest, "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_FALSE(ComputeSha1("Z:\\no\\such\\file", digest));
}

// A file longer than one read piece, ending in a partial one, hashes like
// the same bytes in memory.
TEST_F(ModuleCacheTest, FileDigestSpansSeveralReadPieces)
{
    const std::vector<uint8_t> bytes = PatternBytes(2 * 1024 * 1024 + 12345, 7);
    StoreModule(std::string(bytes.begin(), bytes.end()), "e");
    std::string fromFile, fromMemory;
    ASSERT_TRUE(ComputeSha1(ModulePath(), fromFile));
    ASSERT_TRUE(ComputeSha1(bytes.data(), bytes.size(), fromMemory));
    EXPECT_EQ(fromFile, fromMemory);
}

TEST_F(ModuleCacheTest, StoredModuleIsProbedValidAndConsumedWhenLoaded)
{
    const std::vector<uint8_t> plain = PatternBytes(5000, 1);
    StoreModule(Encoded(plain), "\"tag-1\"");
    std::string sha1;
    ASSERT_TRUE(ComputeSha1(ModulePath(), sha1));
    const std::string metadata = "sha1=" + sha1 + "\r\netag=\"tag-1\"\r\n";
    EXPECT_EQ(ReadText(MetadataPath()), metadata);

    for (const bool succeeded : {true, false}) {
        ModuleCacheEntry entry;
        ProbeModuleCache(entry, ModulePath());
        ASSERT_TRUE(entry.Valid) << succeeded;
        EXPECT_EQ(entry.CachedETag, "\"tag-1\"");

        std::vector<uint8_t> loaded;
        ASSERT_TRUE(LoadCachedModule(entry, [&](std::vector<uint8_t> bytes) { loaded = bytes; }));
        EXPECT_EQ(loaded, plain);
        EXPECT_EQ(entry.ReceivedETag, "\"tag-1\"");
        EXPECT_FALSE(FileExists(ModulePath()));
        EXPECT_FALSE(FileExists(MetadataPath()));

        // Back, beside the same metadata, only when the launch succeeded.
        StoreCachedModule(entry, succeeded);
        EXPECT_EQ(FileExists(ModulePath()), succeeded);
        EXPECT_EQ(FileExists(MetadataPath()), succeeded);
        EXPECT_FALSE(FileExists(ModulePath() + ".held"));
    }
    EXPECT_FALSE(FileExists(ModulePath()));
}

// What the probe checked is what is loaded: bytes written into the file
// afterwards never reach the loader.
TEST_F(ModuleCacheTest, LoadedBytesAreTheOnesTheProbeChecked)
{
    const std::vector<uint8_t> plain = PatternBytes(5000, 6);
    StoreModule(Encoded(plain), "e");
    ModuleCacheEntry entry;
    ProbeModuleCache(entry, ModulePath());
    ASSERT_TRUE(entry.Valid);
    ASSERT_TRUE(WriteBytes(ModulePath(), Encoded(PatternBytes(5000, 7))));
    std::vector<uint8_t> loaded;
    ASSERT_TRUE(LoadCachedModule(entry, [&](std::vector<uint8_t> bytes) { loaded = bytes; }));
    EXPECT_EQ(loaded, plain);
}

// A launch that never ended leaves its module aside: the next probe removes
// it, as the cache was consumed. A module put back after a successful launch
// is as young as one written anew.
TEST_F(ModuleCacheTest, HeldModuleOfAnUnfinishedLaunchIsRemovedAndARestoredOneIsYoung)
{
    StoreModule(Encoded(PatternBytes(5000, 8)), "e");
    ASSERT_TRUE(AgeFile(ModulePath(), 160 * kHourMs));
    ModuleCacheEntry entry;
    ProbeModuleCache(entry, ModulePath());
    ASSERT_TRUE(LoadCachedModule(entry, nullptr));
    ASSERT_TRUE(FileExists(ModulePath() + ".held"));
    StoreCachedModule(entry, true);
    uint64_t ageMs = 0;
    ASSERT_TRUE(GetFileAgeMs(Utf8ToUtf16(ModulePath()), ageMs));
    EXPECT_LT(ageMs, kHourMs);

    ModuleCacheEntry again;
    ProbeModuleCache(again, ModulePath());
    ASSERT_TRUE(LoadCachedModule(again, nullptr));
    ModuleCacheEntry next;
    ProbeModuleCache(next, ModulePath());
    EXPECT_FALSE(next.Valid);
    EXPECT_FALSE(FileExists(ModulePath() + ".held"));
    // Nothing left to put back.
    StoreCachedModule(again, true);
    EXPECT_FALSE(FileExists(ModulePath()));
    EXPECT_FALSE(FileExists(MetadataPath()));
}

TEST_F(ModuleCacheTest, FailedStoreKeepsTheOldPairAndLeftoversAreRemoved)
{
    StoreModule(Encoded(PatternBytes(3000, 2)), "\"old\"");
    // A folder where the temporary module file goes: the new write fails.
    const std::string partial = ModulePath() + ".partial";
    ASSERT_TRUE(CreateDirectoryW(Utf8ToUtf16(partial).c_str(), nullptr));
    StoreModule(Encoded(PatternBytes(4000, 3)), "\"new\"");
    ModuleCacheEntry kept;
    ProbeModuleCache(kept, ModulePath());
    EXPECT_TRUE(kept.Valid);
    EXPECT_EQ(kept.CachedETag, "\"old\"");
    RemoveDirectoryW(Utf8ToUtf16(partial).c_str());

    // Files of a store cut short are gone after the next probe.
    ASSERT_TRUE(WriteBytes(partial, "half a module"));
    ASSERT_TRUE(WriteBytes(MetadataPath() + ".partial", "sha1="));
    ModuleCacheEntry probed;
    ProbeModuleCache(probed, ModulePath());
    EXPECT_TRUE(probed.Valid);
    EXPECT_FALSE(FileExists(partial));
    EXPECT_FALSE(FileExists(MetadataPath() + ".partial"));
}

// A downloaded module waits in the temporary file, which no one else can
// open, until the launch's end: kept only after a success; a failed launch
// or a crash (the handle closed, no store) leaves the old pair as it was.
TEST_F(ModuleCacheTest, StagedModuleReplacesTheOldPairOnlyAfterASuccessfulLaunch)
{
    const std::vector<uint8_t> old = PatternBytes(3000, 2);
    StoreModule(Encoded(old), "\"old\"");
    const std::vector<uint8_t> fresh = PatternBytes(7000, 9);
    const std::string encoded = Encoded(fresh);
    const auto stage = [&](ModuleCacheEntry& entry) {
        entry.Reset(ModulePath());
        EXPECT_TRUE(
            StageDownloadedModule(entry, reinterpret_cast<const uint8_t*>(encoded.data()), encoded.size()));
        entry.ReceivedETag = "\"new\"";
    };
    const auto expectCached = [&](const char* etag, const std::vector<uint8_t>& plain) {
        ModuleCacheEntry probed;
        ProbeModuleCache(probed, ModulePath());
        ASSERT_TRUE(probed.Valid);
        EXPECT_EQ(probed.CachedETag, etag);
        std::vector<uint8_t> loaded;
        ASSERT_TRUE(LoadCachedModule(probed, [&](std::vector<uint8_t> bytes) { loaded = bytes; }));
        EXPECT_EQ(loaded, plain);
        StoreCachedModule(probed, true);
        EXPECT_FALSE(FileExists(ModulePath() + ".partial"));
    };

    ModuleCacheEntry failed;
    stage(failed);
    EXPECT_EQ(failed.StagedBytes, encoded.size());
    // Held open: neither a writer nor a second launch's probe or stage reaches it.
    EXPECT_EQ(CreateFileW(Utf8ToUtf16(ModulePath() + ".partial").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    ModuleCacheEntry second;
    ProbeModuleCache(second, ModulePath());
    EXPECT_TRUE(second.Valid);
    EXPECT_FALSE(
        StageDownloadedModule(second, reinterpret_cast<const uint8_t*>(encoded.data()), encoded.size()));
    EXPECT_TRUE(FileExists(ModulePath() + ".partial"));
    StoreCachedModule(failed, false);
    expectCached("\"old\"", old);

    {
        ModuleCacheEntry crashed;
        stage(crashed);
    }
    expectCached("\"old\"", old);

    ModuleCacheEntry succeeded;
    stage(succeeded);
    StoreCachedModule(succeeded, true);
    expectCached("\"new\"", fresh);
}

// The metadata file held open, as a virus scanner or a second launcher
// might: it cannot be replaced while the handle lives.
class cHeldOpen {
public:
    explicit cHeldOpen(const std::string& path)
        : File(CreateFileW(Utf8ToUtf16(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~cHeldOpen()
    {
        if (File != INVALID_HANDLE_VALUE) {
            CloseHandle(File);
        }
    }
    cHeldOpen(const cHeldOpen&) = delete;
    cHeldOpen& operator=(const cHeldOpen&) = delete;
    bool IsOpen() const { return File != INVALID_HANDLE_VALUE; }

private:
    HANDLE File;
};

TEST_F(ModuleCacheTest, SecondRenameFailingKeepsTheOldPair)
{
    const std::vector<uint8_t> old = PatternBytes(3000, 2);
    StoreModule(Encoded(old), "\"old\"");
    {
        // The new module is already in place when its metadata fails to follow.
        cHeldOpen metadata(MetadataPath());
        ASSERT_TRUE(metadata.IsOpen());
        StoreModule(Encoded(PatternBytes(4000, 3)), "\"new\"");
    }
    ModuleCacheEntry kept;
    ProbeModuleCache(kept, ModulePath());
    ASSERT_TRUE(kept.Valid);
    EXPECT_EQ(kept.CachedETag, "\"old\"");
    std::vector<uint8_t> loaded;
    ASSERT_TRUE(LoadCachedModule(kept, [&](std::vector<uint8_t> bytes) { loaded = bytes; }));
    EXPECT_EQ(loaded, old);
    for (const char* leftover : {".partial", ".metadata.partial", ".previous"}) {
        EXPECT_FALSE(FileExists(ModulePath() + leftover)) << leftover;
    }

    // Without an old module there is nothing to give back: the new one goes.
    ASSERT_TRUE(WriteBytes(MetadataPath(), "sha1=0\r\netag=\"stray\"\r\n"));
    {
        cHeldOpen metadata(MetadataPath());
        ASSERT_TRUE(metadata.IsOpen());
        StoreModule(Encoded(PatternBytes(4000, 3)), "\"new\"");
    }
    EXPECT_FALSE(FileExists(ModulePath()));
    ModuleCacheEntry none;
    ProbeModuleCache(none, ModulePath());
    EXPECT_FALSE(none.Valid);
}

TEST_F(ModuleCacheTest, MetadataVariants)
{
    const std::string encoded = Encoded(PatternBytes(5000, 2));
    StoreModule(encoded, "e");
    std::string sha1;
    ASSERT_TRUE(ComputeSha1(ModulePath(), sha1));
    std::string upper = sha1;
    for (char& c : upper) {
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    const std::pair<std::string, bool> cases[] = {
        {"sha1=" + upper + "\r\netag=e\r\n", true},
        {"ETAG=e\r\nSha1=" + sha1 + "\r\n", true},
        {"sha1=" + sha1 + "\r\n", false},
        {"sha1=" + sha1 + "\r\netag=\r\n", false},
        {"sha1=" + std::string(40, '0') + "\r\netag=e\r\n", false},
    };
    for (const auto& [metadata, valid] : cases) {
        ASSERT_TRUE(WriteBytes(MetadataPath(), metadata));
        ModuleCacheEntry entry;
        ProbeModuleCache(entry, ModulePath());
        EXPECT_EQ(entry.Valid, valid) << metadata;
        // A mismatch only disables the cache: nothing is deleted.
        EXPECT_TRUE(FileExists(ModulePath()));
    }
}

TEST_F(ModuleCacheTest, AgeLimitIs168WholeHours)
{
    StoreModule(Encoded(PatternBytes(5000, 3)), "e");
    ASSERT_TRUE(AgeFile(ModulePath(), 168 * kHourMs + 59 * 60000));
    ModuleCacheEntry entry;
    ProbeModuleCache(entry, ModulePath());
    EXPECT_TRUE(entry.Valid);

    // A second more: the age is read with a millisecond clock, set with a finer one.
    ASSERT_TRUE(AgeFile(ModulePath(), 169 * kHourMs + 1000));
    ProbeModuleCache(entry, ModulePath());
    EXPECT_FALSE(entry.Valid);
    EXPECT_FALSE(FileExists(ModulePath()));
    EXPECT_FALSE(FileExists(MetadataPath()));
}

TEST_F(ModuleCacheTest, MissingOrEmptyPathsDisableTheCache)
{
    ModuleCacheEntry entry;
    ProbeModuleCache(entry, "");
    EXPECT_FALSE(entry.Valid);
    ProbeModuleCache(entry, ModulePath());
    EXPECT_FALSE(entry.Valid);
    EXPECT_FALSE(LoadCachedModule(entry, nullptr));

    // A module whose file vanished after the probe is not loaded.
    StoreModule(Encoded(PatternBytes(5000, 4)), "e");
    ProbeModuleCache(entry, ModulePath());
    ASSERT_TRUE(entry.Valid);
    DeleteCache(ModulePath());
    bool called = false;
    EXPECT_FALSE(LoadCachedModule(entry, [&](std::vector<uint8_t>) { called = true; }));
    EXPECT_FALSE(called);

    // A cache folder that does not exist: storing fails quietly.
    ModuleCacheEntry nowhere;
    nowhere.Reset(Folder.File("missing\\tavrin_x64.kzv"));
    const uint8_t bytes[] = {1, 2, 3};
    EXPECT_FALSE(StageDownloadedModule(nowhere, bytes, sizeof bytes));
    StoreCachedModule(nowhere, true);
    EXPECT_FALSE(FileExists(nowhere.Path));
    EXPECT_EQ(nowhere.StagedBytes, 0u);
}

TEST_F(ModuleCacheTest, ModuleWithoutMetadataIsNeverTrusted)
{
    // What a crash between the two writes would leave behind.
    StoreModule(Encoded(PatternBytes(5000, 5)), "e");
    DeleteFileW(Utf8ToUtf16(MetadataPath()).c_str());
    ModuleCacheEntry entry;
    ProbeModuleCache(entry, ModulePath());
    EXPECT_FALSE(entry.Valid);
    EXPECT_FALSE(FileExists(ModulePath() + ".partial"));
}

TEST_F(ModuleCacheTest, OverrideFileBesideTheGame)
{
    const std::string game = Folder.File("Game.exe");
    EXPECT_EQ(ReadCdnOverrideFile(game), "");
    ASSERT_TRUE(WriteBytes(game + ".kzv", "# notes\r\nabc\r\nCDN=https://h/builds/7/\r\ncdn=x\r\n"));
    EXPECT_EQ(ReadCdnOverrideFile(game), "https://h/builds/7/");
}

}  // namespace
}  // namespace tavrin::launcher
