# Shared build rules: warning flags, unit tests, fuzz targets and benchmarks.
#
# Builds of one tree:
#   native  - host compiler, Debug with AddressSanitizer and UBSan; portable libraries and their tests.
#   win32   - MinGW-w64 i686, static runtime; all programs and the Windows test executables (run by wine).
#   win64   - MinGW-w64 x86_64: the same code, for hosts that cannot run 32-bit processes.
#   fuzz    - clang with libFuzzer (MENDIT_FUZZ=ON); the fuzz targets only.
# Tests labelled "window" drive real program windows end to end; the others need none.

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

option(MENDIT_FUZZ "Build the libFuzzer targets (clang)" OFF)
option(MENDIT_SANITIZE "Build with AddressSanitizer and UBSan (native Debug tree)" OFF)

add_compile_options(-Wall -Wextra)
if(WIN32)
  # Windows 7, the oldest system the manifests declare (supportedOS).
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
elseif(MENDIT_FUZZ)
  add_compile_options(-g -O1 -fsanitize=fuzzer-no-link,address,undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(MENDIT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

set(MENDIT_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)

# GoogleTest from the Debian source package, built with whichever compiler this tree uses.
if(NOT MENDIT_FUZZ AND NOT TARGET gtest)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(t gtest gtest_main)
    target_compile_options(${t} PRIVATE -w)
  endforeach()
endif()

# add_unit_test(NAME SOURCES src... [LIBS lib...] [INCLUDES dir...] [ENV VAR=value...] [TIMEOUT s] [LABELS l...])
# One executable per call, registered as one ctest entry (under wine in the win32 build:
# starting a Windows process costs a second or two, so cases are grouped per executable).
function(add_unit_test name)
  if(MENDIT_FUZZ)
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;INCLUDES;ENV;LABELS;ARGS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gtest)
  if(T_INCLUDES)
    target_include_directories(${name} PRIVATE ${T_INCLUDES})
  endif()
  add_test(NAME ${name} COMMAND ${name} ${T_ARGS} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# add_fuzz_target(NAME DIR folder SOURCE file [LIBS lib...]), from fuzz/CMakeLists.txt: folder
# holds the source and the corpus. The file defines LLVMFuzzerTestOneInput. In the fuzz build it becomes a libFuzzer binary;
# in the other builds it is linked with a replay driver that runs every file of the
# target's corpus directory (fuzz/NAME/corpus) as an ordinary test.
function(add_fuzz_target name)
  cmake_parse_arguments(F "" "DIR;SOURCE" "LIBS" ${ARGN})
  set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/${F_DIR}/corpus)
  set(F_SOURCE ${F_DIR}/${F_SOURCE})
  if(MENDIT_FUZZ)
    add_executable(${name} ${F_SOURCE})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set_property(GLOBAL APPEND PROPERTY MENDIT_FUZZ_TARGETS "${name}|${corpus}")
  else()
    add_executable(${name}_replay ${F_SOURCE} ${MENDIT_ROOT}/fuzz/replay_main.cpp)
    target_link_libraries(${name}_replay PRIVATE ${F_LIBS})
    add_test(NAME ${name}_replay COMMAND ${name}_replay ${corpus})
    set_tests_properties(${name}_replay PROPERTIES TIMEOUT 300)
  endif()
endfunction()

# add_benchmark(NAME DIR folder SOURCES src... [LIBS lib...]), from bench/CMakeLists.txt: a
# program that prints figures, its sources in folder and its binary in that folder of the
# build tree; built by the bench target, never run as a test.
function(add_benchmark name)
  if(MENDIT_FUZZ)
    return()
  endif()
  cmake_parse_arguments(B "" "DIR" "SOURCES;LIBS" ${ARGN})
  list(TRANSFORM B_SOURCES PREPEND ${B_DIR}/)
  add_executable(${name} EXCLUDE_FROM_ALL ${B_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${B_DIR})
  target_link_libraries(${name} PRIVATE ${B_LIBS})
  if(NOT TARGET bench)
    add_custom_target(bench)
  endif()
  add_dependencies(bench ${name})
  set_property(GLOBAL APPEND PROPERTY MENDIT_BENCHMARKS ${name})
endfunction()
