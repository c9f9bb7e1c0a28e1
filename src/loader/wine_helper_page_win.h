// The Wine helper page: one executable page at a fixed high address holding
// the raw system-call stub used to reach the Linux kernel from Windows code.
#pragma once

namespace tavrin::launcher {

// Places the page and its stub; true when it lies at or above 0x700000000000.
bool PlaceWineHelperPage();
void* WineHelperPage();
void ReleaseWineHelperPage();

}  // namespace tavrin::launcher
