// The ".metadata" file kept beside a cached module: its SHA-1 and the ETag
// under which the CDN served it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin::launcher {

inline constexpr char kMetadataSuffix[] = ".metadata";
// A cached module older than this many whole hours is discarded.
inline constexpr uint64_t kCacheMaxAgeHours = 168;

struct CacheMetadata {
    std::string Sha1;
    std::string ETag;
};

// Line by line ("\r\n" or "\n"); "sha1=" and "etag=" keys without regard to
// case, later lines replacing earlier ones. True when both values are
// present and neither holds a control byte (the ETag goes back out as a
// request header).
bool ParseCacheMetadata(std::string_view text, CacheMetadata& metadata);

// "sha1=<digest>\r\netag=<etag>\r\n".
std::string FormatCacheMetadata(const std::string& sha1, const std::string& etag);

// Equal when they match ignoring the case of A to Z.
bool Sha1Matches(const std::string& a, const std::string& b);

bool IsCacheAgeExpired(uint64_t ageMs);

// Lower-case hexadecimal, in byte order.
std::string HexLower(const uint8_t* bytes, size_t size);

}  // namespace tavrin::launcher
