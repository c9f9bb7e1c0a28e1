// The reversible byte encoding in which the CDN serves modules.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin::launcher {

// In place. Encoded form: e[k] = d[k] + d[k+1] + 3k for k < n-1 and
// e[n-1] = d[n-1] + 3(n-1), modulo 256. Fewer than two bytes stay as they are.
void DecodeModule(uint8_t* bytes, size_t length);

// The inverse of DecodeModule, for tools and tests.
void EncodeModule(uint8_t* bytes, size_t length);

}  // namespace tavrin::launcher
