#include "acquisition/cache_metadata.h"

#include "acquisition/response_headers.h"
#include "base/text_pieces.h"

namespace tavrin::launcher {

namespace {

constexpr size_t kKeyLength = 5;  // "sha1=" and "etag="

bool HasControlByte(const std::string& text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return true;
        }
    }
    return false;
}

void ReadLine(std::string_view line, CacheMetadata& metadata)
{
    if (line.size() < kKeyLength + 1) {
        return;
    }
    const std::string key = AsciiLower(std::string(line.substr(0, kKeyLength)));
    if (key == "etag=") {
        metadata.ETag.assign(line.substr(kKeyLength));
    } else if (key == "sha1=") {
        metadata.Sha1.assign(line.substr(kKeyLength));
    }
}

}  // namespace

bool ParseCacheMetadata(std::string_view text, CacheMetadata& metadata)
{
    metadata = CacheMetadata();
    // A '\r' is a line break only before a line feed: an unfinished last line
    // keeps it, and the control byte then refuses the record.
    const SplitRules lines{.Separators = "\n", .CarriageReturns = CarriageReturn::TrimBeforeSeparator};
    for (const TextPiece& line : SplitText(text, lines)) {
        ReadLine(line.Text, metadata);
    }
    return !metadata.ETag.empty() && !metadata.Sha1.empty() && !HasControlByte(metadata.ETag) &&
           !HasControlByte(metadata.Sha1);
}

std::string FormatCacheMetadata(const std::string& sha1, const std::string& etag)
{
    return "sha1=" + sha1 + "\r\netag=" + etag + "\r\n";
}

bool Sha1Matches(const std::string& a, const std::string& b) { return AsciiLower(a) == AsciiLower(b); }

bool IsCacheAgeExpired(uint64_t ageMs) { return ageMs / 3600000u > kCacheMaxAgeHours; }

std::string HexLower(const uint8_t* bytes, size_t size)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

}  // namespace tavrin::launcher
