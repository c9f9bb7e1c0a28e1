// Checks of an x86-64 image's exception table and every unwind record it
// reaches, made from the file's bytes before the table is registered: the
// system's unwinder follows them blindly when an exception passes through.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace tavrin::launcher {

class cPeView;

// RVA ranges whose bytes were checked in the file and so must reach the
// image unchanged (no fixup and no import slot may land inside them).
class cPeRangeSet {
public:
    void Add(uint32_t rva, uint32_t size);
    // Sorts and merges what was added; call before Overlaps.
    void Seal();
    bool Overlaps(uint64_t rva, uint64_t size) const;

private:
    std::vector<std::pair<uint64_t, uint64_t>> Ranges;  // [begin, end)
};

// True when the exception table is whole entries of functions inside
// executable sections, each with a well-formed unwind record (known version
// and flags, unwind codes that fit their count, a handler inside executable
// code, a finite chain of well-formed entries). Every range the unwinder
// reads goes into `checked`; `fault` says what was wrong.
bool CheckExceptionTable(const cPeView& view, cPeRangeSet& checked, const char*& fault);

}  // namespace tavrin::launcher
