# What `cmake --install` puts where, and the packages CPack makes of it:
#   host tree      a Debian package of norvpack (/usr/bin/norvpack, the README in
#                  /usr/share/doc/norvpack/). Make it from an unsanitised tree: scripts/release.sh
#                  uses build/release (scripts/build.sh release).
#   Windows tree   a zip of Setup.exe, norvinstall.exe, skinview.exe and norvpack.exe side by side
#                  (norvpack build takes the Setup.exe beside it as its stub), the README and the
#                  example suite.
# Installing takes what is built and builds nothing itself, so that packaging a tree does not
# build its tests first; scripts/release.sh builds the shipped programs before it packages.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Norv setup developers")
set(CPACK_PACKAGE_CONTACT "Norv setup developers <maintainers@users.noreply.c-seed-b476548e.example>")
set(CPACK_STRIP_FILES ON)

if(NORV_WINDOWS)
  install(TARGETS setup norvinstall skinview norvpack RUNTIME DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/suite DESTINATION examples)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME norv-setup)
  set(CPACK_PACKAGE_FILE_NAME norv-setup-${PROJECT_VERSION}-win64)
else()
  install(TARGETS norvpack RUNTIME DESTINATION bin)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/norvpack)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME norvpack)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "packaging tool for the Norv setup program")
  # CPack indents the lines of the long description below the summary.
  set(CPACK_PACKAGE_DESCRIPTION "norvpack writes every format the Norv setup program reads (packed files, package
containers, resource archives, the skin part and the payload table) and builds a
finished Windows setup file from a suite folder. It gives the same bytes for the
same suite on Linux and on Windows. The Windows setup program it stamps
(Setup.exe) comes in the Windows zip of the same version; pass it with --stub.")
  # The libraries the binary links (libc, libstdc++, zlib, ...), as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
