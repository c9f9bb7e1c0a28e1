# Service hosts, "name" or "name:port". Development and test builds (the
# Wine test build, demos, the native builds) use the loopback development CDN
# and telemetry collector of tools/devcdn and tools/collector. A release
# (TAVRIN_RELEASE, the release preset) names the four hosts itself: see
# cmake/ServiceHosts.cmake.
option(TAVRIN_RELEASE "Build for shipping: real service hosts required, reproducible" OFF)
if(TAVRIN_RELEASE)
  set(tavrin_loopback_default OFF)
else()
  set(tavrin_loopback_default ON)
endif()
option(TAVRIN_LOOPBACK_SERVICES "Development CDN and telemetry on loopback test servers"
       ${tavrin_loopback_default})
if(TAVRIN_RELEASE AND TAVRIN_LOOPBACK_SERVICES)
  message(FATAL_ERROR "A release cannot use the loopback test services (TAVRIN_LOOPBACK_SERVICES=ON).")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/ServiceHosts.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/Release.cmake)
set(TAVRIN_DEV_CDN_PORT 18443 CACHE STRING "Port of the loopback development CDN")
set(TAVRIN_COLLECTOR_PORT 18444 CACHE STRING "Port of the loopback telemetry collector")
