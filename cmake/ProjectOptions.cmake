# Shared compile settings: every project target links vc1_options.
add_library(vc1_options INTERFACE)
target_compile_options(vc1_options INTERFACE
  -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion)
if(VC1_WARNINGS_AS_ERRORS)
  target_compile_options(vc1_options INTERFACE -Werror)
endif()
if(VC1_SANITIZE)
  target_compile_options(vc1_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(vc1_options INTERFACE -fsanitize=address,undefined)
endif()
if(MINGW)
  # mingw's own printf family: rounds %f exactly like glibc (the Microsoft
  # runtime differs on exact halves), and understands %zu / %lld.
  target_compile_definitions(vc1_options INTERFACE
    __USE_MINGW_ANSI_STDIO=1 WIN32_LEAN_AND_MEAN NOMINMAX STRSAFE_NO_DEPRECATE
    _WIN32_WINNT=0x0601)
  # Self-contained executables and modules: no libstdc++/winpthread DLLs.
  target_link_options(vc1_options INTERFACE -static -static-libgcc -static-libstdc++)
  if(CMAKE_BUILD_TYPE STREQUAL "Release" OR CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
    target_compile_options(vc1_options INTERFACE -ffunction-sections -fdata-sections)
    target_link_options(vc1_options INTERFACE -s -Wl,--gc-sections)
  endif()
endif()

# Where the shipped files install: bin/ on Linux; a Windows build's programs
# and module sit side by side in one folder, as they are unpacked.
if(WIN32)
  set(VC1_INSTALL_BINDIR .)
else()
  set(VC1_INSTALL_BINDIR bin)
endif()

# vc1_add_program(name SOURCES...): one shipped program, installed into
# VC1_INSTALL_BINDIR.
# Windows programs take their command line as wide strings (wmain). The Linux
# programs are linked wholly static, C library included: their only
# dependencies are the C++ runtime and libc, of which they use a few
# functions, and mapping and relocating those shared objects is most of a
# dynamic program's run time on a short file. Static PIE keeps address
# randomisation, and dropping the unused sections of the static libraries
# halves the size. The sanitizer runtimes need the dynamic loader, so
# sanitized builds stay dynamic.
function(vc1_add_program name)
  add_executable(${name} ${ARGN})
  if(WIN32)
    target_link_options(${name} PRIVATE -municode)
  elseif(NOT VC1_SANITIZE)
    target_link_options(${name} PRIVATE -static-pie -Wl,--gc-sections)
  endif()
  install(TARGETS ${name} RUNTIME DESTINATION ${VC1_INSTALL_BINDIR})
endfunction()

# vc1_add_test(name SOURCES ... LIBS ...): one GoogleTest executable, one ctest entry.
# Tests that need the shared sample folder read VC1_TESTDATA_DIR and skip when it is absent.
set(VC1_TESTDATA_DIR "${CMAKE_SOURCE_DIR}/../shared/testdata" CACHE PATH "Real sample files (optional)")
set(VC1_SAMPLES_DIR "${CMAKE_SOURCE_DIR}/samples")
function(vc1_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} vc1_test_main vc1_options)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "VC1_TESTDATA_DIR=${VC1_TESTDATA_DIR};VC1_SAMPLES_DIR=${VC1_SAMPLES_DIR}"
    TIMEOUT 600)
endfunction()

# Adds every subfolder of the current folder that has a CMakeLists.txt (one
# benchmark or fuzz target each), so a new one needs no edit here.
function(vc1_add_subfolders)
  file(GLOB dirs LIST_DIRECTORIES true "${CMAKE_CURRENT_SOURCE_DIR}/*")
  foreach(dir IN LISTS dirs)
    if(IS_DIRECTORY "${dir}" AND EXISTS "${dir}/CMakeLists.txt")
      add_subdirectory("${dir}")
    endif()
  endforeach()
endfunction()
