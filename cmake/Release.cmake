# What a release build adds (TAVRIN_RELEASE): one commit gives one executable.
# The compiler dates come from SOURCE_DATE_EPOCH (set by ./dev release from
# the commit time), the linker writes no time stamp, source, build and
# dependency paths are mapped to fixed names, and the executable is stripped.
if(NOT TAVRIN_RELEASE)
  return()
endif()
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  message(WARNING "SOURCE_DATE_EPOCH is not set: the build time in the executable will differ between builds.")
endif()
# The dependency prefix comes last: the last matching map wins, and a prefix
# may lie inside the source folder (./dev release --twice builds one there).
set(tavrin_prefix_maps "-ffile-prefix-map=${PROJECT_SOURCE_DIR}=src -ffile-prefix-map=${PROJECT_BINARY_DIR}=build")
if(TAVRIN_DEPS_PREFIX)
  string(APPEND tavrin_prefix_maps " -ffile-prefix-map=${TAVRIN_DEPS_PREFIX}=deps")
endif()
foreach(lang C CXX)
  string(APPEND CMAKE_${lang}_FLAGS " ${tavrin_prefix_maps}")
endforeach()
string(APPEND CMAKE_EXE_LINKER_FLAGS " -s -Wl,--no-insert-timestamp")
