#include "loader/memory_module_win.h"

namespace tavrin::launcher {

// Placeholder until the mapper lands: nothing maps.
cMemoryModule::~cMemoryModule() { Unmap(); }

bool cMemoryModule::Map(const uint8_t*, size_t, uint32_t) { return false; }

bool cMemoryModule::Unmap() { return false; }

void* cMemoryModule::GetExport(uintptr_t) const { return nullptr; }

}  // namespace tavrin::launcher
