// What a module loader reported, as the loader tests compare it: the code
// and the message ("<null>" for none).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace tavrin::test {

struct Report {
    int32_t Code;
    std::string Message;
    bool operator==(const Report&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Report& report)
{
    return out << report.Code << " '" << report.Message << "'";
}

}  // namespace tavrin::test
