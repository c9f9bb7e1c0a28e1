include(/work/wt-release/cmake/ServiceHosts.cmake)
set(TAVRIN_RELEASE OFF)
set(TAVRIN_LOOPBACK_SERVICES ON)
tavrin_service_host(TAVRIN_CDN_HOST_PRODUCTION "production module CDN host")
