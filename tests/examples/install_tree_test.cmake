# The install trees a publisher gets. The Windows build installs Vossimere.exe, vossimere-pack.exe,
# the documentation and the CMake package. A Linux build of the same sources, configured with
# VOSSIMERE_LAUNCHER_STUB, installs the Linux vossimere-pack with that Vossimere.exe. Both trees
# carry the same package files and the LICENSE, so installing both into one prefix gives one tree
# with both tools. The Linux tree also holds the tool's man pages and bash completion.
# Leaves WORK_DIR/windows-tree and WORK_DIR/linux-tree for the consumer project's test.
#   -DSOURCE_DIR= -DBUILD_DIR= -DWORK_DIR= -DLAUNCHER= -DPACK_TOOL= -DVERSION=
include("${CMAKE_CURRENT_LIST_DIR}/helpers.cmake")

set(windows_tree "${WORK_DIR}/windows-tree")
set(linux_tree "${WORK_DIR}/linux-tree")
set(combined_tree "${WORK_DIR}/combined-tree")
set(native "${WORK_DIR}/native")
file(REMOVE_RECURSE "${windows_tree}" "${linux_tree}" "${combined_tree}")

set(docs README.md LICENSE format.md publishing.md messages.md security.md signing.md
         performance.md performance-pairs.png images/customised-launcher-file.png)
set(package_files VossimereConfig.cmake VossimereConfigVersion.cmake)

function(expect_docs_and_package tree)
  foreach(doc IN LISTS docs)
    if(doc MATCHES "^(README.md|LICENSE)$")
      expect_same_bytes("${tree}/share/doc/vossimere/${doc}" "${SOURCE_DIR}/${doc}")
    else()
      expect_same_bytes("${tree}/share/doc/vossimere/${doc}" "${SOURCE_DIR}/docs/${doc}")
    endif()
  endforeach()
  foreach(file IN LISTS package_files)
    expect_file("${tree}/lib/cmake/Vossimere/${file}")
  endforeach()
endfunction()

# The Windows build's tree.
run_checked(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${windows_tree}")
expect_same_bytes("${windows_tree}/bin/Vossimere.exe" "${LAUNCHER}")
expect_same_bytes("${windows_tree}/bin/vossimere-pack.exe" "${PACK_TOOL}")
foreach(linux_only bin/vossimere-pack share/man share/bash-completion)
  if(EXISTS "${windows_tree}/${linux_only}")
    message(FATAL_ERROR "the Windows build installed ${linux_only}, which belongs to a Linux tool")
  endif()
endforeach()
expect_docs_and_package("${windows_tree}")

# A Linux build that names a launcher that does not exist is refused when it is configured.
execute_process(COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${WORK_DIR}/native-refused"
                        -G Ninja -DCMAKE_BUILD_TYPE=Release
                        "-DVOSSIMERE_LAUNCHER_STUB=${WORK_DIR}/no-such/Vossimere.exe"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(REMOVE_RECURSE "${WORK_DIR}/native-refused")
if(result STREQUAL "0")
  message(FATAL_ERROR "a missing VOSSIMERE_LAUNCHER_STUB was accepted")
endif()
expect_contains("${output}" "no-such/Vossimere.exe does not exist" "missing launcher stub")

# The Linux build's tree: only the pack tool is built, then everything is installed.
run_checked(COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${native}" -G Ninja
                    -DCMAKE_BUILD_TYPE=Release "-DVOSSIMERE_LAUNCHER_STUB=${LAUNCHER}")
run_checked(COMMAND "${CMAKE_COMMAND}" --build "${native}" --target vossimere-pack)
run_checked(COMMAND "${CMAKE_COMMAND}" --install "${native}" --prefix "${linux_tree}")
expect_same_bytes("${linux_tree}/bin/Vossimere.exe" "${LAUNCHER}")
file(READ "${linux_tree}/bin/vossimere-pack" magic LIMIT 4 HEX)
if(NOT magic STREQUAL "7f454c46")
  message(FATAL_ERROR "bin/vossimere-pack of the Linux tree is not an ELF program (${magic})")
endif()
run_checked(COMMAND "${linux_tree}/bin/vossimere-pack" --version OUTPUT_VARIABLE version)
expect_contains("${version}" "${VERSION}" "vossimere-pack --version")
expect_docs_and_package("${linux_tree}")
foreach(page vossimere-pack vossimere-pack-build vossimere-pack-inspect vossimere-pack-verify
             vossimere-pack-extract vossimere-pack-manifest)
  expect_file("${linux_tree}/share/man/man1/${page}.1.gz")
endforeach()
expect_same_bytes("${linux_tree}/share/bash-completion/completions/vossimere-pack"
                  "${SOURCE_DIR}/pack/cli/vossimere-pack.bash-completion")
# Debian's files go only into the .deb (debian_package_test.cmake).
if(EXISTS "${linux_tree}/share/doc/vossimere/copyright")
  message(FATAL_ERROR "a plain install holds the .deb's copyright file")
endif()

# The package files do not depend on the build that installed them.
foreach(file IN LISTS package_files)
  expect_same_bytes("${linux_tree}/lib/cmake/Vossimere/${file}"
                    "${windows_tree}/lib/cmake/Vossimere/${file}")
endforeach()

# Both builds into one prefix: one tree with both pack tools.
run_checked(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${combined_tree}")
run_checked(COMMAND "${CMAKE_COMMAND}" --install "${native}" --prefix "${combined_tree}")
foreach(program Vossimere.exe vossimere-pack.exe vossimere-pack)
  expect_file("${combined_tree}/bin/${program}")
endforeach()
