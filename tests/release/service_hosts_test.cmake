# Configure-time rules for the service hosts, each case in its own cmake -P:
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -P service_hosts_test.cmake
# A case is: release flag, loopback flag, value ("-" for unset), expected
# outcome ("ok" or a piece of the error message).
set(cases
  "ON|OFF|-|TAVRIN_CDN_HOST_PRODUCTION is not set"
  "OFF|OFF|-|TAVRIN_CDN_HOST_PRODUCTION is not set"
  "ON|OFF|localhost:443|set to a loopback address"
  "ON|OFF|LOCALHOST|set to a loopback address"
  "ON|OFF|cdn.localhost|set to a loopback address"
  "ON|OFF|127.0.0.2:8443|set to a loopback address"
  "ON|OFF|[::1]:8443|set to a loopback address"
  "ON|OFF|0.0.0.0|set to a loopback address"
  "ON|OFF|2130706433|set to a loopback address"
  "ON|OFF|0x7f.0.0.1|set to a loopback address"
  "ON|OFF|0X7F000001|set to a loopback address"
  "ON|OFF|0177.0.0.1|set to a loopback address"
  "ON|OFF|017700000001:443|set to a loopback address"
  "ON|OFF|127.1|set to a loopback address"
  "ON|OFF|0|set to a loopback address"
  "ON|OFF|[::ffff:7f00:1]|set to a loopback address"
  "ON|OFF|[::ffff:127.0.0.1]:8443|set to a loopback address"
  "ON|OFF|[0:0:0:0:0:ffff:7f00:0001]|set to a loopback address"
  "ON|OFF|[::]|set to a loopback address"
  "ON|OFF|[0:0:0:0:0:0:0:1]|set to a loopback address"
  "ON|OFF|[::ffff:8.8.8.8]|ok"
  "ON|OFF|[2001:db8::1]|ok"
  "ON|OFF|2130706431|ok"
  "ON|OFF|0x80.0.0.1|ok"
  "ON|OFF|10.0.0.1|ok"
  "ON|OFF|0x7f.example.com|ok"
  "ON|OFF|https://modules.example.com|not a host name"
  "ON|OFF|modules.example.com/x|not a host name"
  "ON|OFF|evil\\\"host|not a host name"
  "ON|OFF|modules.example.com|ok"
  "ON|OFF|modules.example.com:8443|ok"
  "ON|OFF|127.example.com|ok"
  "ON|OFF|localhost.example.com|ok"
  "OFF|ON|-|ok"
)
set(failed 0)
# Each case's script goes to the build's folder for this test, never the tree.
set(script ${WORK_DIR}/service_host_case.cmake)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 release)
  list(GET fields 1 loopback)
  list(GET fields 2 value)
  list(GET fields 3 expected)
  set(body "include(${SOURCE_DIR}/cmake/ServiceHosts.cmake)\n")
  string(APPEND body "set(TAVRIN_RELEASE ${release})\nset(TAVRIN_LOOPBACK_SERVICES ${loopback})\n")
  if(NOT value STREQUAL "-")
    string(APPEND body "set(TAVRIN_CDN_HOST_PRODUCTION \"${value}\" CACHE STRING \"\")\n")
  endif()
  string(APPEND body "tavrin_service_host(TAVRIN_CDN_HOST_PRODUCTION \"production module CDN host\")\n")
  file(WRITE ${script} "${body}")
  execute_process(COMMAND ${CMAKE_COMMAND} -P ${script} RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_QUIET)
  string(REPLACE "\n" " " err "${err}")
  string(REGEX REPLACE " +" " " err "${err}")
  if(expected STREQUAL "ok")
    if(NOT rc EQUAL 0)
      message(SEND_ERROR "'${value}' (release ${release}): refused: ${err}")
      math(EXPR failed "${failed} + 1")
    endif()
  elseif(rc EQUAL 0 OR NOT err MATCHES "${expected}")
    message(SEND_ERROR "'${value}' (release ${release}): expected '${expected}', got rc ${rc}: ${err}")
    math(EXPR failed "${failed} + 1")
  endif()
endforeach()
list(LENGTH cases total)
if(failed GREATER 0)
  message(FATAL_ERROR "${failed} of ${total} service host cases failed")
endif()
message(STATUS "${total} service host cases ok")
