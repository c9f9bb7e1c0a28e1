#include "acquisition/module_cache.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

#include "acquisition/cache_metadata.h"
#include "acquisition/module_decode.h"
#include "acquisition/sha1_instructions.h"
#include "base/file_handle_win.h"
#include "base/files_win.h"

namespace tavrin::launcher {

namespace {

// One read call carries at most 4 GiB - 1 bytes.
constexpr uint64_t kMaxCachedFileBytes = 0xFFFFFFFFull;
constexpr char kTemporarySuffix[] = ".partial";
constexpr char kPreviousSuffix[] = ".previous";
// The module of a running launch, moved aside until the launch has ended.
constexpr char kHeldSuffix[] = ".held";

class cCryptProvider {
public:
    cCryptProvider()
    {
        if (!CryptAcquireContextW(&Provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
            Provider = 0;
        }
    }
    ~cCryptProvider()
    {
        if (Provider != 0) {
            CryptReleaseContext(Provider, 0);
        }
    }
    cCryptProvider(const cCryptProvider&) = delete;
    cCryptProvider& operator=(const cCryptProvider&) = delete;
    HCRYPTPROV Get() const { return Provider; }

private:
    HCRYPTPROV Provider = 0;
};

class cCryptHash {
public:
    cCryptHash(HCRYPTPROV provider, ALG_ID algorithm)
    {
        if (provider == 0 || !CryptCreateHash(provider, algorithm, 0, 0, &Hash)) {
            Hash = 0;
        }
    }
    ~cCryptHash()
    {
        if (Hash != 0) {
            CryptDestroyHash(Hash);
        }
    }
    cCryptHash(const cCryptHash&) = delete;
    cCryptHash& operator=(const cCryptHash&) = delete;
    HCRYPTHASH Get() const { return Hash; }

private:
    HCRYPTHASH Hash = 0;
};

class cWriteFile {
public:
    explicit cWriteFile(const std::wstring& path)
        : File(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr))
    {
    }
    ~cWriteFile() { Close(); }
    cWriteFile(const cWriteFile&) = delete;
    cWriteFile& operator=(const cWriteFile&) = delete;

    bool IsOpen() const { return File != INVALID_HANDLE_VALUE; }
    // All bytes in one write, flushed to disk before the file is renamed into place.
    bool WriteAll(const void* data, size_t size)
    {
        DWORD written = 0;
        return IsOpen() && size <= MAXDWORD &&
               WriteFile(File, data, static_cast<DWORD>(size), &written, nullptr) && written == size &&
               FlushFileBuffers(File);
    }
    void Close()
    {
        if (IsOpen()) {
            CloseHandle(File);
            File = INVALID_HANDLE_VALUE;
        }
    }

private:
    HANDLE File;
};

std::wstring Wide(const std::string& path) { return ToLongPath(Utf8ToUtf16(path)); }

// Read and hashed a piece at a time: one buffer that stays in the processor's
// cache instead of the whole module in memory beside its copies.
constexpr DWORD kHashReadBytes = 1024 * 1024;

bool FinishSha1(HCRYPTHASH hash, std::string& hexDigest)
{
    BYTE digest[20];
    DWORD digestSize = sizeof digest;
    if (!CryptGetHashParam(hash, HP_HASHVAL, digest, &digestSize, 0) || digestSize != sizeof digest) {
        return false;
    }
    hexDigest = HexLower(digest, sizeof digest);
    return true;
}

// The processor's SHA instructions where it has them, else CryptoAPI, whose
// provider alone costs milliseconds to acquire and is only opened then.
class cSha1 {
public:
    cSha1()
    {
        if (!Instructions.Start()) {
            Provider.emplace();
            Hash.emplace(Provider->Get(), CALG_SHA1);
        }
    }

