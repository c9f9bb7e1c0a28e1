// Under Wine: the native Linux build of the module, loaded from memory and
// driven across the boundary between the Windows and the Linux world.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "loader/elf_view.h"

namespace tavrin::launcher {

// A native library handle from the native dlopen, or null. The bytes go to
// an in-memory file (close-on-exec) that is opened through /proc/self/fd;
// where it was mapped goes to mapped when asked (empty when the memory map
// does not show it).
void* LoadNativeModule(const std::vector<uint8_t>& bytes, ElfImage* mapped = nullptr);
// The native dlsym; null when not found.
void* NativeSymbol(void* handle, const char* name);
// An entry point of the module mapped there: what dlsym answers, and only
// when the module's own symbol table calls it a plain function or object
// (an indirect or thread-local symbol is no address to call); else null.
void* NativeEntryPoint(void* handle, const ElfImage& mapped, const char* name);
// Calls a System V AMD64 function with three integer arguments.
uint64_t CallNative(void* function, uint64_t a1 = 0, uint64_t a2 = 0, uint64_t a3 = 0);
// The Unix path of a Windows path (UTF-8), or empty.
std::string ToNativePath(const std::string& windowsPath);
// The Windows id of a game that the native module started, read from the
// module's process-id file within limitMs; 0 when not found.
uint32_t GetWindowsPidForNativePid(int32_t nativePid, uint32_t limitMs);
// The System V callback entry to put into the native module's init record.
// Records from threads without a Wine thread environment are queued and
// delivered on a Windows thread through cModuleLoader::DeliverModuleCallback.
void* NativeModuleCallbackEntry();
// Delivers the reports still queued and ends the delivery thread; called
// once the module's second entry point has returned.
void StopNativeModuleCallbacks();

}  // namespace tavrin::launcher
