// The helper page is placed at the first free fixed address above
// 0x700000000000 and holds the system-call stub; with every address taken
// there is none.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <vector>

#include "loader/wine_helper_page_win.h"

using namespace tavrin::launcher;

namespace {

constexpr uintptr_t kFirst = 0x700100000000;
constexpr uintptr_t kStep = 0x100000000;

void* Reserve(uintptr_t address)
{
    return VirtualAlloc(reinterpret_cast<void*>(address), 4096, MEM_RESERVE, PAGE_NOACCESS);
}

}  // namespace

TEST(WineHelperPage, TakesTheFirstFreeFixedAddress)
{
    ReleaseWineHelperPage();
    void* taken = Reserve(kFirst);  // the first address is in use
    ASSERT_NE(taken, nullptr);
    ASSERT_TRUE(PlaceWineHelperPage());
    EXPECT_EQ(reinterpret_cast<uintptr_t>(WineHelperPage()), kFirst + kStep);
    const uint8_t* stub = static_cast<const uint8_t*>(WineHelperPage());
    EXPECT_EQ(stub[0], 0x57);  // push rdi
    MEMORY_BASIC_INFORMATION info{};
    ASSERT_NE(VirtualQuery(WineHelperPage(), &info, sizeof(info)), 0u);
    EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));  // never writable once filled
    EXPECT_TRUE(PlaceWineHelperPage());                              // placed once; a second call keeps it
    EXPECT_EQ(reinterpret_cast<uintptr_t>(WineHelperPage()), kFirst + kStep);
    ReleaseWineHelperPage();
    EXPECT_EQ(WineHelperPage(), nullptr);
    VirtualFree(taken, 0, MEM_RELEASE);
}

TEST(WineHelperPage, FailsWhenEveryAddressIsTaken)
{
    ReleaseWineHelperPage();
    std::vector<void*> taken;
    for (int i = 0; i < 10; ++i) {
        void* page = Reserve(kFirst + static_cast<uintptr_t>(i) * kStep);
        ASSERT_NE(page, nullptr);
        taken.push_back(page);
    }
    EXPECT_FALSE(PlaceWineHelperPage());
    EXPECT_EQ(WineHelperPage(), nullptr);
    for (void* page : taken)
        VirtualFree(page, 0, MEM_RELEASE);
}
