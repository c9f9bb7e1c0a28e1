// Helpers of the tests against the loopback dev CDN and telemetry collector
// that the test fixture starts on the host: module bodies and file ages.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "acquisition/download_rules.h"
#include "acquisition/module_decode.h"
#include "base/files_win.h"
#include "test_support/loopback_servers_win.h"
#include "test_support/scratch_folder_win.h"

namespace tavrin::launcher::testing {

using tavrin::test::cScratchFolder;
using tavrin::test::LoopbackCdnConfigured;
using tavrin::test::ReadText;
using tavrin::test::ServersFolder;
using tavrin::test::WriteBytes;

inline std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed)
{
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

inline std::string Encoded(std::vector<uint8_t> plain)
{
    EncodeModule(plain.data(), plain.size());
    return std::string(plain.begin(), plain.end());
}

inline bool FileExists(const std::string& path)
{
    return GetFileAttributesW(tavrin::Utf8ToUtf16(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Moves a file's last-write time into the past.
inline bool AgeFile(const std::string& path, uint64_t ageMs)
{
    return tavrin::test::SetLastWriteTime(tavrin::test::Utf8Path(path), tavrin::test::NowMinusMs(ageMs));
}

}  // namespace tavrin::launcher::testing
