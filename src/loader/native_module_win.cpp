#include "loader/native_module_win.h"

namespace tavrin::launcher {

// Placeholders until the native path lands: nothing loads.
void* LoadNativeModule(const std::vector<uint8_t>&) { return nullptr; }

void* NativeSymbol(void*, const char*) { return nullptr; }

uint64_t CallNative(void*, uint64_t, uint64_t, uint64_t) { return 0; }

std::string ToNativePath(const std::string&) { return {}; }

uint32_t GetWindowsPidForNativePid(int32_t, uint32_t) { return 0; }

void* NativeModuleCallbackEntry() { return nullptr; }

}  // namespace tavrin::launcher
