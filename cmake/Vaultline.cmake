# Shared build settings: warnings, hardening, sanitizers, and helpers that
# every subsystem folder uses to declare its library and its test program.

add_library(vl_options INTERFACE)
target_compile_options(vl_options INTERFACE
  -Wall -Wextra -Werror -Wnon-virtual-dtor -Wformat=2
  -Wimplicit-fallthrough -Wcast-qual
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
  # g++ 12 reports false overlaps inside std::string copies at -O2 and above.
  $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>
  -fstack-protector-strong)
target_compile_definitions(vl_options INTERFACE
  $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)

if(VL_WIN32)
  # Windows builds: ANSI API, no min/max macros, everything static so the
  # executables start under Wine and on a bare Windows with no extra DLLs.
  target_compile_definitions(vl_options INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 STRICT)
  target_link_options(vl_options INTERFACE
    -static -static-libgcc -static-libstdc++
    -Wl,--dynamicbase -Wl,--nxcompat)
  target_link_libraries(vl_options INTERFACE ssp)
else()
  target_compile_definitions(vl_options INTERFACE _GLIBCXX_ASSERTIONS)
  target_link_options(vl_options INTERFACE -Wl,-z,relro -Wl,-z,now)
endif()

# Sanitizer flags on their own, so third-party code built with us (GoogleTest)
# gets them without our warnings.
add_library(vl_sanitizers INTERFACE)
target_link_libraries(vl_options INTERFACE vl_sanitizers)
if(VL_SANITIZE)
  target_compile_options(vl_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)
  target_link_options(vl_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
if(VL_TSAN)
  target_compile_options(vl_sanitizers INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(vl_sanitizers INTERFACE -fsanitize=thread)
endif()
if(VL_FUZZ)
  target_compile_options(vl_sanitizers INTERFACE -fsanitize=fuzzer-no-link,address,undefined)
  target_link_options(vl_sanitizers INTERFACE -fsanitize=address,undefined)
endif()

# GoogleTest from Debian's source package, built by every preset with our
# compiler so the mingw builds get a matching library.
function(vl_setup_googletest)
  set(GTEST_SRC "/usr/src/googletest" CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(VL_SANITIZE OR VL_TSAN)
    foreach(t gtest gtest_main gmock gmock_main)
      target_link_libraries(${t} PRIVATE vl_sanitizers)
    endforeach()
  endif()
endfunction()

# vl_add_library(name SOURCES ... [DEPS ...])
#   A static library named vl_<name> whose headers are included as
#   "<folder>/Header.h" from the source root.
function(vl_add_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(vl_${name} STATIC ${A_SOURCES})
  target_include_directories(vl_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(vl_${name} PUBLIC vl_options ${A_DEPS})
endfunction()

# vl_add_test(name SOURCES ... [DEPS ...] [DESKTOP])
#   One GoogleTest program per subsystem folder, registered with CTest. The
#   mingw builds run it under Wine through the cross-compiling emulator.
#   DESKTOP: the program drives windows, the clipboard, the focus or the
#   keyboard, which every program on the display shares; CTest runs such
#   programs one at a time.
function(vl_add_test name)
  cmake_parse_arguments(A "DESKTOP" "" "SOURCES;DEPS" ${ARGN})
  if(NOT VL_TESTS)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE vl_options GTest::gtest GTest::gmock ${A_DEPS})
  if(NOT TARGET vl_testmain)
    add_library(vl_testmain STATIC ${PROJECT_SOURCE_DIR}/base/tests/TestMain.cpp)
    target_link_libraries(vl_testmain PUBLIC vl_options GTest::gtest)
  endif()
  target_link_libraries(${name} PRIVATE vl_testmain)
  target_compile_definitions(${name} PRIVATE
    VL_SOURCE_DIR="${PROJECT_SOURCE_DIR}" VL_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT 1800)
  if(A_DESKTOP)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK desktop)
  endif()
endfunction()
