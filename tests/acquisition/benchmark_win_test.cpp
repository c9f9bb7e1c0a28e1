// Figures only: download, decode and hash throughput of a 50 MB module.
// The host's curl and sha1sum on the same data are measured by
// bench_host.sh for comparison.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "acquisition/module_cache.h"
#include "acquisition/module_decode.h"
#include "acquisition/module_download_win.h"
#include "loopback_servers_win.h"

namespace tavrin::launcher {
namespace {

using namespace tavrin::launcher::testing;
using Clock = std::chrono::steady_clock;

constexpr size_t kModuleBytes = 50 * 1000 * 1000;

double MegabytesPerSecond(size_t bytes, Clock::duration elapsed)
{
    const double seconds = std::chrono::duration<double>(elapsed).count();
    return seconds > 0 ? static_cast<double>(bytes) / 1e6 / seconds : 0.0;
}

TEST(Benchmark, DownloadDecodeAndSha1Of50MB)
{
    const std::string servers = ServersFolder();
    if (servers.empty() || !LoopbackCdnConfigured()) {
        GTEST_SKIP() << "needs the loopback test servers";
    }
    const std::vector<uint8_t> plain = PatternBytes(kModuleBytes, 99);
    const std::string folder = servers + "\\cdn\\bench";
    CreateDirectoryW(Utf8ToUtf16(folder).c_str(), nullptr);
    CreateDirectoryW(Utf8ToUtf16(folder + "\\d1").c_str(), nullptr);
    const std::string file = folder + "\\d1\\win64";
    ASSERT_TRUE(WriteBytes(file, Encoded(plain)));

    ModuleCacheEntry cache;
    cache.Reset(folder + "\\cached.module");
    ModuleDownloadContext context;
    context.GameDev = true;
    context.ProductId = "bench";
    context.DeploymentId = "d1";
    context.SystemName = "win64";
    context.Cache = &cache;
    size_t loaded = 0;
    context.LoadModule = [&](std::vector<uint8_t> bytes) { loaded = bytes.size(); };
    bool cancelled = false;
    Clock::time_point start = Clock::now();
    ASSERT_TRUE(DownloadModule(context, CdnUrlTemplate(true), true, cancelled));
    const Clock::duration download = Clock::now() - start;
    EXPECT_EQ(loaded, kModuleBytes);

    StoreCachedModule(cache, true);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFileBytes(cache.Path.c_str(), bytes, kModuleBytes));
    DeleteCache(cache.Path);
    start = Clock::now();
    DecodeModule(bytes.data(), bytes.size());
    const Clock::duration decode = Clock::now() - start;
    EXPECT_EQ(bytes, plain);

    std::string digest;
    start = Clock::now();
    ASSERT_TRUE(ComputeSha1(file, digest));
    const Clock::duration hash = Clock::now() - start;

    std::printf("benchmark: download of 50 MB from the loopback CDN: %.1f MB/s\n",
                MegabytesPerSecond(kModuleBytes, download));
    std::printf("benchmark: DecodeModule: %.1f MB/s\n", MegabytesPerSecond(kModuleBytes, decode));
    std::printf("benchmark: ComputeSha1 (file read + hash): %.1f MB/s\n",
                MegabytesPerSecond(kModuleBytes, hash));
    DeleteFileW(Utf8ToUtf16(file).c_str());
}

}  // namespace
}  // namespace tavrin::launcher
