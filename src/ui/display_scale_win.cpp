#include "ui/display_scale_win.h"

#include <windows.h>

#include <SDL_syswm.h>

#include <cmath>

#include "ui/scale.h"

namespace tavrin::launcher {

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

// Windows 10 1607 and later; the launcher also starts on older systems.
GetDpiForWindowFunction FindGetDpiForWindow()
{
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr)
        return nullptr;
    return reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
}

HWND NativeHandle(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info))
        return nullptr;
    return info.info.win.window;
}

// Older systems: the DPI of the display SDL finds the window on.
int32_t DisplayDpi(SDL_Window* window)
{
    const int display = SDL_GetWindowDisplayIndex(window);
    float horizontal = 0;
    if (display < 0 || SDL_GetDisplayDPI(display, nullptr, &horizontal, nullptr) != 0 ||
        !std::isfinite(horizontal) || horizontal < 1 || horizontal > 10 * kMaximumDpi)
        return kBaseDpi;
    return static_cast<int32_t>(std::lround(horizontal));
}

}  // namespace

int32_t ReadWindowDpi(SDL_Window* window)
{
    if (window == nullptr)
        return kBaseDpi;
    static const GetDpiForWindowFunction getDpiForWindow = FindGetDpiForWindow();
    HWND handle = NativeHandle(window);
    if (getDpiForWindow != nullptr && handle != nullptr) {
        const UINT dpi = getDpiForWindow(handle);
        if (dpi != 0 && dpi <= static_cast<UINT>(10 * kMaximumDpi))
            return static_cast<int32_t>(dpi);
    }
    return DisplayDpi(window);
}

}  // namespace tavrin::launcher
