#include "base/strings.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <x86intrin.h>

namespace tavrin {

namespace {

bool IsIdentifierCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

}  // namespace

bool IsValidIdentifier(const std::string& text)
{
    if (text.size() < 2 || text.size() > 64) {
        return false;
    }
    for (const char c : text) {
        if (!IsIdentifierCharacter(c)) {
            return false;
        }
    }
    return true;
}

void FormatPlaceholders(std::string& text, const std::vector<std::string>& args)
{
    for (size_t i = 0; i < args.size(); ++i) {
        char placeholder[32];
        std::snprintf(placeholder, sizeof placeholder, "{%u}", static_cast<unsigned>(i));
        const size_t at = text.find(placeholder);
        if (at == std::string::npos) {
            continue;
        }
        text.replace(at, std::char_traits<char>::length(placeholder), args[i]);
    }
}

void GetExtension(const std::string& path, std::string& pathCopy, std::string& extension)
{
    pathCopy = path;
    extension.clear();
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot + 1 == path.size()) {
        return;
    }
    extension = path.substr(dot);
}

int64_t MonotonicNow()
{
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(since).count();
}

uint32_t SeedWordFromCounter(uint64_t tsc) { return static_cast<uint32_t>((tsc * 214013u + 2531011u) >> 16); }

static uint32_t RotateLeft(uint32_t value, unsigned bits) { return (value << bits) | (value >> (32 - bits)); }

uint32_t NextRandom(RandomState& s)
{
    const uint32_t e = s.W - RotateLeft(s.X, 27);
    s.W = s.X ^ RotateLeft(s.Y, 17);
    s.X = s.Y + s.Z;
    s.Y = s.Z + e;
    s.Z = e + s.W;
    return s.Z;
}

namespace {

RandomState gRandomState;
std::once_flag gRandomSeeded;
// Unlocked draws would race on the state (undefined behaviour, and two
// threads could receive the same identifier).
std::mutex gRandomLock;

void SeedFromTimeStampCounter()
{
    gRandomState.X = SeedWordFromCounter(__rdtsc());
    gRandomState.Y = SeedWordFromCounter(__rdtsc());
    gRandomState.Z = SeedWordFromCounter(__rdtsc());
}

}  // namespace

void MakeRandomId(char* buffer)
{
    std::call_once(gRandomSeeded, SeedFromTimeStampCounter);
    uint32_t v[6];
    {
        std::lock_guard<std::mutex> guard(gRandomLock);
        for (uint32_t& value : v) {
            value = NextRandom(gRandomState);
        }
    }
    std::snprintf(buffer, 37, "%08x-%04x-%04x-%04x-%08x%04x", v[0], v[1] & 0xFFFFu, v[2] & 0xFFFFu,
                  v[3] & 0xFFFFu, v[4], v[5] & 0xFFFFu);
}

}  // namespace tavrin
