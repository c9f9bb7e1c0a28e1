#include "base/host_facts.h"

#include <windows.h>

#include "base/files_win.h"

namespace tavrin::launcher {

namespace {

NativeMachineAnswer AskNativeMachine()
{
    NativeMachineAnswer answer;
    USHORT processMachine = 0;
    USHORT nativeMachine = 0;
    using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto query = kernel == nullptr ? nullptr
                                         : reinterpret_cast<IsWow64Process2Function>(reinterpret_cast<void*>(
                                               GetProcAddress(kernel, "IsWow64Process2")));
    if (query == nullptr || !query(GetCurrentProcess(), &processMachine, &nativeMachine)) {
        answer.Error = query == nullptr ? ERROR_PROC_NOT_FOUND : GetLastError();
        return answer;
    }
    answer.Machine = nativeMachine;
    return answer;
}

}  // namespace

const NativeMachineAnswer& QueryNativeMachine()
{
    static const NativeMachineAnswer answer = AskNativeMachine();
    return answer;
}

cHostFacts DetectHostFacts()
{
    static const cHostFacts facts = [] {
        cHostFacts detected;
        detected.Wine = tavrin::IsWine();
        detected.Arm64 = QueryNativeMachine().Machine == IMAGE_FILE_MACHINE_ARM64;
        return detected;
    }();
    return facts;
}

}  // namespace tavrin::launcher
