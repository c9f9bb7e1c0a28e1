#include "core/game_window_watch_win.h"

#include <windows.h>

#include "base/strings.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

constexpr DWORD kStillActive = 259;

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

void cGameWindowWatch::Begin(cProcessHandle process, uint32_t processId, int64_t nowNs)
{
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
    DWORD status = 0;
    BOOL read = GetExitCodeProcess(Process.Get(), &status);
    if (!read || status != kStillActive) {
        LogPrintf(Error, "Fatal error, game process handle: %p, exit code: %u.",
                  static_cast<void*>(Process.Get()), static_cast<unsigned>(status));
        return false;
    }
    if (!Wait.SearchDue(nowNs) || !ProcessHasVisibleWindow(ProcessId))
        return true;
    LogPrintf(Info, "The game window has become visible, the bootstrapper will leave the visible state.");
    Wait.End(MonotonicNow());
    return false;
}

}  // namespace tavrin::launcher
