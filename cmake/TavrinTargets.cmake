# Targets shared by every folder:
#   tavrin_pure  - platform-free code (no <windows.h>, no SDL); builds natively
#                  too, with sanitizers and fuzzers;
#   tavrin_win   - code that calls Windows, SDL or libcurl (cross build only).
# Folders add their files with tavrin_sources() and their tests with
# tavrin_test().

set(TAVRIN_WARNINGS -Wall -Wextra)

add_library(tavrin_pure STATIC)
target_include_directories(tavrin_pure PUBLIC ${PROJECT_SOURCE_DIR}/src ${TAVRIN_GENERATED_DIR})
target_compile_options(tavrin_pure PRIVATE ${TAVRIN_WARNINGS})
target_compile_features(tavrin_pure PUBLIC cxx_std_20)
find_package(Threads REQUIRED)
target_link_libraries(tavrin_pure PUBLIC Threads::Threads)
# The fuzz targets are guided by coverage of the code they exercise, which
# lives in this library: instrument it wherever they are built.
if(NOT WIN32 AND NOT TAVRIN_THREAD_TESTS_ONLY AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  target_compile_options(tavrin_pure PRIVATE -fsanitize=fuzzer-no-link)
endif()

if(TAVRIN_WINDOWS)
  # Static linking of the whole runtime: the launcher imports system DLLs only.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)

  set(ZLIB_LIBRARY /usr/x86_64-w64-mingw32/lib/libz.a CACHE FILEPATH "" FORCE)
  set(ZLIB_INCLUDE_DIR /usr/x86_64-w64-mingw32/include CACHE PATH "" FORCE)
  find_package(ZLIB REQUIRED)
  find_package(SDL2 REQUIRED CONFIG)
  find_package(SDL2_image REQUIRED CONFIG)
  find_package(SDL2_ttf REQUIRED CONFIG)
  find_package(CURL REQUIRED CONFIG)

  add_library(tavrin_win STATIC)
  target_include_directories(tavrin_win PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(tavrin_win PRIVATE ${TAVRIN_WARNINGS})
  target_link_libraries(tavrin_win PUBLIC
    tavrin_pure
    SDL2_ttf::SDL2_ttf-static SDL2_image::SDL2_image-static SDL2::SDL2-static
    CURL::libcurl ZLIB::ZLIB
    shell32 ole32 user32 gdi32 advapi32 crypt32 ws2_32 bcrypt version)
else()
  find_package(PNG REQUIRED)
endif()
# The cross build's libpng is the one SDL_image was built with.
target_link_libraries(tavrin_pure PUBLIC PNG::PNG)

# tavrin_sources(PURE files... WINDOWS files...)
function(tavrin_sources)
  cmake_parse_arguments(ARG "" "" "PURE;WINDOWS" ${ARGN})
  list(TRANSFORM ARG_PURE PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  list(TRANSFORM ARG_WINDOWS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  if(ARG_PURE)
    target_sources(tavrin_pure PRIVATE ${ARG_PURE})
  endif()
  if(ARG_WINDOWS AND TAVRIN_WINDOWS)
    target_sources(tavrin_win PRIVATE ${ARG_WINDOWS})
  endif()
endfunction()

# tavrin_test(NAME [PURE|WINDOWS] [THREADS] SOURCES files... [LIBS libs...])
#   PURE tests build everywhere (natively with sanitizers, and under Wine);
#   WINDOWS tests only in the cross build, where CTest runs them under Wine;
#   THREADS marks the tests the ThreadSanitizer preset builds.
function(tavrin_test name)
  cmake_parse_arguments(ARG "PURE;WINDOWS;THREADS" "" "SOURCES;LIBS" ${ARGN})
  if(ARG_WINDOWS AND NOT TAVRIN_WINDOWS)
    return()
  endif()
  if(TAVRIN_THREAD_TESTS_ONLY AND NOT ARG_THREADS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TAVRIN_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(TAVRIN_WINDOWS)
    target_link_libraries(${name} PRIVATE tavrin_win)
  endif()
  target_link_libraries(${name} PRIVATE tavrin_pure GTest::gtest_main GTest::gmock ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "TAVRIN_SOURCE_DIR=${PROJECT_SOURCE_DIR};TAVRIN_BINARY_DIR=${PROJECT_BINARY_DIR}"
    TIMEOUT 600)
endfunction()

# tavrin_glob_sources([WINDOWS_ONLY] [EXCLUDE names...]): every .cpp of the
# calling folder. Files named *_win.cpp (all files with WINDOWS_ONLY) go to
# tavrin_win, the others to tavrin_pure.
function(tavrin_glob_sources)
  cmake_parse_arguments(ARG "WINDOWS_ONLY" "" "EXCLUDE" ${ARGN})
  file(GLOB files RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(ARG_EXCLUDE)
    list(REMOVE_ITEM files ${ARG_EXCLUDE})
  endif()
  set(pure)
  set(win)
  foreach(f IN LISTS files)
    if(ARG_WINDOWS_ONLY OR f MATCHES "_win\\.(cpp|c)$")
      list(APPEND win ${f})
    else()
      list(APPEND pure ${f})
    endif()
  endforeach()
  tavrin_sources(PURE ${pure} WINDOWS ${win})
endfunction()

# tavrin_glob_tests(PREFIX [THREADS] [LIBS libs...]): *_test.cpp of the calling
# folder become PREFIX_tests (platform-free), *_win_test.cpp PREFIX_win_tests
# (run under Wine).
function(tavrin_glob_tests prefix)
  cmake_parse_arguments(ARG "THREADS" "" "LIBS" ${ARGN})
  file(GLOB all RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  set(pure)
  set(win)
  foreach(f IN LISTS all)
    if(f MATCHES "_win_test\\.cpp$")
      list(APPEND win ${f})
    else()
      list(APPEND pure ${f})
    endif()
  endforeach()
  set(threads)
  if(ARG_THREADS)
    set(threads THREADS)
  endif()
  if(pure)
    tavrin_test(${prefix}_tests PURE ${threads} SOURCES ${pure} LIBS ${ARG_LIBS})
  endif()
  if(win)
    tavrin_test(${prefix}_win_tests WINDOWS SOURCES ${win} LIBS ${ARG_LIBS})
  endif()
endfunction()

# tavrin_fuzz(NAME SOURCES files... [CORPUS dir]): a libFuzzer target over the
# platform-free code, built by the native sanitizer preset (clang). CTest
# replays its seed corpus once (NAME_corpus), so every kept input stays a
# test; `./dev fuzz` runs the targets listed in fuzz-targets.txt for real.
# The seed corpus defaults to tests/fuzz/corpus/NAME.
function(tavrin_fuzz name)
  if(TAVRIN_WINDOWS OR TAVRIN_THREAD_TESTS_ONLY OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    return()
  endif()
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES" ${ARGN})
  if(NOT ARG_CORPUS)
    set(ARG_CORPUS ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name})
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TAVRIN_WARNINGS} -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE tavrin_pure)
  add_test(NAME ${name}_corpus COMMAND ${name} -runs=0 ${ARG_CORPUS})
  file(APPEND ${PROJECT_BINARY_DIR}/fuzz-targets.txt "${name} ${CMAKE_CURRENT_BINARY_DIR}/${name} ${ARG_CORPUS}\n")
endfunction()
