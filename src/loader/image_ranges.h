// A process-wide list of images the launcher maps itself: the system's
// loader does not know them, so a crash report asks here which one an
// address falls in. Lock-free, so the crash handler may read it from any
// thread, whatever that thread was doing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin::launcher {

// How many images can be registered at once.
inline constexpr size_t kMaxImageRanges = 16;

// name must stay valid while registered (a string literal). False when the
// range is empty or the list is full.
bool RegisterImageRange(const void* base, size_t size, const char* name);
// Forgets the range starting at base; nothing when there is none.
void UnregisterImageRange(const void* base);

struct ImageRange {
    uintptr_t Base = 0;
    size_t Size = 0;
    const char* Name = nullptr;
};

// The registered range holding address; false when none does.
bool FindImageRange(uintptr_t address, ImageRange& out);

}  // namespace tavrin::launcher
