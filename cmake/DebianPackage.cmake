# The Debian package of a Linux build (cpack -G DEB): vossimere_<version>_<arch>.deb with the
# same tree under /usr as the archive, the copyright file in Debian's format instead of the
# LICENSE, a changelog, and the lintian overrides that explain what lintian reports about a
# package that carries a Windows program. Made only where dpkg-shlibdeps can work out the
# dependencies (dpkg-dev).

find_program(VOSSIMERE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT VOSSIMERE_DPKG_SHLIBDEPS)
  message(STATUS "dpkg-shlibdeps not found: cpack makes no .deb (install dpkg-dev for one)")
  return()
endif()
list(APPEND CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vossimere.invalid/")
# dpkg-shlibdeps adds libc6 and, for the pack tool's libcrypto, libssl3.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "osslsigncode")
# The summary line is CPACK_PACKAGE_DESCRIPTION_SUMMARY; CPack indents these lines for dpkg.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Vossimere.exe is a launcher for 64-bit Windows that carries an installer\n"
  "program and a Windows Installer package appended to it. When a user starts\n"
  "it, it writes both into a temporary folder, runs the installer, waits for it\n"
  "and cleans up.\n"
  "\n"
  "This package holds the launcher, vossimere-pack (which builds, inspects,\n"
  "verifies and unpacks launcher files on Linux), its man pages and bash\n"
  "completion, the publisher's documentation, and a CMake package with\n"
  "vossimere_add_launcher() for building launcher files in a CMake project.")

# The files only the .deb holds (component "debian"; CPackOptions.cmake.in installs it for DEB).
# The changelog's entry carries SOURCE_DATE_EPOCH's time when it is set, as string(TIMESTAMP)
# reads it, so a release build gives the same file every time.
string(TIMESTAMP VOSSIMERE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(VOSSIMERE_DEBIAN_DIR "${CMAKE_BINARY_DIR}/debian")
configure_file(cmake/debian/changelog.in "${VOSSIMERE_DEBIAN_DIR}/changelog" @ONLY)
configure_file(cmake/debian/copyright.in "${VOSSIMERE_DEBIAN_DIR}/copyright" @ONLY)
find_program(VOSSIMERE_GZIP gzip REQUIRED)
add_custom_command(OUTPUT "${VOSSIMERE_DEBIAN_DIR}/changelog.gz"
  COMMAND "${VOSSIMERE_GZIP}" -9nkf "${VOSSIMERE_DEBIAN_DIR}/changelog"
  DEPENDS "${VOSSIMERE_DEBIAN_DIR}/changelog"
  VERBATIM)
add_custom_target(vossimere_debian_changelog ALL DEPENDS "${VOSSIMERE_DEBIAN_DIR}/changelog.gz")
if(TARGET vossimere-pack)
  add_dependencies(vossimere-pack vossimere_debian_changelog)
endif()

install(FILES "${VOSSIMERE_DEBIAN_DIR}/copyright" "${VOSSIMERE_DEBIAN_DIR}/changelog.gz"
        DESTINATION "${VOSSIMERE_INSTALL_DOCDIR}" COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES cmake/debian/lintian-overrides DESTINATION share/lintian/overrides
        RENAME vossimere COMPONENT debian EXCLUDE_FROM_ALL)
