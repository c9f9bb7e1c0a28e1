# Service hosts, "name" or "name:port". Builds whose tests run under an
# emulator (the Wine test build, demos) use the loopback development CDN and
# telemetry collector of tools/devcdn and tools/collector; release builds
# configure with -DTAVRIN_LOOPBACK_SERVICES=OFF or set the hosts directly.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(tavrin_loopback_default ON)
else()
  set(tavrin_loopback_default OFF)
endif()
option(TAVRIN_LOOPBACK_SERVICES "Development CDN and telemetry on loopback test servers"
       ${tavrin_loopback_default})
set(TAVRIN_DEV_CDN_PORT 18443 CACHE STRING "Port of the loopback development CDN")
set(TAVRIN_COLLECTOR_PORT 18444 CACHE STRING "Port of the loopback telemetry collector")