    bool Ready() const { return !Hash || Hash->Get() != 0; }
    bool Update(const uint8_t* bytes, size_t size)
    {
        if (!Hash) {
            Instructions.Update(bytes, size);
            return true;
        }
        while (size > 0) {
            const DWORD chunk = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
            if (!CryptHashData(Hash->Get(), bytes, chunk, 0)) {
                return false;
            }
            bytes += chunk;
            size -= chunk;
        }
        return true;
    }
    bool Finish(std::string& hexDigest)
    {
        if (Hash) {
            return FinishSha1(Hash->Get(), hexDigest);
        }
        uint8_t digest[cSha1Instructions::kDigestBytes];
        if (!Instructions.Finish(digest)) {
            return false;
        }
        hexDigest = HexLower(digest, sizeof digest);
        return true;
    }

private:
    cSha1Instructions Instructions;
    std::optional<cCryptProvider> Provider;
    std::optional<cCryptHash> Hash;
};

// The next size bytes of an open file.
bool HashOpenFile(HANDLE file, uint64_t size, std::string& hexDigest)
{
    hexDigest.clear();
    cSha1 hash;
    if (!hash.Ready()) {
        return false;
    }
    std::vector<uint8_t> buffer(kHashReadBytes);
    uint64_t left = size;
    while (left > 0) {
        DWORD read = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<uint64_t>(left, kHashReadBytes));
        if (!ReadFile(file, buffer.data(), wanted, &read, nullptr) || read == 0 ||
            !hash.Update(buffer.data(), read)) {
            return false;
        }
        left -= std::min<uint64_t>(left, read);
    }
    return hash.Finish(hexDigest);
}

// The complete new content in a sibling temporary file.
bool WriteTemporary(const std::string& path, const void* data, size_t size)
{
    const std::wstring temporary = Wide(path + kTemporarySuffix);
    cWriteFile file(temporary);
    const bool written = file.WriteAll(data, size);
    file.Close();
    if (!written) {
        DeleteFileW(temporary.c_str());
    }
    return written;
}

bool MoveTemporaryIntoPlace(const std::string& path)
{
    return MoveFileExW(Wide(path + kTemporarySuffix).c_str(), Wide(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// Leftovers of a store that was cut short; they are never read.
void DeleteTemporaries(const std::string& modulePath)
{
    DeleteFileW(Wide(modulePath + kTemporarySuffix).c_str());
    DeleteFileW(Wide(modulePath + kMetadataSuffix + kTemporarySuffix).c_str());
    DeleteFileW(Wide(modulePath + kPreviousSuffix).c_str());
    DeleteFileW(Wide(modulePath + kHeldSuffix).c_str());
}

// The old module moves aside while the new pair goes into place, so that a
// failed second rename can still give it back. False only when an old module
// exists and cannot be moved.
bool MovePreviousAside(const std::string& modulePath, bool& moved)
{
    moved = MoveFileExW(Wide(modulePath).c_str(), Wide(modulePath + kPreviousSuffix).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    return moved || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// Undoes a store that put the new module in place but not its metadata: the
// old module goes back beside its old metadata. When that fails nothing is
// left that a later probe could mistake for a pair.
void RestorePrevious(const std::string& modulePath, bool hadPrevious)
{
    const bool restored =
        hadPrevious ? MoveFileExW(Wide(modulePath + kPreviousSuffix).c_str(), Wide(modulePath).c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0
                    : DeleteFileW(Wide(modulePath).c_str()) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND;
    if (!restored) {
        DeleteCache(modulePath);
    }
    DeleteTemporaries(modulePath);
}

// Both new files are complete before either replaces the old pair, and the
// old module waits aside until both are in place, so a failed store leaves
// the previous module and its metadata as they were. Between the two renames
// the old metadata sits beside the new module; its SHA-1 does not match, so
// it never vouches for the new bytes. The staged file is hashed through the
// handle that wrote it, which no one else could open, so the metadata
// vouches for the bytes that were launched.
bool CommitStagedPair(const std::string& modulePath, std::unique_ptr<cFileHandle>& staged, uint64_t size,
                      const std::string& etag)
{
    std::string digest;
    const LARGE_INTEGER start = {};
    if (!SetFilePointerEx(staged->Get(), start, nullptr, FILE_BEGIN) ||
        !HashOpenFile(staged->Get(), size, digest) || !FlushFileBuffers(staged->Get())) {
        return false;
    }
    staged.reset();
    const std::string metadataPath = modulePath + kMetadataSuffix;
    const std::string metadata = FormatCacheMetadata(digest, etag);
    if (!WriteTemporary(metadataPath, metadata.data(), metadata.size())) {
        return false;
    }
    bool hadPrevious = false;
    if (!MovePreviousAside(modulePath, hadPrevious)) {
        return false;
    }
    if (!MoveTemporaryIntoPlace(modulePath) || !MoveTemporaryIntoPlace(metadataPath)) {
        RestorePrevious(modulePath, hadPrevious);
        return false;
    }
    DeleteFileW(Wide(modulePath + kPreviousSuffix).c_str());
    return true;
}

// The cache's age counts from the last successful launch with the module,
// as when it was written anew.
bool MarkWrittenNow(const std::string& path)
{
    cFileHandle file(CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return file.Valid() && SetFileTime(file.Get(), nullptr, nullptr, &now);
}

// The held module goes back beside metadata for the bytes the probe checked.
// The metadata is complete before the module moves, and a module that cannot
// be put back leaves no metadata behind.
bool RestoreHeldModule(const std::string& modulePath, const std::string& sha1, const std::string& etag)
{
    if (!MarkWrittenNow(modulePath + kHeldSuffix)) {
        return false;
    }
    const std::string metadataPath = modulePath + kMetadataSuffix;
    const std::string metadata = FormatCacheMetadata(sha1, etag);
    if (!WriteTemporary(metadataPath, metadata.data(), metadata.size())) {
        return false;
    }
    if (!MoveFileExW(Wide(modulePath + kHeldSuffix).c_str(), Wide(modulePath).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(Wide(metadataPath + kTemporarySuffix).c_str());
        return false;
    }
    if (!MoveTemporaryIntoPlace(metadataPath)) {
        DeleteCache(modulePath);
        DeleteFileW(Wide(metadataPath + kTemporarySuffix).c_str());
        return false;
    }
    return true;
}

// Read a piece at a time into a small buffer that stays in the processor's
// cache, hashed there and appended: the module's own buffer is written once,
// never zeroed first, and the hashed bytes are the kept ones. Reading straight
// into the large buffer costs Wine more than these copies do.
constexpr DWORD kCachedReadBytes = 256 * 1024;

bool ReadAndHashCachedFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& hexDigest)
{
    bytes.clear();
    cFileHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                                 nullptr));
    LARGE_INTEGER size;
    cSha1 hash;
    if (!file.Valid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxCachedFileBytes || !hash.Ready()) {
        return false;
    }
    const size_t total = static_cast<size_t>(size.QuadPart);
    bytes.reserve(total);
    std::vector<uint8_t> piece(kCachedReadBytes);
    while (bytes.size() < total) {
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(kCachedReadBytes, total - bytes.size()));
        DWORD read = 0;
        if (!ReadFile(file.Get(), piece.data(), wanted, &read, nullptr) || read == 0 ||
            !hash.Update(piece.data(), read)) {
            bytes.clear();
            return false;
        }
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + read);
    }
    return hash.Finish(hexDigest);
}

}  // namespace

bool ComputeSha1(const uint8_t* bytes, size_t size, std::string& hexDigest)
{
    hexDigest.clear();
    cSha1 hash;
    return hash.Ready() && hash.Update(bytes, size) && hash.Finish(hexDigest);
}

bool ComputeSha1(const std::string& path, std::string& hexDigest)
{
    hexDigest.clear();
    cFileHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size;
    if (!file.Valid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxCachedFileBytes) {
        return false;
    }
    return HashOpenFile(file.Get(), static_cast<uint64_t>(size.QuadPart), hexDigest);
}

namespace {

bool ReadMetadata(const std::string& metadataPath, std::string& etag, std::string& sha1)
{
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(Wide(metadataPath).c_str(), bytes, 64 * 1024)) {
        return false;
    }
    CacheMetadata metadata;
    const bool complete = ParseCacheMetadata(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), metadata);
    etag = metadata.ETag;
    sha1 = metadata.Sha1;
    return complete;
}

}  // namespace

void DeleteCache(const std::string& modulePath)
{
    DeleteFileW(Wide(modulePath).c_str());
    DeleteFileW(Wide(modulePath + kMetadataSuffix).c_str());
}

void ProbeModuleCache(ModuleCacheEntry& entry, const std::string& path)
{
    entry.Reset(path);
    if (path.empty()) {
        return;
    }
    DeleteTemporaries(path);
    uint64_t ageMs = 0;
    if (!GetFileAgeMs(Wide(path), ageMs)) {
        return;
    }
    if (IsCacheAgeExpired(ageMs)) {
        DeleteCache(path);
        return;
    }
    std::string etag, recordedSha1, actualSha1;
    std::vector<uint8_t> bytes;
    if (!ReadMetadata(path + kMetadataSuffix, etag, recordedSha1) ||
        !ReadAndHashCachedFile(path, bytes, actualSha1) || !Sha1Matches(recordedSha1, actualSha1)) {
        return;
    }
    entry.Valid = true;
    entry.CachedETag = etag;
    entry.CachedSha1 = actualSha1;
    entry.CachedBytes = std::move(bytes);
}

bool LoadCachedModule(ModuleCacheEntry& entry, const LoadModuleFunction& loadModule)
{
    if (!entry.Valid || entry.CachedBytes.empty()) {
        return false;
    }
    // Consumed while it runs: a launch that crashes leaves no cache behind.
    const std::wstring modulePath = Wide(entry.Path);
    entry.Held = MoveFileExW(modulePath.c_str(), Wide(entry.Path + kHeldSuffix).c_str(),
                             MOVEFILE_REPLACE_EXISTING) != 0;
    if (!entry.Held) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) {
            entry.CachedBytes.clear();
            return false;
        }
        DeleteFileW(modulePath.c_str());
    }
    DeleteFileW(Wide(entry.Path + kMetadataSuffix).c_str());
    entry.ReceivedETag = entry.CachedETag;
    std::vector<uint8_t> bytes = std::move(entry.CachedBytes);
    entry.CachedBytes.clear();
    DecodeModule(bytes.data(), bytes.size());
    if (loadModule) {
        loadModule(std::move(bytes));
    }
    return true;
}

