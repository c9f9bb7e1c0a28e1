#include "core/key_ring.h"

namespace tavrin::launcher {

void cKeyRing::Push(int32_t keyCode)
{
    Keys[Index] = static_cast<uint8_t>(keyCode & 0xFF);
    Index = (Index + 1) % kSize;
}

bool cKeyRing::EndsWith(const uint8_t* sequence, size_t length) const
{
    if (length > kSize)
        return false;
    for (size_t i = 0; i < length; ++i) {
        uint32_t slot = static_cast<uint32_t>((Index + kSize - length + i) % kSize);
        if (Keys[slot] != sequence[i])
            return false;
    }
    return true;
}

}  // namespace tavrin::launcher
