# The packages of a Linux build, as scripts/package makes them: the .deb unpacked with dpkg-deb
# holds the tool, the launcher, the man pages, the bash completion, the CMake package and Debian's
# copyright file and changelog, with plain file modes, and its tool runs; lintian finds nothing
# unexplained (cmake/debian/lintian-overrides). With SOURCE_DATE_EPOCH set, packing again after
# the installed files got new times gives the same .deb and .tar.gz, byte for byte; the archive
# carries the LICENSE.
# Needs WORK_DIR/native, the Linux build of install_tree_test.cmake.
#   -DWORK_DIR= -DVERSION=
include("${CMAKE_CURRENT_LIST_DIR}/helpers.cmake")

set(native "${WORK_DIR}/native")
set(root "${WORK_DIR}/deb-root")
file(REMOVE_RECURSE "${WORK_DIR}/packages-1" "${WORK_DIR}/packages-2" "${root}")
set(deb_name "vossimere_${VERSION}_amd64.deb")
set(archive_name "vossimere-${VERSION}-linux-x86_64.tar.gz")

function(make_packages out_dir)
  run_checked(COMMAND "${CMAKE_COMMAND}" -E env SOURCE_DATE_EPOCH=1709285400
                      cpack -G "TGZ;DEB" -B "${out_dir}" --config "${native}/CPackConfig.cmake"
              WORKING_DIRECTORY "${native}")
  expect_file("${out_dir}/${deb_name}")
  expect_file("${out_dir}/${archive_name}")
endfunction()

make_packages("${WORK_DIR}/packages-1")
file(TOUCH "${native}/man/vossimere-pack-build.1.gz" "${native}/debian/changelog.gz")
make_packages("${WORK_DIR}/packages-2")
foreach(package "${deb_name}" "${archive_name}")
  expect_same_bytes("${WORK_DIR}/packages-2/${package}" "${WORK_DIR}/packages-1/${package}")
endforeach()
set(deb "${WORK_DIR}/packages-1/${deb_name}")

run_checked(COMMAND tar -tzf "${WORK_DIR}/packages-1/${archive_name}" OUTPUT_VARIABLE listing)
expect_contains("${listing}" "vossimere-${VERSION}-linux-x86_64/share/doc/vossimere/LICENSE"
                "the archive")

run_checked(COMMAND dpkg-deb --field "${deb}" OUTPUT_VARIABLE control)
foreach(field "Package: vossimere" "Version: ${VERSION}" "Architecture: amd64" "Section: devel"
              "Maintainer: Vossimere <dev@vossimere.invalid>" "Depends: libc6 (>= "
              "libssl3 (>= "
              "Description: Self-extracting installer launcher for 64-bit Windows")
  expect_contains("${control}" "${field}" "the .deb's control fields")
endforeach()

# Programs rwxr-xr-x, everything else rw-r--r--, all owned by root.
run_checked(COMMAND dpkg-deb --contents "${deb}" OUTPUT_VARIABLE contents)
string(REGEX REPLACE "\n$" "" contents "${contents}")
string(REPLACE "\n" ";" entries "${contents}")
foreach(entry IN LISTS entries)
  if(NOT entry MATCHES "^([-dlrwx]+) ([^ ]+) +[0-9]+ [-0-9]+ [0-9:]+ \\./(.*)$")
    message(FATAL_ERROR "unexpected dpkg-deb --contents line: ${entry}")
  endif()
  set(mode "${CMAKE_MATCH_1}")
  set(owner "${CMAKE_MATCH_2}")
  set(path "${CMAKE_MATCH_3}")
  if(path MATCHES "/$")
    set(expected drwxr-xr-x)
  elseif(path MATCHES "^usr/bin/")
    set(expected -rwxr-xr-x)
  else()
    set(expected -rw-r--r--)
  endif()
  if(NOT mode STREQUAL expected OR NOT owner STREQUAL "root/root")
    message(FATAL_ERROR "${path} in the .deb: ${mode} ${owner}, expected ${expected} root/root")
  endif()
endforeach()

run_checked(COMMAND dpkg-deb -x "${deb}" "${root}")
set(doc "${root}/usr/share/doc/vossimere")
foreach(file
    usr/bin/Vossimere.exe
    usr/lib/cmake/Vossimere/VossimereConfig.cmake
    usr/share/bash-completion/completions/vossimere-pack
    usr/share/doc/vossimere/copyright
    usr/share/doc/vossimere/changelog.gz
    usr/share/doc/vossimere/publishing.md)
  expect_file("${root}/${file}")
endforeach()
# Debian's copyright file states the license; a second license file would be redundant.
if(EXISTS "${doc}/LICENSE")
  message(FATAL_ERROR "the .deb carries LICENSE besides its copyright file")
endif()
file(READ "${doc}/copyright" copyright)
expect_contains("${copyright}" "License: Apache-2.0" "the copyright file")

# One man page for the tool and one for each command, each naming itself and with its whole
# usage line in the SYNOPSIS.
foreach(page vossimere-pack vossimere-pack-build vossimere-pack-inspect vossimere-pack-verify
             vossimere-pack-extract vossimere-pack-manifest)
  run_checked(COMMAND gzip -dc "${root}/usr/share/man/man1/${page}.1.gz" OUTPUT_VARIABLE man)
  string(TOUPPER "${page}" title)
  expect_contains("${man}" ".TH ${title} \"1\"" "${page}.1")
  expect_contains("${man}" "vossimere-pack" "${page}.1")
endforeach()
expect_contains("${man}" ".SH SYNOPSIS" "vossimere-pack-extract.1")
run_checked(COMMAND gzip -dc "${root}/usr/share/man/man1/vossimere-pack-build.1.gz"
            OUTPUT_VARIABLE man)
string(REGEX MATCH "\\.SH SYNOPSIS\n[^\n]*\n[^\n]*" synopsis "${man}")
expect_contains("${synopsis}" "title" "the SYNOPSIS of vossimere-pack-build.1")

# The tool from the package runs and builds a launcher file from the package's launcher.
set(pack "${root}/usr/bin/vossimere-pack")
run_checked(COMMAND "${pack}" --version OUTPUT_VARIABLE version)
expect_contains("${version}" "vossimere-pack ${VERSION}" "--version of the packaged tool")
run_checked(COMMAND "${pack}" --help OUTPUT_VARIABLE help)
expect_contains("${help}" "Usage: vossimere-pack COMMAND" "--help of the packaged tool")
file(WRITE "${WORK_DIR}/deb-inputs/product.msi" "a package\n")
run_checked(COMMAND "${pack}" build --stub "${root}/usr/bin/Vossimere.exe"
                    --installer "${root}/usr/bin/Vossimere.exe"
                    --package "${WORK_DIR}/deb-inputs/product.msi" --title "Packaged"
                    -o "${WORK_DIR}/deb-inputs/launcher.exe")
run_checked(COMMAND "${pack}" verify "${WORK_DIR}/deb-inputs/launcher.exe")

find_program(LINTIAN lintian)
if(NOT LINTIAN)
  message(FATAL_ERROR "lintian is missing: scripts/install-deps installs it")
endif()
run_checked(COMMAND "${LINTIAN}" --fail-on error,warning --pedantic "${deb}" OUTPUT_VARIABLE report)
expect_lacks("${report}" "E: " "lintian")
expect_lacks("${report}" "W: " "lintian")
