# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows build's package: kinscope-dump-VERSION-win64.zip with the .exe
# and README.txt (`cpack -G ZIP` in build-win64, or scripts/package).
if(WIN32)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/README-windows.txt.in
                 ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME kinscope-dump)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME kinscope-dump-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
  return()
endif()

# The Debian package: `cpack -G DEB` in the build folder, or scripts/package.
# Its dependencies are read from the libraries the binary links.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kinscope)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kinscope developers")
set(CPACK_PACKAGE_CONTACT "Kinscope developers <kinscope@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "look inside TEV 5 genealogy database files")
set(CPACK_PACKAGE_DESCRIPTION
    "Kinscope shows the records of a TEV 5 genealogy database file one by one:\n\
individuals, marriages, family links, names, notes, citations, multimedia\n\
and user-defined events, with every link between them a button that opens\n\
the record it refers to. Browsing only reads the file, and with --read-only\n\
it is opened so that nothing can be written to it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
