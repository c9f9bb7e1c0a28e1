// Facts about the machine that change what the launcher does. Handed down to
// whoever needs them, so that tests can play another host.
#pragma once

#include <cstdint>

namespace tavrin::launcher {

struct cHostFacts {
    bool Wine = false;
    bool Arm64 = false;
};

// The real answers, computed once per process.
cHostFacts DetectHostFacts();

// The machine's own processor (an IMAGE_FILE_MACHINE value), asked once per
// process; 0 when the query fails, with the system's error in error.
struct NativeMachineAnswer {
    uint16_t Machine = 0;
    uint32_t Error = 0;
};
const NativeMachineAnswer& QueryNativeMachine();

}  // namespace tavrin::launcher
