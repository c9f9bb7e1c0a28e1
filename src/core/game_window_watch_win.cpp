#include "core/game_window_watch_win.h"

#include <windows.h>

#include "base/strings.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

constexpr DWORD kStillActive = 259;

struct cWindowSearch {
    DWORD TargetProcessId;
    cForeignWindows* Foreign;
    bool Found;
};

BOOL CALLBACK FindVisibleWindowOfProcess(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<cWindowSearch*>(param);
    if (!search)
        return FALSE;
    const auto key = reinterpret_cast<uintptr_t>(window);
    if (search->Foreign->Known(key))
        return TRUE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == 0)
        return TRUE;
    if (owner != search->TargetProcessId) {
        search->Foreign->Remember(key);
        return TRUE;
    }
    if (IsWindowVisible(window)) {
        search->Found = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool cProcessExitSignal::Watch(HANDLE process)
{
    Stop();
    HANDLE wait = nullptr;
    if (!process || !RegisterWaitForSingleObject(&wait, process, OnEnded, this, INFINITE,
                                                 WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD))
        return false;
    Registration = wait;
    return true;
}

void cProcessExitSignal::Stop()
{
    if (Registration) {
        UnregisterWaitEx(Registration, INVALID_HANDLE_VALUE);
        Registration = nullptr;
    }
    Signalled.store(false);
}

void CALLBACK cProcessExitSignal::OnEnded(void* context, BOOLEAN)
{
    static_cast<cProcessExitSignal*>(context)->Signalled.store(true);
}

void cGameWindowWatch::Begin(cProcessHandle process, uint32_t processId, int64_t nowNs)
{
    Exit.Stop();
    ExitWatchTried = false;
    Foreign = cForeignWindows();
    Wait.Begin(nowNs);
    Process = std::move(process);
    ProcessId = processId;
}

bool cGameWindowWatch::Poll(int64_t nowNs)
{
    if (!Wait.Begun())
        return true;
    if (Wait.DeferCrossed(nowNs)) {
        LogPrintf(Info, "Exit defer time crossed, the bootstrapper will leave the visible state despite "
                        "the game window not being visible.");
        Wait.End(nowNs);
        return false;
    }
    if (!Process || ProcessId == 0) {
        LogPrintf(Info,
                  "Game process handle or ID have become invalidated, leaving the visible state: %p, %i.",
                  static_cast<void*>(Process.Get()), static_cast<int>(ProcessId));
        return false;
    }
    if (GameGone())
        return false;
    if (!Wait.SearchDue(nowNs) || !GameHasVisibleWindow())
        return true;
    LogPrintf(Info, "The game window has become visible, the bootstrapper will leave the visible state.");
    Wait.End(MonotonicNow());
    return false;
}

// Each read of the exit status is a request to the system, every frame; it
// is made only until a pool thread waits for the game, and again once that
// thread saw the game end.
bool cGameWindowWatch::GameGone()
{
    if (Exit.Watching() && !Exit.Ended())
        return false;
    DWORD status = 0;
    BOOL read = GetExitCodeProcess(Process.Get(), &status);
    if (!read || status != kStillActive) {
        LogPrintf(Error, "Fatal error, game process handle: %p, exit code: %u.",
                  static_cast<void*>(Process.Get()), static_cast<unsigned>(status));
        return true;
    }
    if (!ExitWatchTried) {
        ExitWatchTried = true;
        Exit.Watch(Process.Get());
    }
    return false;
}

bool cGameWindowWatch::GameHasVisibleWindow()
{
    Foreign.BeginSearch();
    cWindowSearch search{ProcessId, &Foreign, false};
    // The same top-level windows as EnumWindows, which under Wine also asks
    // the window server whether each one still exists before the callback.
    EnumDesktopWindows(nullptr, FindVisibleWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

}  // namespace tavrin::launcher
