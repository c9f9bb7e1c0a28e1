// The telemetry hosts are build configuration (see this folder's CMakeLists.txt).
#include "telemetry/analytics.h"

#ifndef TAVRIN_TELEMETRY_SDK_HOST
#error "TAVRIN_TELEMETRY_SDK_HOST must be defined by the build"
#endif
#ifndef TAVRIN_TELEMETRY_PRODUCT_HOST
#error "TAVRIN_TELEMETRY_PRODUCT_HOST must be defined by the build"
#endif

namespace tavrin::launcher {

const char* Analytics::EndpointHost(uint32_t destination)
{
    return destination == 0 ? TAVRIN_TELEMETRY_SDK_HOST : TAVRIN_TELEMETRY_PRODUCT_HOST;
}

}  // namespace tavrin::launcher
