# GoogleTest from Debian's source package, built with the project's own toolchain
# (so the same sources serve the native and the mingw builds).
set(VC1_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
if(NOT EXISTS "${VC1_GTEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found at ${VC1_GTEST_SOURCE} (apt-get install googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory("${VC1_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/_googletest" EXCLUDE_FROM_ALL SYSTEM)

add_library(vc1_test_main STATIC "${CMAKE_SOURCE_DIR}/tests/support/test_main.cpp"
                                 "${CMAKE_SOURCE_DIR}/tests/support/test_data.cpp")
target_include_directories(vc1_test_main PUBLIC "${CMAKE_SOURCE_DIR}/tests/support")
target_link_libraries(vc1_test_main PUBLIC GTest::gtest GTest::gmock)

# Hand-made inputs shared by the test suites: VC-1 header streams and ASF files.
add_library(vc1_test_builders STATIC "${CMAKE_SOURCE_DIR}/tests/support/vc1_stream_builder.cpp"
                                     "${CMAKE_SOURCE_DIR}/tests/support/asf_file_builder.cpp")
target_include_directories(vc1_test_builders PUBLIC "${CMAKE_SOURCE_DIR}/tests/support" "${CMAKE_SOURCE_DIR}")
target_link_libraries(vc1_test_builders PRIVATE vc1_options)
target_link_libraries(vc1_test_main PUBLIC vc1_test_builders)
