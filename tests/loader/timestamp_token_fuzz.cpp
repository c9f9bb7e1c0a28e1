// Fuzz entry for the time-stamp token reader: any input must be refused or
// read without leaving the bytes, and what it hands out must lie inside them.
#include <cstddef>
#include <cstdint>

#include "loader/timestamp_token.h"

using namespace tavrin::launcher;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    cTimestampInfo info;
    if (ParseTimestampInfo(data, size, info) &&
        (info.Imprint < data || info.ImprintSize > size || info.Imprint + info.ImprintSize > data + size)) {
        __builtin_trap();
    }
    const uint8_t* content = nullptr;
    size_t contentSize = 0;
    if (ReadOctetString(data, size, content, contentSize) && content + contentSize != data + size) {
        __builtin_trap();
    }
    return 0;
}
