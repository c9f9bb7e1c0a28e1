// The module cache: the module of the last successful launch, kept per
// product, deployment and system beside a ".metadata" file with its SHA-1
// and ETag. A cached module is consumed when used and written back only
// after a launch with it succeeded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/file_handle_win.h"

namespace tavrin::launcher {

// One launch's view of the cache (a member of the module loader).
struct ModuleCacheEntry {
    std::string Path;                     // the cached module file; empty: no cache this launch
    bool Valid = false;                   // the metadata check succeeded
    std::string CachedETag;               // from the metadata file
    std::string CachedSha1;               // of CachedBytes, as computed by the probe
    std::vector<uint8_t> CachedBytes;     // the cached module as checked, encoded, until loaded
    bool Held = false;                    // the loaded module's file waits aside for the launch's end
    std::unique_ptr<cFileHandle> Staged;  // a downloaded module's temporary file, shared with no one
    uint64_t StagedBytes = 0;             // the encoded size written to it
    std::string ReceivedETag;             // the ETag that goes with the staged or the held file

    void Reset(const std::string& path)
    {
        Path = path;
        Valid = false;
        CachedETag.clear();
        CachedSha1.clear();
        CachedBytes.clear();
        Held = false;
        Staged.reset();
        StagedBytes = 0;
        ReceivedETag.clear();
    }
};

using LoadModuleFunction = std::function<void(std::vector<uint8_t> decodedBytes)>;

// Windows only (CryptoAPI and the file system); paths are UTF-8.
bool ComputeSha1(const std::string& path, std::string& hexDigest);
bool ComputeSha1(const uint8_t* bytes, size_t size, std::string& hexDigest);
// Missing files are ignored.
void DeleteCache(const std::string& modulePath);

// Resets the entry to the path and decides whether it is valid: the file
// exists, is at most 168 hours old (older ones are deleted) and matches its
// metadata. The file is read once: a valid entry keeps the bytes that were
// checked, and only those are ever loaded. Temporary files left by an
// interrupted store, or by a launch that never ended, are removed.
void ProbeModuleCache(ModuleCacheEntry& entry, const std::string& path);

// A downloaded module, still encoded, goes to the cache's temporary file
// before it is decoded: no second copy in memory. The file stays open and
// shared with no one until StoreCachedModule keeps or deletes it; a crash
// leaves it for the next probe to remove. False (nothing staged) when the
// entry has no path or the file cannot be written.
bool StageDownloadedModule(ModuleCacheEntry& entry, const uint8_t* encoded, size_t size);

// Consumes the cached module: its file moves aside (it comes back only after
// a successful launch), its metadata is deleted, and the checked bytes are
// decoded in place and handed to loadModule. False when the entry is not
// valid or its file is gone.
bool LoadCachedModule(ModuleCacheEntry& entry, const LoadModuleFunction& loadModule);

// After a successful launch: the staged module is hashed through its own
// handle, flushed, and its metadata written to a temporary file; only then
// are both renamed over the old pair, so a failed store keeps the old pair
// and a crash never leaves a module beside metadata that vouches for it
// wrongly; a module loaded from the cache moves back beside new metadata.
// After a failed launch a held or staged module is deleted. Always forgets
// the staged file and the received ETag.
void StoreCachedModule(ModuleCacheEntry& entry, bool launchSucceeded);

}  // namespace tavrin::launcher
