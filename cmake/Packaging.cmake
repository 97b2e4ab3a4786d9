# What the packages carry, and the Linux packages themselves (scripts/package.sh
# makes all of them, the Windows zip included).
#
# `shipped` builds every file a package holds: the two programs, and in a
# Windows build the Dravik module. shipped.txt in
# the build folder names those files, for the packaging script and its check.
set(VC1_PACKAGE_NAME kestrine-dravik)
set(_shipped kestrine dravik-extract)
if(WIN32)
  list(APPEND _shipped dravik)
  # The file alone: the module's import library is nothing a user loads.
  install(FILES $<TARGET_FILE:dravik> DESTINATION ${VC1_INSTALL_BINDIR})
endif()
add_custom_target(shipped)
add_dependencies(shipped ${_shipped})
set(_names "")
foreach(t IN LISTS _shipped)
  string(APPEND _names "$<TARGET_FILE_NAME:${t}>\n")
endforeach()
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/shipped.txt CONTENT "${_names}")
file(WRITE ${CMAKE_BINARY_DIR}/package.env
     "VC1_PACKAGE_NAME=${VC1_PACKAGE_NAME}\nVC1_VERSION=${PROJECT_VERSION}\n")

if(NOT WIN32)
  execute_process(COMMAND uname -m OUTPUT_VARIABLE _machine OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(CPACK_PACKAGE_NAME ${VC1_PACKAGE_NAME})
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_VENDOR "The Kestrine and Dravik developers")
  set(CPACK_PACKAGE_CONTACT "The Kestrine and Dravik developers")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
      "VC-1 Advanced Profile header printer (kestrine) and WMV to VC-1 converter (dravik-extract)")
  set(CPACK_PACKAGE_FILE_NAME "${VC1_PACKAGE_NAME}-${PROJECT_VERSION}-linux-${_machine}")
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION video)
  # The programs are static: the package depends on nothing.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "")
  include(CPack)
endif()
