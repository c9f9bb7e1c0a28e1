// Choosing the splash window's icons from real files: the custom icon file,
// the game executable's icon, or none (the launcher's own stays).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/assets_support_win.h"
#include "ui/icon_win.h"

#include <shellapi.h>

#include <SDL_syswm.h>

namespace tavrin::launcher {
namespace {

using tavrin::test::cCapturedLog;
using tavrin::test::cScratchFolder;

#pragma pack(push, 2)
struct GroupIconEntry {  // one image of an icon group resource
    BYTE Width, Height, ColorCount, Reserved;
    WORD Planes, BitCount;
    DWORD BytesInRes;
    WORD Id;
};
#pragma pack(pop)

// Rebuilds the ".ico" file of this program's APP_ICON group from its resources.
std::string EmbeddedIconFile()
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC group = FindResourceW(module, L"APP_ICON", MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    if (group == nullptr)
        return {};
    const auto* header = static_cast<const WORD*>(LockResource(LoadResource(module, group)));
    const WORD count = header[2];
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 3);
    std::string file(6 + 16 * count, '\0');
    memcpy(file.data(), header, 6);
    for (WORD i = 0; i < count; ++i) {
        HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(entries[i].Id), MAKEINTRESOURCEW(3));  // RT_ICON
        const DWORD size = SizeofResource(module, image);
        const DWORD offset = static_cast<DWORD>(file.size());
        char* entry = file.data() + 6 + 16 * i;
        memcpy(entry, &entries[i], 12);
        memcpy(entry + 12, &offset, 4);
        file.append(static_cast<const char*>(LockResource(LoadResource(module, image))), size);
    }
    return file;
}

std::string OwnExecutablePath()
{
    std::string path;
    EXPECT_TRUE(GetModulePath(path));
    return path;
}

int IconWidth(HICON icon)
{
    ICONINFO info{};
    if (!GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor != nullptr)
        DeleteObject(info.hbmColor);
    if (info.hbmMask != nullptr)
        DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

class IconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string icon = EmbeddedIconFile();
        ASSERT_GT(icon.size(), 6u + 7 * 16);
        CustomIcon = Folder.MakeFolder("Tavrin") + "BootstrapperIcon.ico";
        ASSERT_TRUE(tavrin::test::WriteBytes(CustomIcon, icon));
        NoIcon = Folder.Utf8() + "Missing\\BootstrapperIcon.ico";
        NoIconGame = Folder.Utf8() + "game.exe";
        ASSERT_TRUE(tavrin::test::WriteBytes(NoIconGame, "not a program"));
    }

    cScratchFolder Folder{L"tavrin_ui_"};
    cCapturedLog Log;
    std::string CustomIcon;
    std::string NoIcon;
    std::string NoIconGame;
};

TEST(AppIcon, GroupHoldsSevenSizesIn32BitColour)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC group = FindResourceW(module, L"APP_ICON", MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    const auto* header = static_cast<const WORD*>(LockResource(LoadResource(module, group)));
    ASSERT_EQ(header[2], 7);
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 3);
    const int sizes[] = {256, 128, 96, 48, 32, 24, 16};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(entries[i].Width == 0 ? 256 : entries[i].Width, sizes[i]) << i;
        EXPECT_EQ(entries[i].BitCount, 32) << i;
    }
    // The only icon group, so the first icon: the one the window class takes.
    EXPECT_EQ(ExtractIconExW(Utf8ToUtf16(OwnExecutablePath()).c_str(), -1, nullptr, nullptr, 0), 1u);
}

