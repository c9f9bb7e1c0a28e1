// Waiting for a visible window of the game before the launcher leaves.
#include "base/strings.h"
#include "core/launcher_win.h"
#include "loader/game_launcher_win.h"

namespace tavrin::launcher {

namespace {

constexpr DWORD kStillActive = 259;
// Enumerating every window of the desktop costs a round trip per window to
// the window server; done every frame it alone kept a waiting launcher near
// 2 % of a core under Wine. A game's window is seen at most 100 ms late.
constexpr int64_t kWindowSearchPeriodNs = 100'000'000;

struct cWindowSearch {
    DWORD TargetProcessId;
    bool Found;
};

BOOL CALLBACK FindVisibleWindowOfProcess(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<cWindowSearch*>(param);
    if (!search)
        return FALSE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != 0 && owner == search->TargetProcessId && IsWindowVisible(window)) {
        search->Found = true;
        return FALSE;
    }
    return TRUE;
}

bool ProcessHasVisibleWindow(DWORD processId)
{
    cWindowSearch search{processId, false};
    EnumWindows(FindVisibleWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

}  // namespace

void AntiCheatLauncher::BeginExitPolling()
{
    if (!Launcher)
        return;
    PollStart.store(MonotonicNow());
    GameProcessHandle = Launcher->DuplicateGameProcessHandle();
    GameProcessId = Launcher->GetGameProcessId();
    PostToMainThread([this] { return PollGameWindow(); });
}

bool AntiCheatLauncher::PollGameWindow()
{
    if (!Host.Wine) {
        int64_t start = PollStart.load();
        if (start == 0)
            return true;
        const int64_t now = MonotonicNow();
        if (now - start > ExitDeferTimeNs) {
            LogPrintf(Info, "Exit defer time crossed, the bootstrapper will leave the visible state despite "
                            "the game window not being visible.");
            WindowVisibleTime.store(now);
        } else if (GameProcessHandle && GameProcessId != 0) {
            DWORD status = 0;
            BOOL read = GetExitCodeProcess(GameProcessHandle.Get(), &status);
            if (read && status == kStillActive) {
                if (!WindowSearchDue(now) || !ProcessHasVisibleWindow(GameProcessId))
                    return true;
                LogPrintf(
                    Info,
                    "The game window has become visible, the bootstrapper will leave the visible state.");
                WindowVisibleTime.store(MonotonicNow());
            } else {
                LogPrintf(Error, "Fatal error, game process handle: %p, exit code: %u.",
                          static_cast<void*>(GameProcessHandle.Get()), static_cast<unsigned>(status));
            }
        } else {
            LogPrintf(Info,
                      "Game process handle or ID have become invalidated, leaving the visible state: %p, %i.",
                      static_cast<void*>(GameProcessHandle.Get()), static_cast<int>(GameProcessId));
        }
    }
    RequestExit();
    Window.Hide();
    return false;
}

bool AntiCheatLauncher::WindowSearchDue(int64_t now)
{
    if (LastWindowSearch != 0 && now - LastWindowSearch < kWindowSearchPeriodNs)
        return false;
    LastWindowSearch = now;
    return true;
}

}  // namespace tavrin::launcher