bool StageDownloadedModule(ModuleCacheEntry& entry, const uint8_t* encoded, size_t size)
{
    entry.Staged.reset();
    entry.StagedBytes = 0;
    if (entry.Path.empty() || encoded == nullptr || size == 0 || size > MAXDWORD) {
        return false;
    }
    const std::wstring temporary = Wide(entry.Path + kTemporarySuffix);
    auto file =
        std::make_unique<cFileHandle>(CreateFileW(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file->Valid()) {
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(file->Get(), encoded, static_cast<DWORD>(size), &written, nullptr) || written != size) {
        file.reset();
        DeleteFileW(temporary.c_str());
        return false;
    }
    entry.Staged = std::move(file);
    entry.StagedBytes = size;
    return true;
}

void StoreCachedModule(ModuleCacheEntry& entry, bool launchSucceeded)
{
    if (!entry.Path.empty()) {
        if (entry.Held) {
            if (!launchSucceeded || !RestoreHeldModule(entry.Path, entry.CachedSha1, entry.ReceivedETag)) {
                DeleteFileW(Wide(entry.Path + kHeldSuffix).c_str());
            }
        } else if (entry.Staged) {
            if (!launchSucceeded ||
                !CommitStagedPair(entry.Path, entry.Staged, entry.StagedBytes, entry.ReceivedETag)) {
                entry.Staged.reset();
                DeleteFileW(Wide(entry.Path + kTemporarySuffix).c_str());
                DeleteFileW(Wide(entry.Path + kMetadataSuffix + kTemporarySuffix).c_str());
            }
        }
    }
    entry.Held = false;
    entry.Staged.reset();
    entry.StagedBytes = 0;
    entry.CachedBytes.clear();
    entry.ReceivedETag.clear();
}

}  // namespace tavrin::launcher
