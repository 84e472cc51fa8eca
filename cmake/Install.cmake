# Installation and packaging for publishers.
#
# `cmake --install` lays out one tree:
#   bin/                     Vossimere.exe and the pack tool
#   share/doc/vossimere/     the documentation and the LICENSE
#   lib/cmake/Vossimere/     the CMake package: find_package(Vossimere), vossimere_add_launcher()
# and, from a build whose pack tool runs on Linux:
#   share/man/man1/          vossimere-pack(1) and a page for each command
#   share/bash-completion/completions/vossimere-pack
#
# Each build installs what it built. The Windows build installs Vossimere.exe and
# vossimere-pack.exe: a complete tree for publishers who build on Windows. A Linux build installs
# the Linux vossimere-pack and, from VOSSIMERE_LAUNCHER_STUB, the Vossimere.exe of a Windows build:
# a complete tree for publishers who build on Linux. scripts/package does the latter and makes the
# archive (see docs/publishing.md).

set(VOSSIMERE_INSTALL_BINDIR "bin")
set(VOSSIMERE_INSTALL_DOCDIR "share/doc/vossimere")
set(VOSSIMERE_INSTALL_CMAKEDIR "lib/cmake/Vossimere")
set(VOSSIMERE_INSTALL_COMPLETIONDIR "share/bash-completion/completions")

if(TARGET Vossimere)
  install(TARGETS Vossimere RUNTIME DESTINATION "${VOSSIMERE_INSTALL_BINDIR}")
else()
  set(VOSSIMERE_LAUNCHER_STUB "" CACHE FILEPATH
      "Vossimere.exe from a Windows build, installed with this build's pack tool")
  if(VOSSIMERE_LAUNCHER_STUB)
    if(NOT EXISTS "${VOSSIMERE_LAUNCHER_STUB}")
      message(FATAL_ERROR "VOSSIMERE_LAUNCHER_STUB: ${VOSSIMERE_LAUNCHER_STUB} does not exist; "
                          "build the windows preset first (cmake --workflow --preset windows).")
    endif()
    install(PROGRAMS "${VOSSIMERE_LAUNCHER_STUB}" DESTINATION "${VOSSIMERE_INSTALL_BINDIR}"
            RENAME Vossimere.exe)
  endif()
endif()

if(TARGET vossimere-pack)
  install(TARGETS vossimere-pack RUNTIME DESTINATION "${VOSSIMERE_INSTALL_BINDIR}")
  if(NOT WIN32)
    # The man pages are made and installed with the tool (cmake/ManPages.cmake).
    install(FILES pack/cli/vossimere-pack.bash-completion
            DESTINATION "${VOSSIMERE_INSTALL_COMPLETIONDIR}" RENAME vossimere-pack)
  endif()
endif()

install(FILES README.md DESTINATION "${VOSSIMERE_INSTALL_DOCDIR}")
# In its own component: the Debian package states the license in its copyright file instead.
install(FILES LICENSE DESTINATION "${VOSSIMERE_INSTALL_DOCDIR}" COMPONENT license)
# The documents and the pictures they show.
install(DIRECTORY docs/ DESTINATION "${VOSSIMERE_INSTALL_DOCDIR}" FILES_MATCHING PATTERN "*.md"
        PATTERN "*.png")

# The package holds programs, not libraries: any consumer may use it, whatever its own target.
include(CMakePackageConfigHelpers)
configure_package_config_file(cmake/VossimereConfig.cmake.in
  "${CMAKE_CURRENT_BINARY_DIR}/VossimereConfig.cmake"
  INSTALL_DESTINATION "${VOSSIMERE_INSTALL_CMAKEDIR}")
write_basic_package_version_file("${CMAKE_CURRENT_BINARY_DIR}/VossimereConfigVersion.cmake"
  VERSION "${VOSSIMERE_RELEASE_VERSION}" COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES
  "${CMAKE_CURRENT_BINARY_DIR}/VossimereConfig.cmake"
  "${CMAKE_CURRENT_BINARY_DIR}/VossimereConfigVersion.cmake"
  DESTINATION "${VOSSIMERE_INSTALL_CMAKEDIR}")

# The archive of the install tree, and on Debian also a .deb of it:
# `cmake --build BUILD --target package`, or scripts/package.
if(WIN32)
  # The release zip itself is made by WindowsZip.cmake (scripts/package), with a fixed order of
  # entries; this one, of the same name and tree, is for `--target package`.
  set(CPACK_GENERATOR ZIP)
  set(VOSSIMERE_PACKAGE_SYSTEM "windows-x86_64")
else()
  set(CPACK_GENERATOR TGZ)
  # The tool stripped, as `cmake --install --strip` installs it. (Not on Windows: stripping
  # Vossimere.exe would spoil the image checksum its post-link step set.)
  set(CPACK_STRIP_FILES ON)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" VOSSIMERE_PACKAGE_SYSTEM)
endif()
set(CPACK_PACKAGE_NAME vossimere)
set(CPACK_PACKAGE_VENDOR "Vossimere")
set(CPACK_PACKAGE_CONTACT "Vossimere <dev@vossimere.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Self-extracting installer launcher for 64-bit Windows")
set(CPACK_PACKAGE_VERSION "${VOSSIMERE_RELEASE_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "vossimere-${VOSSIMERE_RELEASE_VERSION}-${VOSSIMERE_PACKAGE_SYSTEM}")
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_SOURCE_GENERATOR "")
if(NOT WIN32 AND NOT CMAKE_CROSSCOMPILING)
  include("${PROJECT_SOURCE_DIR}/cmake/DebianPackage.cmake")
endif()
# What each package holds and the times of its entries: cmake/CPackOptions.cmake.in.
configure_file(cmake/CPackOptions.cmake.in "${CMAKE_BINARY_DIR}/CPackOptions.cmake" @ONLY)
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_BINARY_DIR}/CPackOptions.cmake")
include(CPack)