TEST_F(IconTest, CustomIconFileComesFirstAtTheSystemSizes)
{
    cIconMap icons;
    EXPECT_EQ(ChooseWindowIcons(CustomIcon, OwnExecutablePath(), icons), IconSource::Custom);
    ASSERT_NE(icons.Get(SmallIconKey), nullptr);
    ASSERT_NE(icons.Get(LargeIconKey), nullptr);
    EXPECT_EQ(IconWidth(icons.Get(SmallIconKey)), GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(IconWidth(icons.Get(LargeIconKey)), GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(Log.Count("Will use the custom icon loaded off the disk."), 1u);
    EXPECT_EQ(Log.Count("extract"), 0u);
}

TEST_F(IconTest, GameExecutableIconWithoutCustomFile)
{
    // This test program carries the launcher's icon group, like a game with icons.
    cIconMap icons;
    EXPECT_EQ(ChooseWindowIcons(NoIcon, OwnExecutablePath(), icons), IconSource::GameExecutable);
    EXPECT_NE(icons.Get(SmallIconKey), nullptr);
    EXPECT_NE(icons.Get(LargeIconKey), nullptr);
    EXPECT_EQ(Log.Count("Failed to load a custom icon off the disk."), 1u);
    EXPECT_EQ(Log.Count("Will use the icon extracted from the game executable."), 1u);
}

TEST_F(IconTest, RelativeExecutableIsResolvedAgainstTheCurrentDirectory)
{
    const std::string exe = OwnExecutablePath();
    const size_t slash = exe.rfind('\\');
    ASSERT_NE(slash, std::string::npos);
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(Utf8ToUtf16(exe.substr(0, slash)).c_str()));
    cIconMap icons;
    const IconSource source = ChooseWindowIcons(NoIcon, exe.substr(slash + 1), icons);
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(source, IconSource::GameExecutable);
}

TEST_F(IconTest, NeitherSourceKeepsTheLauncherIcon)
{
    for (const std::string& game : {NoIconGame, Folder.Utf8() + "absent.exe", std::string()}) {
        SCOPED_TRACE(game);
        const size_t errors = Log.Count("[Err!]");
        cIconMap icons;
        EXPECT_EQ(ChooseWindowIcons(NoIcon, game, icons), IconSource::Embedded);
        EXPECT_EQ(icons.Get(LargeIconKey), nullptr);
        EXPECT_EQ(Log.Count("[Err!]"), errors + 1);
    }
    EXPECT_EQ(Log.Count("Failed to extract the game executable's own icon, defaulting to using the "
                        "embedded one."),
              3u);
}

TEST_F(IconTest, WindowGetsTheSmallAndTheLargeIcon)
{
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("icon", 0, 0, 80, 45, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    {
        cIconMap icons;
        SetWindowIcon(window, CustomIcon, NoIconGame, icons);
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        ASSERT_TRUE(SDL_GetWindowWMInfo(window, &info));
        HWND handle = info.info.win.window;
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(handle, WM_GETICON, ICON_SMALL, 0)),
                  icons.Get(SmallIconKey));
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(handle, WM_GETICON, ICON_BIG, 0)),
                  icons.Get(LargeIconKey));
        EXPECT_EQ(Log.Count("Sent messages to the bootstrapper window for setting the icon."), 1u);
    }
    SDL_DestroyWindow(window);
    SDL_Quit();
}

TEST_F(IconTest, NoWindowIsLoggedAndNothingIsSent)
{
    cIconMap icons;
    SetWindowIcon(nullptr, CustomIcon, NoIconGame, icons);
    EXPECT_NE(icons.Get(LargeIconKey), nullptr);
    EXPECT_EQ(Log.Count("Couldn't get the window handle."), 1u);
}

TEST_F(IconTest, ReplacingAnIconDestroysTheOldOne)
{
    cIconMap icons;
    ASSERT_TRUE(LoadCustomIcon(CustomIcon, icons));
    HICON old = icons.Get(SmallIconKey);
    ASSERT_GT(IconWidth(old), 0);
    HICON copy = CopyIcon(old);
    icons.Set(SmallIconKey, copy);
    EXPECT_EQ(icons.Get(SmallIconKey), copy);
    EXPECT_EQ(IconWidth(old), 0);
    icons.Clear();
    EXPECT_EQ(IconWidth(copy), 0);
    EXPECT_FALSE(icons.Has(SmallIconKey));
}

}  // namespace
}  // namespace tavrin::launcher
