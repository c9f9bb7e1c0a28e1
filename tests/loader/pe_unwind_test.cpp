#include "loader/pe_unwind.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "loader/pe_view.h"
#include "test_support/pe_image_builder.h"

using tavrin::launcher::cPeRangeSet;
using tavrin::launcher::cPeView;
using tavrin::launcher::CheckExceptionTable;
using tavrin::test::cPeImageBuilder;
using tavrin::test::Put32;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kCode = 0x1000;  // AddCode's 9 bytes

// Code, then .xdata with the records the callback builds at its RVA, then
// .pdata with the entries it is given.
struct UnwindImage {
    uint32_t Xdata = 0;
    Bytes Image;
    UnwindImage(const std::function<Bytes(uint32_t)>& records,
                const std::function<std::vector<std::array<uint32_t, 3>>(uint32_t)>& entries)
    {
        cPeImageBuilder b;
        b.AddCode();
        Xdata = b.NextRva();
        b.AddSection(".xdata", cPeImageBuilder::kRdata, records(Xdata));
        b.AddFunctionTable(entries(Xdata));
        Image = b.Build();
    }
};

bool Check(const UnwindImage& image, cPeRangeSet& checked, std::string& fault)
{
    auto view = cPeView::Open(image.Image.data(), image.Image.size());
    const char* why = nullptr;
    const bool ok = view && view->Validate() && CheckExceptionTable(*view, checked, why);
    fault = why ? why : "";
    return ok;
}

TEST(PeRangeSet, MergesWhatWasAddedAndFindsOverlaps)
{
    cPeRangeSet set;
    set.Add(0x3000, 0x10);
    set.Add(0x1000, 0x10);
    set.Add(0x1008, 0x10);  // merges with the one before
    set.Add(0x2000, 0);     // empty: nothing
    set.Seal();
    EXPECT_TRUE(set.Overlaps(0x1017, 1));
    EXPECT_FALSE(set.Overlaps(0x1018, 8));
    EXPECT_TRUE(set.Overlaps(0xFF8, 9));
    EXPECT_FALSE(set.Overlaps(0xFF8, 8));
    EXPECT_FALSE(set.Overlaps(0x2000, 1));
    EXPECT_TRUE(set.Overlaps(0x2FFC, 8));
    EXPECT_FALSE(set.Overlaps(0x3010, 0xFFFF));
    EXPECT_FALSE(set.Overlaps(0x1000, 0));
}

TEST(PeUnwind, AcceptsWellFormedRecordsAndKeepsEveryByteTheUnwinderReads)
{
    // Two codes and a handler in the code; a chained record; an entry that
    // stands for another one (unwind RVA with its low bit set).
    const UnwindImage image(
        [](uint32_t) {
            Bytes r{0x09, 4, 2, 0, 0x04, 0x32, 0x01, 0x50};
            Put32(r, 8, kCode + 6);
            Put32(r, 12, 0);
            Bytes chained{0x21, 0, 0, 0};
            Put32(chained, 4, kCode);
            Put32(chained, 8, kCode + 6);
            Put32(chained, 12, 0x2000);
            r.insert(r.end(), chained.begin(), chained.end());
            return r;
        },
        [](uint32_t x) {
            return std::vector<std::array<uint32_t, 3>>{
                {kCode, kCode + 6, x}, {kCode + 6, kCode + 8, x + 16}, {kCode + 8, kCode + 9, 0x3000 | 1}};
        });
    cPeRangeSet checked;
    std::string fault;
    ASSERT_TRUE(Check(image, checked, fault)) << fault;
    checked.Seal();
    EXPECT_TRUE(checked.Overlaps(image.Xdata + 8, 4));    // the handler RVA
    EXPECT_TRUE(checked.Overlaps(image.Xdata + 31, 1));   // the chained entry's last byte
    EXPECT_FALSE(checked.Overlaps(image.Xdata + 12, 4));  // handler data is the handler's own
    EXPECT_TRUE(checked.Overlaps(0x3000 + 35, 1));        // the function table
}

struct UnwindCase {
    const char* Name;
    Bytes Record;  // at .xdata, for the whole of the code
    const char* Fault;
};

class PeUnwindRefuses : public testing::TestWithParam<UnwindCase> {};

TEST_P(PeUnwindRefuses, MalformedRecord)
{
    const UnwindImage image([](uint32_t) { return GetParam().Record; },
                            [](uint32_t x) { return std::vector<std::array<uint32_t, 3>>{{kCode, kCode + 9, x}}; });
    cPeRangeSet checked;
    std::string fault;
    EXPECT_FALSE(Check(image, checked, fault));
    EXPECT_NE(fault.find(GetParam().Fault), std::string::npos) << fault;
}

Bytes Chained(uint32_t begin, uint32_t end, uint32_t unwind)
{
    Bytes r{0x21, 0, 0, 0};
    Put32(r, 4, begin);
    Put32(r, 8, end);
    Put32(r, 12, unwind);
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PeUnwindRefuses,
    testing::Values(UnwindCase{"Version0", {0x00, 0, 0, 0}, "unknown version or flags"},
                    UnwindCase{"HandlerAndChain", {0x29, 0, 0, 0, 0, 0x10, 0, 0}, "unknown version or flags"},
                    UnwindCase{"CodesPastTheSection", {0x01, 0, 3, 0, 0, 0}, "outside the sections' data"},
                    UnwindCase{"SaveNonvolatileCutShort", {0x01, 0, 1, 0, 0, 0x04, 0, 0}, "malformed unwind code"},
                    UnwindCase{"AllocLargeFarCutShort", {0x01, 0, 2, 0, 0, 0x11, 0, 0}, "malformed unwind code"},
                    UnwindCase{"EpilogInVersion1", {0x01, 0, 2, 0, 0, 0x06, 0, 0}, "malformed unwind code"},
                    UnwindCase{"MachineFrameWithBadInfo", {0x01, 0, 1, 0, 0, 0x2A, 0, 0}, "malformed unwind code"},
                    UnwindCase{"HandlerInData", {0x11, 0, 0, 0, 0x00, 0x20, 0, 0}, "handler lies outside"},
                    UnwindCase{"ChainedFunctionInData", Chained(0x2000, 0x2004, 0x2000), "function entry lies"},
                    UnwindCase{"ChainedRecordOutside", Chained(kCode, kCode + 1, 0x7000), "outside the sections"},
                    UnwindCase{"ChainToItself", Chained(kCode, kCode + 1, 0x2000), "too long or loops"}),
    [](const testing::TestParamInfo<UnwindCase>& info) { return info.param.Name; });

TEST(PeUnwind, RefusesATableOfPartialEntriesOrOutsideTheFile)
{
    UnwindImage image([](uint32_t) { return Bytes{0x01, 0, 0, 0}; },
                      [](uint32_t x) { return std::vector<std::array<uint32_t, 3>>{{kCode, kCode + 9, x}}; });
    cPeRangeSet checked;
    std::string fault;
    ASSERT_TRUE(Check(image, checked, fault)) << fault;
    Put32(image.Image, tavrin::test::kPeDirectories + 3 * 8 + 4, 8);
    EXPECT_FALSE(Check(image, checked, fault));
    Put32(image.Image, tavrin::test::kPeDirectories + 3 * 8 + 4, 0x2000);
    EXPECT_FALSE(Check(image, checked, fault));
    EXPECT_NE(fault.find("exception table"), std::string::npos);
}

}  // namespace
