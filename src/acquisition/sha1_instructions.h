// SHA-1 through the processor's SHA extensions, several times faster than
// the system's hash for the megabytes of a cached module. Where the
// processor lacks them, Start fails and the caller keeps its own hash.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin::launcher {

class cSha1Instructions {
public:
    static constexpr size_t kDigestBytes = 20;

    // False (and Update and Finish do nothing) when the processor cannot.
    bool Start();
    void Update(const uint8_t* bytes, size_t size);
    // The digest of everything given to Update; false when not started.
    bool Finish(uint8_t (&digest)[kDigestBytes]);

private:
    uint32_t State[5] = {};
    uint8_t Pending[64] = {};
    size_t PendingSize = 0;
    uint64_t TotalBytes = 0;
    bool Started = false;
};

// One call for bytes in memory; false when the processor cannot.
bool Sha1WithInstructions(const uint8_t* bytes, size_t size,
                          uint8_t (&digest)[cSha1Instructions::kDigestBytes]);

}  // namespace tavrin::launcher
