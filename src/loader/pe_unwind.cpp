#include "loader/pe_unwind.h"

#include <algorithm>
#include <cstring>

#include "loader/pe_view.h"

namespace tavrin::launcher {

namespace {

constexpr uint32_t kRuntimeFunctionSize = 12;
constexpr uint32_t kUnwindHeaderSize = 4;
constexpr uint8_t kFlagExceptionHandler = 1;
constexpr uint8_t kFlagTerminationHandler = 2;
constexpr uint8_t kFlagChainInfo = 4;
// Compilers chain a handful of records at most; a longer chain is a loop.
constexpr int kMaxChainDepth = 32;

enum UnwindOperation : uint8_t {
    kPushNonvolatile = 0,
    kAllocLarge = 1,
    kAllocSmall = 2,
    kSetFramePointer = 3,
    kSaveNonvolatile = 4,
    kSaveNonvolatileFar = 5,
    kEpilog = 6,
    kSaveXmm128 = 8,
    kSaveXmm128Far = 9,
    kPushMachineFrame = 10,
};

const char* const kOutside = "an unwind record lies outside the sections' data";
const char* const kBadHeader = "an unwind record has an unknown version or flags";
const char* const kBadCode = "an unwind record has a malformed unwind code";
const char* const kBadHandler = "an unwind record's handler lies outside executable code";
const char* const kBadChain = "an unwind chain is too long or loops";
const char* const kBadFunction = "a function entry lies outside executable code";

uint32_t Load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The slots an unwind code takes, 0 for a code the unwinder cannot follow.
uint32_t CodeSlots(uint8_t operation, uint8_t info, uint8_t version)
{
    switch (operation) {
    case kPushNonvolatile:
    case kAllocSmall:
    case kSetFramePointer:
        return 1;
    case kPushMachineFrame:
        return info <= 1 ? 1 : 0;
    case kAllocLarge:
        return info == 0 ? 2 : info == 1 ? 3 : 0;
    case kSaveNonvolatile:
    case kSaveXmm128:
        return 2;
    case kSaveNonvolatileFar:
    case kSaveXmm128Far:
        return 3;
    case kEpilog:
        return version == 2 ? 2 : 0;
    default:
        return 0;
    }
}

bool CodesAreWellFormed(const uint8_t* header)
{
    const uint8_t version = header[0] & 7;
    const uint8_t count = header[2];
    const uint8_t frameRegister = header[3] & 0x0F;
    const uint8_t* codes = header + kUnwindHeaderSize;
    for (uint32_t i = 0; i < count;) {
        const uint8_t operation = codes[i * 2 + 1] & 0x0F;
        const uint8_t info = codes[i * 2 + 1] >> 4;
        const uint32_t slots = CodeSlots(operation, info, version);
        if (slots == 0 || slots > count - i || (operation == kSetFramePointer && frameRegister == 0)) {
            return false;
        }
        i += slots;
    }
    return true;
}

class cUnwindCheck {
public:
    cUnwindCheck(const cPeView& view, cPeRangeSet& checked, const char*& fault)
        : View(view), Checked(checked), Fault(fault)
    {
    }

    bool Entry(const uint8_t* entry, int depth);

private:
    bool Record(uint32_t rva, int depth);
    bool Refuse(const char* fault)
    {
        Fault = fault;
        return false;
    }

    const cPeView& View;
    cPeRangeSet& Checked;
    const char*& Fault;
};

// An entry whose unwind RVA has its low bit set stands for the entry at that
// RVA, which the unwinder reads in its place.
bool cUnwindCheck::Entry(const uint8_t* entry, int depth)
{
    const uint32_t begin = Load32(entry);
    const uint32_t end = Load32(entry + 4);
    const uint32_t unwind = Load32(entry + 8);
    if (depth > kMaxChainDepth) {
        return Refuse(kBadChain);
    }
    if (end <= begin || !View.RangeInCode(begin, end - begin)) {
        return Refuse(kBadFunction);
    }
    if (!(unwind & 1)) {
        return Record(unwind, depth);
    }
    const uint8_t* primary = View.RvaToFilePointer(unwind & ~1u, kRuntimeFunctionSize);
    if (!primary) {
        return Refuse(kOutside);
    }
    Checked.Add(unwind & ~1u, kRuntimeFunctionSize);
    return Entry(primary, depth + 1);
}

bool cUnwindCheck::Record(uint32_t rva, int depth)
{
    const uint8_t* header = View.RvaToFilePointer(rva, kUnwindHeaderSize);
    if (!header) {
        return Refuse(kOutside);
    }
    const uint8_t version = header[0] & 7;
    const uint8_t flags = header[0] >> 3;
    const bool handler = flags & (kFlagExceptionHandler | kFlagTerminationHandler);
    const bool chained = flags & kFlagChainInfo;
    if ((version != 1 && version != 2) || flags > 7 || (handler && chained)) {
        return Refuse(kBadHeader);
    }
    // The codes fill an even number of slots; a handler RVA or a chained
    // entry follows them.
    const uint32_t codesSize = ((header[2] + 1u) & ~1u) * 2;
    const uint32_t tailSize = chained ? kRuntimeFunctionSize : handler ? 4 : 0;
    const uint32_t size = kUnwindHeaderSize + codesSize + tailSize;
    const uint8_t* record = View.RvaToFilePointer(rva, size);
    if (!record) {
        return Refuse(kOutside);
    }
    if (!CodesAreWellFormed(record)) {
        return Refuse(kBadCode);
    }
    Checked.Add(rva, size);
    const uint8_t* tail = record + kUnwindHeaderSize + codesSize;
    if (handler && !View.RangeInCode(Load32(tail), 1)) {
        return Refuse(kBadHandler);
    }
    return !chained || Entry(tail, depth + 1);
}

}  // namespace

void cPeRangeSet::Add(uint32_t rva, uint32_t size)
{
    if (size != 0) {
        Ranges.push_back({rva, static_cast<uint64_t>(rva) + size});
    }
}

void cPeRangeSet::Seal()
{
    std::sort(Ranges.begin(), Ranges.end());
    std::vector<std::pair<uint64_t, uint64_t>> merged;
    for (const auto& range : Ranges) {
        if (!merged.empty() && range.first <= merged.back().second) {
            merged.back().second = std::max(merged.back().second, range.second);
        } else {
            merged.push_back(range);
        }
    }
    Ranges = std::move(merged);
}

bool cPeRangeSet::Overlaps(uint64_t rva, uint64_t size) const
{
    // Sealed ranges are disjoint, so their ends ascend with their starts.
    const auto after = std::upper_bound(Ranges.begin(), Ranges.end(), rva,
                                        [](uint64_t at, const auto& range) { return at < range.second; });
    return size != 0 && after != Ranges.end() && after->first < rva + size;
}

bool CheckExceptionTable(const cPeView& view, cPeRangeSet& checked, const char*& fault)
{
    const PeDataDirectory table = view.Directory(kPeDirectoryException);
    if (table.Size == 0) {
        return true;
    }
    const uint8_t* entries = view.RvaToFilePointer(table.Rva, table.Size);
    if (!entries || table.Size % kRuntimeFunctionSize != 0) {
        fault = "the exception table lies outside the sections' data or is not whole entries";
        return false;
    }
    checked.Add(table.Rva, table.Size);
    cUnwindCheck check(view, checked, fault);
    for (uint32_t offset = 0; offset < table.Size; offset += kRuntimeFunctionSize) {
        if (!check.Entry(entries + offset, 0)) {
            return false;
        }
    }
    return true;
}

}  // namespace tavrin::launcher
