// A picture of what a window shows, as a 24-bit BMP file, for the screens a
// test wants a person to look at.
#pragma once

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace tavrin::test {

inline bool SaveWindowPicture(HWND window, const std::filesystem::path& path)
{
    RECT client{};
    if (!window || !GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) {
        return false;
    }
    const int width = client.right;
    const int height = client.bottom;
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const BOOL copied = BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * height);
    const int lines = GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
                                DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, source);
    if (!copied || lines != height) {
        return false;
    }

    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(header) + sizeof(info);
    header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(&header, sizeof(header), 1, file) == 1 &&
                         std::fwrite(&info, sizeof(info), 1, file) == 1 &&
                         std::fwrite(pixels.data(), 1, pixels.size(), file) == pixels.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace tavrin::test
