// Platform-free text helpers: identifiers, placeholders, extensions, the
// monotonic clock and random identifiers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

// 2 to 64 characters, each an ASCII letter, an ASCII digit or '-'.
bool IsValidIdentifier(const std::string& text);

// Replaces the first "{i}" by args[i], for i in increasing order.
void FormatPlaceholders(std::string& text, const std::vector<std::string>& args);

// The extension runs from the last '.' of the whole path; empty when there is
// no dot or the dot is last.
void GetExtension(const std::string& path, std::string& pathCopy, std::string& extension);

// Nanoseconds of the steady clock; never goes backwards.
int64_t MonotonicNow();

// Writes 36 characters and a NUL into buffer (at least 37 bytes).
void MakeRandomId(char* buffer);

// Bob Jenkins' small fast generator (32-bit, rotations 27 and 17), exposed so
// the identifier's source can be checked on its own.
struct RandomState {
    uint32_t W = 0xF1EA5EEDu;
    uint32_t X = 0;
    uint32_t Y = 0;
    uint32_t Z = 0;
};

// The seed word drawn from one time-stamp counter reading.
uint32_t SeedWordFromCounter(uint64_t tsc);
uint32_t NextRandom(RandomState& state);

}  // namespace tavrin
