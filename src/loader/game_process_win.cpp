#include "loader/game_process_win.h"

#include <utility>

#include "base/files_win.h"
#include "base/strings.h"
#include "loader/module_loader_win.h"

namespace tavrin::launcher {

namespace {

// FormatMessageW's buffer: at most 511 characters and the NUL.
constexpr DWORD kErrorTextChars = 512;

// The system's message for the error, or empty.
std::string SystemErrorText(DWORD error)
{
    if (error == 0) {
        return {};
    }
    wchar_t buffer[kErrorTextChars] = {};
    const DWORD flags =
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
    DWORD length = FormatMessageW(flags, nullptr, error, 0, buffer, kErrorTextChars, nullptr);
    if (length == 0) {
        return {};
    }
    if (length >= kErrorTextChars) {
        length = kErrorTextChars - 1;
    }
    return Utf16ToUtf8(std::wstring(buffer, length));
}

// A duplicate with the same access rights, or empty.
cProcessHandle DuplicateProcessHandle(HANDLE handle)
{
    if (!handle) {
        return {};
    }
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &duplicate, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return {};
    }
    return cProcessHandle(duplicate);
}

}  // namespace

// --- handles --------------------------------------------------------------------

cProcessHandle& cProcessHandle::operator=(cProcessHandle&& other) noexcept
{
    if (this != &other) {
        Reset(other.Release());
    }
    return *this;
}

HANDLE cProcessHandle::Release()
{
    HANDLE handle = Handle;
    Handle = nullptr;
    return handle;
}

void cProcessHandle::Reset(HANDLE handle)
{
    if (Handle) {
        CloseHandle(Handle);
    }
    Handle = handle;
}

void cSharedProcessHandle::Replace(cProcessHandle handle)
{
    std::lock_guard<std::mutex> guard(Lock);
    Handle = std::move(handle);
}

void cSharedProcessHandle::AdoptIfEmpty(cProcessHandle handle)
{
    std::lock_guard<std::mutex> guard(Lock);
    if (!Handle) {
        Handle = std::move(handle);
    }
}

cProcessHandle cSharedProcessHandle::Duplicate() const
{
    std::lock_guard<std::mutex> guard(Lock);
    return DuplicateProcessHandle(Handle.Get());
}

bool cSharedProcessHandle::Empty() const
{
    std::lock_guard<std::mutex> guard(Lock);
    return !Handle;
}

void cSharedProcessHandle::Close()
{
    std::lock_guard<std::mutex> guard(Lock);
    Handle.Reset();
}

// --- texts ----------------------------------------------------------------------

std::string BuildGameCommandLine(const std::string& gamePath, const std::vector<std::string>& arguments)
{
    std::string line = "\"" + gamePath + "\"";
    for (const std::string& argument : arguments) {
        line += ' ';
        line += argument;
    }
    return line;
}

std::string DescribeCreateProcessError(DWORD error)
{
    std::string reason = SystemErrorText(error);
    if (reason.empty()) {
        reason = "CreateProcess failed with {0}.";
        FormatPlaceholders(reason, {std::to_string(error)});
    }
    return reason;
}

// --- the loader's process operations ---------------------------------------------

bool cWindowsModuleLoader::CreateGameProcess(const std::string& gamePath,
                                             const std::vector<std::string>& arguments,
                                             const std::string& workingDirectory)
{
    const std::string commandLine = BuildGameCommandLine(gamePath, arguments);
    // The launcher set it to "1" for its own window; the game inherits this one.
    SetEnvironmentVariableW(L"SteamNoOverlayUIDrawing", L"0");

    std::wstring application = Utf8ToUtf16(gamePath);
    std::wstring wideCommandLine = Utf8ToUtf16(commandLine);
    // Longer lines make CreateProcessW fail outright; the limit counts the NUL.
    if (wideCommandLine.size() > kMaxCommandLineChars - 1) {
        wideCommandLine.resize(kMaxCommandLineChars - 1);
    }
    std::wstring directory = Utf8ToUtf16(workingDirectory);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION created = {};
    if (!CreateProcessW(application.c_str(), wideCommandLine.data(), nullptr, nullptr, FALSE,
                        kGameProcessCreationFlags, nullptr, directory.empty() ? nullptr : directory.c_str(),
                        &startup, &created)) {
        const DWORD error = GetLastError();
        Report(kLoaderCreationFailed, Text(kMsgCreateProcess, {DescribeCreateProcessError(error)}));
        return false;
    }
    cProcessHandle thread(created.hThread);
    cProcessHandle process(created.hProcess);

    if (created.dwProcessId != 0) {
        // A failure here is not reported: OpenGameProcessHandle then opens by id.
        GameProcessHandle.Replace(
            cProcessHandle(OpenProcess(kGameProcessAccess, FALSE, created.dwProcessId)));
        GameProcessId.store(created.dwProcessId);
        AllowSetForegroundWindow(created.dwProcessId);
    }
    return true;
}

cProcessHandle cWindowsModuleLoader::OpenGameProcessHandle()
{
    cProcessHandle duplicate = GameProcessHandle.Duplicate();
    if (duplicate) {
        return duplicate;
    }
    const uint32_t processId = GameProcessId.load();
    if (processId == 0) {
        return {};
    }
    return cProcessHandle(OpenProcess(kGameProcessAccess, FALSE, processId));
}

}  // namespace tavrin::launcher
