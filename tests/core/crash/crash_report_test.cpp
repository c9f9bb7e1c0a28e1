// The crash line's text in fixed buffers (cut, never overrun) and the list
// of images the launcher maps itself.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/crash_report.h"
#include "loader/image_ranges.h"

using namespace tavrin::launcher;

namespace {

std::string Message(const CrashFacts& facts, size_t capacity = 512)
{
    std::vector<char> buffer(capacity, '#');
    const size_t length = FormatCrashMessage(buffer.data(), buffer.size(), facts);
    EXPECT_EQ(std::strlen(buffer.data()), length);
    return buffer.data();
}

TEST(CrashReport, MessageNamesCodeAddressModuleOffsetThreadAndAccess)
{
    CrashFacts facts;
    facts.Code = 0xC0000005;
    facts.Address = 0x7F0012345678;
    facts.Module = "anti-cheat module";
    facts.Offset = 0x1A2B;
    facts.ThreadId = 4242;
    facts.HasAccess = true;
    facts.AccessKind = 1;
    facts.AccessAddress = 0;
    EXPECT_EQ(Message(facts), "Unhandled exception 0xC0000005 at 0x00007F0012345678 in anti-cheat module+0x1A2B "
                              "on thread 4242 (writing 0x0000000000000000).");

    struct Case {
        uint64_t Kind;
        const char* Verb;
    };
    for (const Case& c : {Case{0, "reading"}, Case{8, "executing"}, Case{5, "accessing"}}) {
        facts.AccessKind = c.Kind;
        EXPECT_NE(Message(facts).find(std::string("(") + c.Verb + " 0x0000000000000000)"), std::string::npos);
    }

    CrashFacts bare;
    bare.Code = 0x80000003;
    bare.Address = 0x10;
    EXPECT_EQ(Message(bare), "Unhandled exception 0x80000003 at 0x0000000000000010 in an unknown module on thread 0.");
}

TEST(CrashReport, EveryCutStaysInsideTheBufferAndTerminated)
{
    CrashFacts facts;
    facts.Code = 0xC0000005;
    facts.Module = "ntdll.dll";
    const std::string full = Message(facts);
    for (size_t capacity = 1; capacity <= full.size() + 1; ++capacity) {
        std::vector<char> buffer(capacity + 4, '#');
        const size_t length = FormatCrashMessage(buffer.data(), capacity, facts);
        ASSERT_EQ(length, std::min(full.size(), capacity - 1));
        EXPECT_EQ(std::string(buffer.data()), full.substr(0, length));
        EXPECT_EQ(std::string(buffer.data() + capacity, 4), "####");
    }
    EXPECT_EQ(FormatCrashMessage(nullptr, 0, facts), 0u);
}

TEST(CrashReport, LogLineMatchesTheLoggersLinesAndKeepsItsLineBreak)
{
    char line[128];
    const size_t length = FormatCrashLogLine(line, sizeof line, 3, 4, 5, 67, "Boom.");
    EXPECT_EQ(std::string(line, length), "[03:04:05:067] [Windows] [KZV Bootstrapper] [Err!] Boom.\r\n");

    // A message too long for the line is cut before the line break.
    const std::string longMessage(200, 'x');
    const size_t cut = FormatCrashLogLine(line, sizeof line, 23, 59, 59, 999, longMessage.c_str());
    EXPECT_EQ(cut, sizeof line - 1);
    EXPECT_EQ(std::strlen(line), cut);
    EXPECT_EQ(std::string(line + cut - 2), "\r\n");
    EXPECT_EQ(std::string(line, 15), "[23:59:59:999] ");
}

TEST(CrashReport, DumpNameCarriesTheTimeOrNothingWhenItDoesNotFit)
{
    char name[64];
    ASSERT_NE(FormatCrashDumpName(name, sizeof name, 2026, 12, 1, 4, 5, 6), 0u);
    EXPECT_STREQ(name, "anticheatlauncher-crash-2026.12.01-04.05.06.dmp");
    char small[20];
    EXPECT_EQ(FormatCrashDumpName(small, sizeof small, 2026, 12, 1, 4, 5, 6), 0u);
}

TEST(ImageRanges, FindsTheRangeHoldingAnAddressUntilItIsUnregistered)
{
    alignas(16) static char imageA[256];
    alignas(16) static char imageB[64];
    ASSERT_TRUE(RegisterImageRange(imageA, sizeof imageA, "image a"));
    ASSERT_TRUE(RegisterImageRange(imageB, sizeof imageB, "image b"));

    ImageRange found;
    ASSERT_TRUE(FindImageRange(reinterpret_cast<uintptr_t>(imageA), found));
    EXPECT_STREQ(found.Name, "image a");
    ASSERT_TRUE(FindImageRange(reinterpret_cast<uintptr_t>(imageA + 255), found));
    EXPECT_EQ(found.Base, reinterpret_cast<uintptr_t>(imageA));
    ASSERT_TRUE(FindImageRange(reinterpret_cast<uintptr_t>(imageB + 10), found));
    EXPECT_STREQ(found.Name, "image b");
    // One past the end belongs to no image.
    EXPECT_FALSE(FindImageRange(reinterpret_cast<uintptr_t>(imageB) + sizeof imageB, found) &&
                 std::strcmp(found.Name, "image b") == 0);

    UnregisterImageRange(imageA);
    EXPECT_FALSE(FindImageRange(reinterpret_cast<uintptr_t>(imageA + 1), found));
    UnregisterImageRange(imageB);
    EXPECT_FALSE(FindImageRange(reinterpret_cast<uintptr_t>(imageB + 1), found));
}

TEST(ImageRanges, RefusesEmptyAndWrappingRangesAndAFullList)
{
    static char image[kMaxImageRanges + 1];
    EXPECT_FALSE(RegisterImageRange(nullptr, 16, "null"));
    EXPECT_FALSE(RegisterImageRange(image, 0, "empty"));
    EXPECT_FALSE(RegisterImageRange(reinterpret_cast<void*>(UINTPTR_MAX - 3), 16, "wraps"));
    for (size_t i = 0; i < kMaxImageRanges; ++i) {
        EXPECT_TRUE(RegisterImageRange(image + i, 1, "slot"));
    }
    EXPECT_FALSE(RegisterImageRange(image + kMaxImageRanges, 1, "one too many"));
    for (size_t i = 0; i < kMaxImageRanges; ++i) {
        UnregisterImageRange(image + i);
    }
    EXPECT_TRUE(RegisterImageRange(image + kMaxImageRanges, 1, "room again"));
    UnregisterImageRange(image + kMaxImageRanges);
}

// A lookup running while others register and unregister only ever sees a
// whole range (ThreadSanitizer checks the rest).
TEST(ImageRanges, LookupsDuringChangesSeeWholeRanges)
{
    static char stable[128];
    static char changing[32];
    ASSERT_TRUE(RegisterImageRange(stable, sizeof stable, "stable"));
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        for (int i = 0; i < 2000 && !stop.load(); ++i) {
            RegisterImageRange(changing, sizeof changing, "changing");
            UnregisterImageRange(changing);
        }
    });
    for (int i = 0; i < 2000; ++i) {
        ImageRange found;
        ASSERT_TRUE(FindImageRange(reinterpret_cast<uintptr_t>(stable + 64), found));
        ASSERT_STREQ(found.Name, "stable");
        if (FindImageRange(reinterpret_cast<uintptr_t>(changing + 3), found)) {
            ASSERT_STREQ(found.Name, "changing");
            ASSERT_EQ(found.Size, sizeof changing);
        }
    }
    stop.store(true);
    churn.join();
    UnregisterImageRange(stable);
}

}  // namespace
