# A publisher's project (examples/consumer) configured and built against an installed tree:
# find_package(Vossimere) and vossimere_add_launcher() build a launcher file that the pack tool
# verifies and whose embedded files are exactly the project's installer and package. The launcher
# is built again when the installer, the package, Vossimere.exe or the pack tool changes, and not
# otherwise. A tree without a launcher or without a pack tool for this system is refused with a
# clear message.
# Needs the trees of install_tree_test.cmake; leaves WORK_DIR/consumer for the next test.
#   -DSOURCE_DIR= -DWORK_DIR= -DTOOLCHAIN=
include("${CMAKE_CURRENT_LIST_DIR}/helpers.cmake")

set(consumer_source "${SOURCE_DIR}/examples/consumer")
set(tree "${WORK_DIR}/linux-tree")
set(consumer "${WORK_DIR}/consumer")
set(launcher "${consumer}/ExampleProductSetup.exe")
set(pack "${tree}/bin/vossimere-pack")
file(REMOVE_RECURSE "${consumer}" "${WORK_DIR}/consumer-refused")

function(configure_consumer build_dir prefix)
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${consumer_source}" -B "${build_dir}" -G Ninja
                          "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" "-DCMAKE_PREFIX_PATH=${prefix}"
                          ${ARGN}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(result "${result}" PARENT_SCOPE)
  set(output "${output}" PARENT_SCOPE)
endfunction()

# find_package(Vossimere) fails, and says why, when a program is missing.
function(expect_refused prefix message what)
  file(REMOVE_RECURSE "${WORK_DIR}/consumer-refused")
  configure_consumer("${WORK_DIR}/consumer-refused" "${prefix}" ${ARGN})
  if(result STREQUAL "0")
    message(FATAL_ERROR "the consumer configured against ${what}")
  endif()
  expect_contains("${output}" "${message}" "${what}")
endfunction()

expect_refused("${WORK_DIR}/windows-tree" "holds no pack tool that runs on Linux"
               "the Windows build's tree")
set(no_launcher "${WORK_DIR}/tree-without-launcher")
file(REMOVE_RECURSE "${no_launcher}")
file(COPY "${tree}/" DESTINATION "${no_launcher}")
file(REMOVE "${no_launcher}/bin/Vossimere.exe")
expect_refused("${no_launcher}" "this install tree holds no launcher" "a tree without Vossimere.exe")
expect_refused("${tree}" "names ${WORK_DIR}/no-such-tool, which does not exist"
               "a pack tool chosen that does not exist"
               "-DVossimere_PACK_EXECUTABLE=${WORK_DIR}/no-such-tool")

configure_consumer("${consumer}" "${tree}")
if(NOT result STREQUAL "0")
  message(FATAL_ERROR "configuring the consumer failed:\n${output}")
endif()
run_checked(COMMAND "${CMAKE_COMMAND}" --build "${consumer}" OUTPUT_VARIABLE output)
expect_contains("${output}" "Building the launcher file ExampleProductSetup.exe" "first build")

run_checked(COMMAND "${pack}" verify "${launcher}")
run_checked(COMMAND "${pack}" inspect "${launcher}" --json OUTPUT_VARIABLE report)
foreach(field
    [["title":"Vossimere Example Product"]]
    [["folderName":"{5B0C7E9A-2F41-4D6B-9C3E-8A1D7F26B4E0}"]]
    [["installerName":"setup.exe"]]
    [["packageName":"example-product.msi"]])
  expect_contains("${report}" "${field}" "inspect --json")
endforeach()
run_checked(COMMAND "${pack}" extract "${launcher}" -d "${consumer}/extracted")
expect_same_bytes("${consumer}/extracted/setup.exe" "${consumer}/setup.exe")
expect_same_bytes("${consumer}/extracted/example-product.msi" "${consumer}/example-product.msi")

run_checked(COMMAND "${CMAKE_COMMAND}" --build "${consumer}" OUTPUT_VARIABLE output)
expect_lacks("${output}" "Building the launcher file" "a build with nothing changed")

# A changed installer is a new launcher: its last-write time is stored in the trailer.
file(SHA256 "${launcher}" before)
file(TOUCH "${consumer}/setup.exe")
run_checked(COMMAND "${CMAKE_COMMAND}" --build "${consumer}" OUTPUT_VARIABLE output)
expect_contains("${output}" "Building the launcher file" "after the installer changed")
file(SHA256 "${launcher}" after)
if(before STREQUAL after)
  message(FATAL_ERROR "the launcher did not change with its installer's time")
endif()

foreach(input "${consumer}/example-product.msi" "${tree}/bin/Vossimere.exe" "${pack}")
  file(TOUCH "${input}")
  run_checked(COMMAND "${CMAKE_COMMAND}" --build "${consumer}" OUTPUT_VARIABLE output)
  expect_contains("${output}" "Building the launcher file" "after ${input} changed")
endforeach()
run_checked(COMMAND "${pack}" verify "${launcher}")

