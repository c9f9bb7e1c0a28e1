// BenchSdlFloor: the least an SDL program of the launcher's SDL build does
// to put a frame on the screen, and its idle cost in the launcher's 16 ms
// loop: the platform's share of the launcher's first frame and idle CPU.
//
//   BenchSdlFloor FRAME_FILE EXIT_AFTER_MS
//
// Writes the moment its first frame was presented (microseconds since 1970,
// UTC) to FRAME_FILE, then polls events and sleeps out each 16 ms frame until
// EXIT_AFTER_MS have passed or the window is closed. The window is the
// launcher's: hidden and borderless at 800x450, the software renderer, shown
// before the first present.
#include <SDL.h>

#include <cstdlib>
#include <string>

#include "bench_floor_clock_win.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 450;
constexpr uint64_t kFrameUs = 16000;

std::wstring Wide(const char* text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

// The launcher's loop: events, then a sleep rounded up to the millisecond
// for what is left of the frame.
void IdleLoop(uint64_t until)
{
    uint64_t frameEnd = FloorNowUs() + kFrameUs;
    for (;;) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT)
                return;
        }
        const uint64_t now = FloorNowUs();
        if (now >= until)
            return;
        if (now < frameEnd) {
            Sleep(static_cast<DWORD>((frameEnd - now + 999) / 1000));
            continue;
        }
        frameEnd = now + kFrameUs;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        SDL_Log("usage: BenchSdlFloor FRAME_FILE EXIT_AFTER_MS");
        return 2;
    }
    const uint64_t until = FloorNowUs() + std::strtoull(argv[2], nullptr, 10) * 1000;
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        return 1;
    SDL_Window* window = SDL_CreateWindow("Tavrin Bench Floor", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          kWidth, kHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
    if (!renderer) {
        SDL_Quit();
        return 1;
    }
    SDL_ShowWindow(window);
    SDL_SetRenderDrawColor(renderer, 24, 24, 32, 255);
    SDL_RenderClear(renderer);
    SDL_RenderPresent(renderer);
    const bool written = WriteFloorTime(Wide(argv[1]).c_str(), FloorNowUs());
    IdleLoop(until);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return written ? 0 : 1;
}
