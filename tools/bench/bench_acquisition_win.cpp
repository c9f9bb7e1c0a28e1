// BenchAcquisition: times the launcher's own download, decoding and cache
// checksum of one module served by the loopback development CDN, beside a
// plain memory copy of the same size, a cache hit of a 5 MB module (the
// probe's read and SHA-1, then the load's decode) and the first touch of a
// fresh 5 MB buffer, and prints one JSON line
// per sample:
//   {"figure": "download", "seconds": 0.41, "bytes": 50000000}
//
//   BenchAcquisition PRODUCT DEPLOYMENT SYSTEM SERVED_FILE RUNS
//
// SERVED_FILE is the encoded module the CDN serves for that path (its
// checksum is taken as the cache would take it, and its bytes are the ones
// decoded and cached); ASCII arguments. Exit code 0 when every run
// downloaded the whole module.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/download_rules.h"
#include "acquisition/module_cache.h"
#include "acquisition/module_decode.h"
#include "acquisition/module_download_win.h"
#include "base/files_win.h"

namespace {

using namespace tavrin::launcher;
using Clock = std::chrono::steady_clock;

constexpr size_t kCachedBytes = 5'000'000;

void PrintSample(const char* figure, Clock::duration elapsed, size_t bytes)
{
    std::printf("{\"figure\": \"%s\", \"seconds\": %.6f, \"bytes\": %zu}\n", figure,
                std::chrono::duration<double>(elapsed).count(), bytes);
    std::fflush(stdout);
}

std::string TemporaryPath(const char* name)
{
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return {};
    return tavrin::Utf16ToUtf8(folder) + name;
}

// The size received, or 0 when the download failed. The cache entry has a
// path, as a launch's has, so the encoded bytes go to its temporary file;
// the launch's end that deletes it is not timed.
size_t TimeDownload(const char* product, const char* deployment, const char* system)
{
    ModuleCacheEntry cache;
    ProbeModuleCache(cache, TemporaryPath("tavrin-bench-download.module"));
    ModuleDownloadContext context;
    context.GameDev = true;
    context.ProductId = product;
    context.DeploymentId = deployment;
    context.SystemName = system;
    context.Cache = &cache;
    size_t loaded = 0;
    context.LoadModule = [&](std::vector<uint8_t> bytes) { loaded = bytes.size(); };
    context.Report = [](int32_t code, const std::string& message) {
        std::fprintf(stderr, "bench: download reported %d: %s\n", code, message.c_str());
    };
    bool cancelled = false;
    Clock::time_point start = Clock::now();
    bool done = DownloadModule(context, CdnUrlTemplate(true), true, cancelled);
    Clock::duration elapsed = Clock::now() - start;
    const bool staged = cache.StagedBytes == loaded;
    StoreCachedModule(cache, false);
    if (!done || !staged || loaded == 0)
        return 0;
    PrintSample("download", elapsed, loaded);
    return loaded;
}

void TimeDecode(std::vector<uint8_t> bytes)
{
    Clock::time_point start = Clock::now();
    DecodeModule(bytes.data(), bytes.size());
    PrintSample("decode", Clock::now() - start, bytes.size());
}

// Both buffers touched first, so the copy is timed and not the page faults.
void TimeMemcpy(size_t size)
{
    std::vector<uint8_t> from(size, 1);
    std::vector<uint8_t> to(size, 2);
    Clock::time_point start = Clock::now();
    std::memcpy(to.data(), from.data(), size);
    Clock::duration elapsed = Clock::now() - start;
    volatile uint8_t sink = to[size / 2];
    (void)sink;
    PrintSample("memcpy", elapsed, size);
}

bool TimeSha1(const std::string& path, size_t size)
{
    std::string digest;
    Clock::time_point start = Clock::now();
    if (!ComputeSha1(path, digest))
        return false;
    PrintSample("sha1", Clock::now() - start, size);
    return true;
}

// The platform's price of memory the process has not used before: a fresh
// buffer of the cached module's size, one byte written per page. The cache
// hit's own buffer pays the same on every launch, whatever the launcher does
// with it.
void TimeFirstTouch(size_t size)
{
    Clock::time_point start = Clock::now();
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
    for (size_t at = 0; at < size; at += 4096)
        buffer[at] = static_cast<uint8_t>(at);
    Clock::duration elapsed = Clock::now() - start;
    volatile uint8_t sink = buffer[size / 2];
    (void)sink;
    PrintSample("first_touch", elapsed, size);
}

// A launch's cache hit: the entry stored as after a successful launch, then
// probed and loaded as the next launch does; the store is not timed.
bool TimeCachedModule(const std::vector<uint8_t>& encoded)
{
    const std::string path = TemporaryPath("tavrin-bench-cached.module");
    if (path.empty() || encoded.size() < kCachedBytes)
        return false;
    ModuleCacheEntry entry;
    entry.Reset(path);
    StageDownloadedModule(entry, encoded.data(), kCachedBytes);
    entry.ReceivedETag = "\"bench\"";
    StoreCachedModule(entry, true);
    size_t loaded = 0;
    Clock::time_point start = Clock::now();
    ProbeModuleCache(entry, path);
    const bool hit = LoadCachedModule(entry, [&](std::vector<uint8_t> bytes) { loaded = bytes.size(); });
    Clock::duration elapsed = Clock::now() - start;
    DeleteCache(path);
    if (!hit || loaded != kCachedBytes)
        return false;
    PrintSample("cached_module", elapsed, loaded);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: BenchAcquisition PRODUCT DEPLOYMENT SYSTEM SERVED_FILE RUNS\n");
        return 2;
    }
    const std::string product = argv[1];
    const std::string deployment = argv[2];
    const std::string system = argv[3];
    const std::string served = argv[4];
    const int runs = std::atoi(argv[5]);
    for (int run = 0; run < runs; ++run) {
        const size_t size = TimeDownload(product.c_str(), deployment.c_str(), system.c_str());
        std::vector<uint8_t> bytes;
        if (size == 0 || !tavrin::ReadFileBytes(served.c_str(), bytes, size) || bytes.size() != size) {
            std::fprintf(stderr, "bench: the download of %s/%s/%s failed\n", product.c_str(),
                         deployment.c_str(), system.c_str());
            return 1;
        }
        TimeFirstTouch(kCachedBytes);
        if (!TimeCachedModule(bytes)) {
            std::fprintf(stderr, "bench: no cache hit of the stored module\n");
            return 1;
        }
        TimeDecode(std::move(bytes));
        TimeMemcpy(size);
        if (!TimeSha1(served, size)) {
            std::fprintf(stderr, "bench: no checksum of %s\n", served.c_str());
            return 1;
        }
    }
    return 0;
}
