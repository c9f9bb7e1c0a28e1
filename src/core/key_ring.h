// The last eleven released keys, for the built-in key sequence.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin::launcher {

class cKeyRing {
public:
    static constexpr uint32_t kSize = 11;

    // Keeps the low byte of the key code; the oldest entry is overwritten.
    void Push(int32_t keyCode);
    // True when the last `length` keys, oldest first, are `sequence`.
    bool EndsWith(const uint8_t* sequence, size_t length) const;

private:
    uint8_t Keys[kSize] = {};
    uint32_t Index = 0;
};

}  // namespace tavrin::launcher
