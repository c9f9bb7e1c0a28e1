#include "acquisition/system_names_win.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "acquisition/system_names.h"
#include "loopback_servers_win.h"

namespace tavrin::launcher {
namespace {

using namespace tavrin::launcher::testing;

std::string OwnExecutable()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return Utf16ToUtf8(path);
}

TEST(SystemNameForExecutable, UnderWineA64BitGameIsLinux64)
{
    ASSERT_TRUE(IsWine());
    const std::string name = SystemNameForExecutable(OwnExecutable());
    EXPECT_EQ(name, "linux64");
    EXPECT_EQ(ModuleFileNameForSystem(name), "tavrin_linux_x64.kzv");
}

TEST(SystemNameForExecutable, NonExecutablesGiveNoName)
{
    cScratchFolder folder("tavrin-net-names-");
    ASSERT_TRUE(WriteBytes(folder.File("text.exe"), "not a program"));
    ASSERT_TRUE(WriteBytes(folder.File("mz.exe"), std::string("MZ") + std::string(200, '\0')));
    EXPECT_EQ(SystemNameForExecutable(folder.File("text.exe")), "N/A");
    EXPECT_EQ(SystemNameForExecutable(folder.File("mz.exe")), "N/A");
    EXPECT_EQ(SystemNameForExecutable(folder.File("missing.exe")), "N/A");
    EXPECT_EQ(SystemNameForExecutable(""), "N/A");
}

TEST(SystemNameForExecutable, PathsOutsideAscii)
{
    cScratchFolder folder("tavrin-net-names-utf8-");
    const std::string copy = folder.File("J\xC3\xA9u \xE6\xB8\xB8\xE6\x88\x8F.exe");
    std::filesystem::copy_file(std::filesystem::path(Utf8ToUtf16(OwnExecutable())),
                               std::filesystem::path(Utf8ToUtf16(copy)));
    EXPECT_EQ(SystemNameForExecutable(copy), "linux64");
}

TEST(IsArm64Host, StableWithinTheProcess)
{
    const bool first = IsArm64Host();
    EXPECT_FALSE(first);  // the test machines are x86-64
    EXPECT_EQ(IsArm64Host(), first);
}

}  // namespace
}  // namespace tavrin::launcher