# The package's components and imported targets, in a small project that needs no compiler.
set(user "${WORK_DIR}/package-user")
file(REMOVE_RECURSE "${user}")
file(WRITE "${user}/source/CMakeLists.txt" [[
cmake_minimum_required(VERSION 3.25)
project(PackageUser NONE)
if(USER_COMPONENTS)
  find_package(Vossimere 1.1 REQUIRED COMPONENTS ${USER_COMPONENTS})
else()
  find_package(Vossimere 1.1 REQUIRED)
endif()
foreach(target Vossimere::launcher Vossimere::pack)
  if(TARGET ${target})
    get_target_property(location ${target} IMPORTED_LOCATION)
    message(STATUS "${target} is ${location}")
  endif()
endforeach()
if(TARGET Vossimere::launcher AND TARGET Vossimere::pack)
  vossimere_add_launcher(user_launcher OUTPUT user.exe INSTALLER "${INPUTS}/setup.exe"
                         PACKAGE "${INPUTS}/product.msi" TITLE "Package user")
endif()
]])
file(MAKE_DIRECTORY "${user}/inputs")
file(COPY_FILE "${consumer}/setup.exe" "${user}/inputs/setup.exe")
file(COPY_FILE "${consumer}/example-product.msi" "${user}/inputs/product.msi")

function(configure_user build_dir)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${user_environment}
                          "${CMAKE_COMMAND}" -S "${user}/source" -B "${user}/${build_dir}"
                          -G Ninja "-DINPUTS=${user}/inputs" ${ARGN}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(result "${result}" PARENT_SCOPE)
  set(output "${output}" PARENT_SCOPE)
endfunction()

# An unknown component is refused with the names of the real ones.
configure_user(unknown "-DCMAKE_PREFIX_PATH=${tree}" -DUSER_COMPONENTS=frobnicate)
if(result STREQUAL "0")
  message(FATAL_ERROR "find_package(Vossimere COMPONENTS frobnicate) succeeded:\n${output}")
endif()
expect_contains("${output}" [[Vossimere has no component "frobnicate". Its components are "launcher"]]
                "an unknown component")
expect_contains("${output}" [[and "pack"]] "an unknown component")

# A tree without the launcher serves a project that asks only for the pack tool; a project that
# asks for the launcher is told it is missing.
configure_user(pack-only "-DCMAKE_PREFIX_PATH=${no_launcher}" -DUSER_COMPONENTS=pack)
if(NOT result STREQUAL "0")
  message(FATAL_ERROR "COMPONENTS pack on a tree without the launcher failed:\n${output}")
endif()
expect_contains("${output}" "Vossimere::pack is ${no_launcher}/bin/vossimere-pack" "COMPONENTS pack")
expect_lacks("${output}" "Vossimere::launcher is" "COMPONENTS pack")
configure_user(launcher-missing "-DCMAKE_PREFIX_PATH=${no_launcher}"
               -DUSER_COMPONENTS=launcher)
if(result STREQUAL "0")
  message(FATAL_ERROR "COMPONENTS launcher on a tree without the launcher succeeded")
endif()
expect_contains("${output}" "this install tree holds no launcher" "COMPONENTS launcher")

# vossimere_add_launcher() runs the tools of the imported targets, and passes the
# SOURCE_DATE_EPOCH of the configure step on to the pack tool.
set(recording_tool "${user}/recording-pack")
file(WRITE "${recording_tool}"
     "#!/bin/sh\necho \"SOURCE_DATE_EPOCH=\${SOURCE_DATE_EPOCH-unset}\" > '${user}/seen'\n"
     "exec '${pack}' \"$@\"\n")
file(CHMOD "${recording_tool}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
set(user_environment SOURCE_DATE_EPOCH=1709285400)
configure_user(full "-DCMAKE_PREFIX_PATH=${tree}" "-DVossimere_PACK_EXECUTABLE=${recording_tool}")
set(user_environment)
if(NOT result STREQUAL "0")
  message(FATAL_ERROR "the package user did not configure:\n${output}")
endif()
expect_contains("${output}" "Vossimere::launcher is ${tree}/bin/Vossimere.exe" "imported launcher")
expect_contains("${output}" "Vossimere::pack is ${recording_tool}" "imported pack tool")
run_checked(COMMAND "${CMAKE_COMMAND}" --build "${user}/full")
file(READ "${user}/seen" seen)
if(NOT seen STREQUAL "SOURCE_DATE_EPOCH=1709285400\n")
  message(FATAL_ERROR "the pack tool saw ${seen}")
endif()
run_checked(COMMAND "${pack}" verify "${user}/full/user.exe")

# A cross-compiling toolchain that finds packages only under its root path finds the tree through
# Vossimere_DIR or with the tree added to its roots (docs/publishing.md), not through
# CMAKE_PREFIX_PATH.
set(root_only "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY)
configure_user(root-only-prefix ${root_only} "-DCMAKE_PREFIX_PATH=${tree}")
if(result STREQUAL "0")
  message(FATAL_ERROR "CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY found a tree outside the root")
endif()
configure_user(root-only-dir ${root_only} "-DVossimere_DIR=${tree}/lib/cmake/Vossimere")
if(NOT result STREQUAL "0")
  message(FATAL_ERROR "Vossimere_DIR with CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY failed:\n${output}")
endif()
file(WRITE "${user}/rooted-toolchain.cmake"
     "include(\"${TOOLCHAIN}\")\nset(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)\n"
     "list(APPEND CMAKE_FIND_ROOT_PATH \"${tree}\")\n")
configure_user(root-only-root "-DCMAKE_TOOLCHAIN_FILE=${user}/rooted-toolchain.cmake")
if(NOT result STREQUAL "0")
  message(FATAL_ERROR "the tree on CMAKE_FIND_ROOT_PATH was not found:\n${output}")
endif()
expect_contains("${output}" "Vossimere::pack is ${pack}" "the tree on CMAKE_FIND_ROOT_PATH")
