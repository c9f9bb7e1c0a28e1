#include "ui/icon_win.h"

#include <shellapi.h>

#include <SDL_syswm.h>

#include "base/files_win.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

HICON LoadIconFile(const std::wstring& path, int width, int height)
{
    return static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, width, height,
                                         LR_DEFAULTSIZE | LR_LOADTRANSPARENT | LR_LOADFROMFILE));
}

bool ExtractExecutableIcons(const std::string& executable, cIconMap& icons)
{
    HICON large = nullptr;
    HICON small = nullptr;
    const UINT extracted = ExtractIconExW(Utf8ToUtf16(executable).c_str(), 0, &large, &small, 1);
    if (extracted == 0 || extracted == UINT_MAX || large == nullptr || small == nullptr) {
        // One of the two may have come back alone; it is not used.
        if (large != nullptr)
            DestroyIcon(large);
        if (small != nullptr)
            DestroyIcon(small);
        return false;
    }
    icons.Set(SmallIconKey, small);
    icons.Set(LargeIconKey, large);
    return true;
}

HWND GetNativeWindow(SDL_Window* window)
{
    if (window == nullptr) {
        return nullptr;
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info)) {
        return nullptr;
    }
    return info.info.win.window;
}

}  // namespace

cIconMap::~cIconMap() { Clear(); }

void cIconMap::Set(int32_t key, HICON icon)
{
    auto found = Icons.find(key);
    if (found != Icons.end() && found->second != nullptr && found->second != icon) {
        DestroyIcon(found->second);
    }
    Icons[key] = icon;
}

HICON cIconMap::Get(int32_t key) const
{
    auto found = Icons.find(key);
    return found != Icons.end() ? found->second : nullptr;
}

bool cIconMap::Has(int32_t key) const { return Icons.find(key) != Icons.end(); }

void cIconMap::Clear()
{
    for (auto& entry : Icons) {
        if (entry.second != nullptr) {
            DestroyIcon(entry.second);
        }
    }
    Icons.clear();
}

bool LoadCustomIcon(const std::string& iconPath, cIconMap& icons)
{
    const std::wstring path = Utf8ToUtf16(iconPath);
    const int smallWidth = GetSystemMetrics(SM_CXSMICON);
    const int smallHeight = GetSystemMetrics(SM_CYSMICON);
    const int largeWidth = GetSystemMetrics(SM_CXICON);
    const int largeHeight = GetSystemMetrics(SM_CYICON);
    LogPrintf(Verbose,
              "Loading the icon off the disk, small icon will be %ldx%ld pixels and large will be "
              "%ldx%ld pixels.",
              static_cast<long>(smallWidth), static_cast<long>(smallHeight), static_cast<long>(largeWidth),
              static_cast<long>(largeHeight));
    icons.Set(SmallIconKey, LoadIconFile(path, smallWidth, smallHeight));
    if (icons.Get(SmallIconKey) == nullptr) {
        LogPrintf(Verbose, "Failed to load a custom icon off the disk.");
        return false;
    }
    icons.Set(LargeIconKey, LoadIconFile(path, largeWidth, largeHeight));
    if (icons.Get(LargeIconKey) == nullptr) {
        LogPrintf(Verbose, "Failed to load a custom icon off the disk.");
        return false;
    }
    LogPrintf(Info, "Will use the custom icon loaded off the disk.");
    return true;
}

IconSource ChooseWindowIcons(const std::string& iconPath, const std::string& executable, cIconMap& icons)
{
    if (LoadCustomIcon(iconPath, icons)) {
        return IconSource::Custom;
    }
    LogPrintf(Verbose, "Failed to load the custom icon from disk, attempting to extract the game "
                       "executable's own icon.");
    if (!ExtractExecutableIcons(executable, icons)) {
        LogPrintf(Error, "Failed to extract the game executable's own icon, defaulting to using the "
                         "embedded one.");
        return IconSource::Embedded;
    }
    LogPrintf(Info, "Will use the icon extracted from the game executable.");
    return IconSource::GameExecutable;
}

void SetWindowIcon(SDL_Window* window, const std::string& iconPath, const std::string& executable,
                   cIconMap& icons)
{
    if (ChooseWindowIcons(iconPath, executable, icons) == IconSource::Embedded) {
        return;
    }
    HWND handle = GetNativeWindow(window);
    if (handle == nullptr) {
        LogPrintf(Verbose, "Couldn't get the window handle.");
        return;
    }
    SendMessageW(handle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons.Get(SmallIconKey)));
    SendMessageW(handle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons.Get(LargeIconKey)));
    LogPrintf(Verbose, "Sent messages to the bootstrapper window for setting the icon.");
}

}  // namespace tavrin::launcher
