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
