// Helpers of the Windows UI asset, icon and input tests: a temporary folder,
// file writing, SDL/TTF set-up and a log capture.
#pragma once

#include <windows.h>

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "logging/logger.h"
#include "settings/files_win.h"

namespace tavrin::launcher::test {

inline bool WriteFileBytes(const std::string& path, const void* data, size_t size) {
    HANDLE file = CreateFileW(Utf8ToUtf16(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) &&
                    written == size;
    CloseHandle(file);
    return ok;
}

inline bool WriteFileText(const std::string& path, const std::string& text) {
    return WriteFileBytes(path, text.data(), text.size());
}

// A fresh folder under the temporary directory (UTF-8 path with a trailing
// backslash), removed with everything in it.
class cTempFolder {
public:
    cTempFolder() {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        static int counter = 0;
        Path = Utf16ToUtf8(base) + "tavrin_ui_" + std::to_string(GetCurrentProcessId()) + "_" +
               std::to_string(++counter) + "\\";
        CreateDirectoryW(Utf8ToUtf16(Path).c_str(), nullptr);
    }
    ~cTempFolder() { RemoveTree(Utf8ToUtf16(Path)); }
    cTempFolder(const cTempFolder&) = delete;
    cTempFolder& operator=(const cTempFolder&) = delete;

    std::string MakeFolder(const std::string& name) const {
        CreateDirectoryW(Utf8ToUtf16(Path + name).c_str(), nullptr);
        return Path + name + "\\";
    }

    std::string Path;

private:
    static void RemoveTree(const std::wstring& folder) {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") {
                    continue;
                }
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(folder + name + L"\\");
                } else {
                    DeleteFileW((folder + name).c_str());
                }
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        RemoveDirectoryW(folder.c_str());
    }
};

// SDL_image and SDL_ttf, and a software renderer drawing into a memory surface.
class cSoftwareCanvas {
public:
    cSoftwareCanvas(int width = 800, int height = 450) {
        IMG_Init(IMG_INIT_PNG);
        TTF_Init();
        Surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
        Renderer = Surface != nullptr ? SDL_CreateSoftwareRenderer(Surface) : nullptr;
    }
    ~cSoftwareCanvas() {
        if (Renderer != nullptr) SDL_DestroyRenderer(Renderer);
        if (Surface != nullptr) SDL_FreeSurface(Surface);
        TTF_Quit();
        IMG_Quit();
    }
    cSoftwareCanvas(const cSoftwareCanvas&) = delete;
    cSoftwareCanvas& operator=(const cSoftwareCanvas&) = delete;

    // The colour at (x, y) after the last draw, as 0xAARRGGBB.
    uint32_t Pixel(int x, int y) const {
        const auto* row = static_cast<const uint8_t*>(Surface->pixels) + y * Surface->pitch;
        return reinterpret_cast<const uint32_t*>(row)[x];
    }

    SDL_Surface* Surface = nullptr;
    SDL_Renderer* Renderer = nullptr;
};

// Collects every logged line (threshold VeryVerbose) while it lives.
class cLogCapture {
public:
    cLogCapture() {
        Current() = this;
        Logger.InstallSink(&cLogCapture::Collect, VeryVerbose);
        Logger.Worker.Start();
        gLogger = &Logger;
    }
    ~cLogCapture() {
        Logger.Worker.Drain();
        gLogger = nullptr;
        Current() = nullptr;
    }
    cLogCapture(const cLogCapture&) = delete;
    cLogCapture& operator=(const cLogCapture&) = delete;

    std::vector<std::string> Lines() {
        // Lines are written on the logger's thread; wait (bounded) until it caught up.
        for (int i = 0; i < 2000 && Logger.Worker.ExecutedCount() < Logger.Worker.PostedCount(); ++i) {
            Sleep(1);
        }
        std::lock_guard<std::mutex> guard(Lock);
        return Collected;
    }

    // Number of lines containing text.
    size_t Count(const std::string& text) {
        size_t count = 0;
        for (const std::string& line : Lines()) {
            if (line.find(text) != std::string::npos) ++count;
        }
        return count;
    }

private:
    static cLogCapture*& Current() {
        static cLogCapture* current = nullptr;
        return current;
    }
    static void Collect(uint32_t, const char* line) {
        cLogCapture* self = Current();
        if (self != nullptr) {
            std::lock_guard<std::mutex> guard(self->Lock);
            self->Collected.emplace_back(line);
        }
    }

    cLogger Logger;
    std::mutex Lock;
    std::vector<std::string> Collected;
};

}  // namespace tavrin::launcher::test
