// The CDN hosts are build configuration (see this folder's CMakeLists.txt).
#include "acquisition/download_rules.h"

#ifndef TAVRIN_CDN_HOST_PRODUCTION
#error "TAVRIN_CDN_HOST_PRODUCTION must be defined by the build"
#endif
#ifndef TAVRIN_CDN_HOST_DEVELOPMENT
#error "TAVRIN_CDN_HOST_DEVELOPMENT must be defined by the build"
#endif

namespace tavrin::launcher {

const char* CdnHost(bool gameDev)
{
    return gameDev ? TAVRIN_CDN_HOST_DEVELOPMENT : TAVRIN_CDN_HOST_PRODUCTION;
}

}  // namespace tavrin::launcher
