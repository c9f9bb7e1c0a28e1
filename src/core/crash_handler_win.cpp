#include "core/crash_handler_win.h"

#include <windows.h>
#include <dbghelp.h>

#include <atomic>
#include <cstdint>

#include "base/file_handle_win.h"
#include "core/crash_report.h"
#include "loader/image_ranges.h"
#include "logging/log_file_win.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

using SymSetOptionsFunction = DWORD(WINAPI*)(DWORD);
using SymInitializeFunction = BOOL(WINAPI*)(HANDLE, PCWSTR, BOOL);
using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION,
                                                PMINIDUMP_CALLBACK_INFORMATION);

// A worker that writes nothing for this long is given up on: the crash
// line is written directly after whatever it managed.
constexpr uint32_t kFlushStallLimitMs = 500;
// The PEB's LoaderLock pointer on x64.
constexpr size_t kPebLoaderLockOffset = 0x110;
constexpr size_t kMaxPath = 1024;

CrashExitHook gBeforeExit = nullptr;
std::atomic<DWORD> gReportingThread{0};
std::atomic<DWORD> gExitCode{0};

// Scratch space, static so the report never touches the heap; only the one
// reporting thread uses it.
char gMessage[768];
char gLine[kMaxLogLineLength + 1];
char gModuleName[kMaxPath];
char gDumpName[64];
wchar_t gModulePath[kMaxPath];
wchar_t gDumpPath[kMaxPath];

// The launcher's own mapped images first (the system's loader does not
// know them), then the loader's modules by file name.
const char* ModuleOf(uintptr_t address, uint64_t& offset)
{
    ImageRange range;
    if (FindImageRange(address, range)) {
        offset = address - range.Base;
        return range.Name;
    }
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(address), &module) ||
        module == nullptr) {
        return nullptr;
    }
    const DWORD length = GetModuleFileNameW(module, gModulePath, kMaxPath);
    if (length == 0 || length >= kMaxPath) {
        return nullptr;
    }
    const wchar_t* name = gModulePath;
    for (const wchar_t* p = gModulePath; *p != L'\0'; ++p) {
        if (*p == L'\\' || *p == L'/') {
            name = p + 1;
        }
    }
    if (WideCharToMultiByte(CP_UTF8, 0, name, -1, gModuleName, sizeof gModuleName, nullptr, nullptr) == 0) {
        return nullptr;
    }
    offset = address - reinterpret_cast<uintptr_t>(module);
    return gModuleName;
}

void DescribeCrash(const EXCEPTION_RECORD& record, DWORD code)
{
    CrashFacts facts;
    facts.Code = code;
    facts.Address = reinterpret_cast<uintptr_t>(record.ExceptionAddress);
    facts.Module = ModuleOf(static_cast<uintptr_t>(facts.Address), facts.Offset);
    facts.ThreadId = GetCurrentThreadId();
    if (code == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
        facts.HasAccess = true;
        facts.AccessKind = record.ExceptionInformation[0];
        facts.AccessAddress = record.ExceptionInformation[1];
    }
    FormatCrashMessage(gMessage, sizeof gMessage, facts);
}

void WriteLogLine(const char* message)
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    const size_t length =
        FormatCrashLogLine(gLine, sizeof gLine, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, message);
    WriteToLogFileUnlocked(gLine, length);
}

// Loading dbghelp takes the loader lock: a thread that crashed holding it
// would wait for itself.
bool HoldsLoaderLock()
{
    uintptr_t pebAddress = 0;
    __asm__("movq %%gs:0x60, %0" : "=r"(pebAddress));
    const auto* peb = reinterpret_cast<const uint8_t*>(pebAddress);
    if (peb == nullptr) {
        return false;
    }
    const auto* lock = *reinterpret_cast<CRITICAL_SECTION* const*>(peb + kPebLoaderLockOffset);
    return lock != nullptr && reinterpret_cast<uintptr_t>(lock->OwningThread) == GetCurrentThreadId();
}

// Beside the log file, or in the temporary folder before there is one.
bool ChooseDumpPath()
{
    if (!CopyLogFileFolder(gDumpPath, kMaxPath)) {
        const DWORD length = GetTempPathW(kMaxPath, gDumpPath);
        if (length == 0 || length >= kMaxPath) {
            return false;
        }
    }
    SYSTEMTIME now;
    GetSystemTime(&now);
    if (FormatCrashDumpName(gDumpName, sizeof gDumpName, now.wYear, now.wMonth, now.wDay, now.wHour,
                            now.wMinute, now.wSecond) == 0) {
        return false;
    }
    size_t at = 0;
    while (gDumpPath[at] != L'\0') {
        ++at;
    }
    for (const char* p = gDumpName; *p != '\0'; ++p) {
        if (at + 1 >= kMaxPath) {
            return false;
        }
        gDumpPath[at++] = static_cast<wchar_t>(*p);
    }
    gDumpPath[at] = L'\0';
    return true;
}

