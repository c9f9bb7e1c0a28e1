// Asks the CDN for one module with the launcher's HTTP client and request
// headers, to tell whether a game folder's modules are published.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin::check {

struct ModuleProbe {
    bool Reached = false;  // an HTTP answer arrived
    uint32_t Status = 0;
    uint64_t Bytes = 0;
    std::string ETag;
};

ModuleProbe ProbeModule(const std::string& url);

}  // namespace tavrin::check
