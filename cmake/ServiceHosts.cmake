# tavrin_service_host(VAR DOC [LOOPBACK value]): the service host cache
# variable VAR, "name" or "name:port". Builds on loopback test servers take
# the LOOPBACK value (or, without one, a name that never resolves); every
# other build must name the host itself, and a release may not point it at
# this machine. The value lands in a C string literal, so only host name
# characters pass.
function(tavrin_service_host var doc)
  cmake_parse_arguments(ARG "" "LOOPBACK" "" ${ARGN})
  set(${var} "" CACHE STRING "${doc}")
  if(TAVRIN_LOOPBACK_SERVICES AND NOT TAVRIN_RELEASE)
    if(ARG_LOOPBACK)
      set(${var} "${ARG_LOOPBACK}" CACHE STRING "${doc}" FORCE)
    elseif("${${var}}" STREQUAL "")
      set(${var} "unset.invalid" CACHE STRING "${doc}" FORCE)
    endif()
  endif()
  set(value "${${var}}")
  if(value STREQUAL "")
    message(FATAL_ERROR "${var} is not set: a build without the loopback test services "
                        "needs the ${doc} (-D${var}=host or host:port).")
  endif()
  if(NOT value MATCHES "^([A-Za-z0-9.-]+|\\[[0-9A-Fa-f:.]+\\])(:[0-9]+)?$")
    message(FATAL_ERROR "${var} is not a host name or host:port: '${value}'.")
  endif()
  if(TAVRIN_RELEASE)
    tavrin_is_loopback_host("${value}" loopback)
    if(loopback)
      message(FATAL_ERROR "${var} is set to a loopback address ('${value}'): "
                          "a release must name the real ${doc}.")
    endif()
  endif()
endfunction()

# tavrin_is_loopback_host(HOST OUT): whether HOST (with or without a port)
# names this machine.
function(tavrin_is_loopback_host host out)
  string(TOLOWER "${host}" host)
  string(REGEX REPLACE ":[0-9]+$" "" name "${host}")
  if(name MATCHES "^\\[.*\\]$")
    string(REGEX REPLACE "^\\[(.*)\\]$" "\\1" name "${name}")
  endif()
  set(result OFF)
  if(name MATCHES "^(localhost|.*\\.localhost|127\\.[0-9.]+|0\\.0\\.0\\.0|0|::1|::|(0+:)+0*1|::ffff:127\\..*)\\.?$")
    set(result ON)
  endif()
  set(${out} ${result} PARENT_SCOPE)
endfunction()