// 0, or why the dump is missing (a system error code).
DWORD WriteDump(EXCEPTION_POINTERS* info)
{
    if (HoldsLoaderLock()) {
        return ERROR_POSSIBLE_DEADLOCK;
    }
    wchar_t library[MAX_PATH];
    const UINT length = GetSystemDirectoryW(library, MAX_PATH);
    constexpr wchar_t kName[] = L"\\dbghelp.dll";
    if (length == 0 || length + sizeof kName / sizeof kName[0] > MAX_PATH) {
        return ERROR_PATH_NOT_FOUND;
    }
    for (size_t i = 0; i < sizeof kName / sizeof kName[0]; ++i) {
        library[length + i] = kName[i];
    }
    // Never freed: the process ends right after the dump.
    const HMODULE dbghelp = LoadLibraryW(library);
    const auto write = dbghelp == nullptr ? nullptr
                                          : reinterpret_cast<MiniDumpWriteDumpFunction>(
                                                reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
    if (write == nullptr) {
        return GetLastError() != 0 ? GetLastError() : ERROR_PROC_NOT_FOUND;
    }
    // Wine's dbghelp otherwise first loads the symbols of every module of
    // the process, native libraries included, which takes tens of seconds;
    // a dump needs none of them.
    const auto options = reinterpret_cast<SymSetOptionsFunction>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp, "SymSetOptions")));
    const auto initialize = reinterpret_cast<SymInitializeFunction>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp, "SymInitializeW")));
    if (options != nullptr) {
        options(SYMOPT_DEFERRED_LOADS);
    }
    if (initialize != nullptr) {
        initialize(GetCurrentProcess(), nullptr, FALSE);
    }
    if (!ChooseDumpPath()) {
        return ERROR_BUFFER_OVERFLOW;
    }
    cFileHandle file(
        CreateFileW(gDumpPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return GetLastError();
    }
    MINIDUMP_EXCEPTION_INFORMATION exception{GetCurrentThreadId(), info, FALSE};
    if (!write(GetCurrentProcess(), GetCurrentProcessId(), file.Get(), MiniDumpNormal, &exception, nullptr,
               nullptr)) {
        return GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
    }
    return 0;
}

void ReportDump(DWORD error)
{
    cFixedText text(gMessage, sizeof gMessage);
    if (error == 0) {
        char path[kMaxPath];
        if (WideCharToMultiByte(CP_UTF8, 0, gDumpPath, -1, path, sizeof path, nullptr, nullptr) == 0) {
            path[0] = '\0';
        }
        text.Text("Crash dump written to '").Text(path).Text("'.");
    } else {
        text.Text("Crash dump could not be written (error ").Decimal(error).Text(").");
    }
    WriteLogLine(gMessage);
}

void ReportCrash(EXCEPTION_POINTERS* info, DWORD code)
{
    if (info != nullptr && info->ExceptionRecord != nullptr) {
        DescribeCrash(*info->ExceptionRecord, code);
    } else {
        cFixedText(gMessage, sizeof gMessage).Text("Unhandled exception without a record.");
    }
    // The crash line comes after everything logged before the crash.
    FlushLog(kFlushStallLimitMs);
    WriteLogLine(gMessage);
    ReportDump(WriteDump(info));
}

LONG WINAPI HandleUnhandledException(EXCEPTION_POINTERS* info)
{
    DWORD code = info != nullptr && info->ExceptionRecord != nullptr ? info->ExceptionRecord->ExceptionCode : 0;
    // Whatever was raised, the exit code must not read as success.
    if (code == 0) {
        code = 0xC0000001;
    }
    const DWORD self = GetCurrentThreadId();
    DWORD reporting = 0;
    if (!gReportingThread.compare_exchange_strong(reporting, self)) {
        if (reporting == self) {
            // The report itself faulted: leave with the first code.
            TerminateProcess(GetCurrentProcess(), gExitCode.load());
        }
        // Another thread is reporting and ends the process.
        for (;;) {
            Sleep(INFINITE);
        }
    }
    gExitCode.store(code);
    ReportCrash(info, code);
    if (gBeforeExit != nullptr) {
        gBeforeExit();
    }
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void InstallCrashHandler(CrashExitHook beforeExit)
{
    gBeforeExit = beforeExit;
    SetUnhandledExceptionFilter(HandleUnhandledException);
}

}  // namespace tavrin::launcher
