// Fuzz entry for the module encoding: decoding inverts encoding for any bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "acquisition/module_decode.h"

using namespace tavrin::launcher;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    EncodeModule(bytes.data(), bytes.size());
    DecodeModule(bytes.data(), bytes.size());
    if (!std::equal(bytes.begin(), bytes.end(), data)) {
        __builtin_trap();
    }
    // Hostile bytes decode in place without reading or writing outside them.
    bytes.assign(data, data + size);
    DecodeModule(bytes.data(), bytes.size());
    EncodeModule(bytes.data(), bytes.size());
    if (!std::equal(bytes.begin(), bytes.end(), data)) {
        __builtin_trap();
    }
    return 0;
}
