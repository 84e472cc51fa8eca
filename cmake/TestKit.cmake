# Makes the Windows test kit, vossimere-<version>-windows-x86_64-tests.zip: the Windows build's test
# programs, the Vossimere.exe and vossimere-pack.exe they test, every fixture, and run-tests.cmd,
# in one folder of the same name, to be unpacked anywhere on a Windows machine and run with
# nothing else installed. Run as a script after the build's test_kit target is built:
#   cmake -DSOURCE_DIR=<source tree> -DBUILD_DIR=<Windows build> -DOUTPUT_DIR=<folder> -P TestKit.cmake
# The build writes what the kit holds into test-kit/ (tests/kit/CMakeLists.txt): tests.txt, the
# runner's list, and files.txt, the files of its bin folder.
#
#   run-tests.cmd          starts bin\run-tests.exe (tests/kit/run_tests_win32.cpp)
#   bin\                   the runner, tests.txt, the programs, the programs under test, fixtures
#   docs\format.md         the document a pack test holds to the code
#   README.md, LICENSE     the maintainers' notes on the tests, the project's license
#   googletest-copyright   the test programs carry GoogleTest, under its own license
#
# Reproducible as the Windows zip is: the files alone, in the byte order of their paths, each with
# the time SOURCE_DATE_EPOCH gives and fixed permissions; written under a temporary name and
# renamed.
foreach(required SOURCE_DIR BUILD_DIR OUTPUT_DIR)
  if(NOT ${required})
    message(FATAL_ERROR "TestKit.cmake needs -D${required}=")
  endif()
endforeach()
include("${CMAKE_CURRENT_LIST_DIR}/ReproducibleZip.cmake")
release_version("${BUILD_DIR}" TestKit.cmake VERSION)
if(NOT EXISTS "${BUILD_DIR}/test-kit/files.txt")
  message(FATAL_ERROR "${BUILD_DIR} is not a Windows build with the test kit (no test-kit/files.txt)")
endif()

set(name "vossimere-${VERSION}-windows-x86_64-tests")
set(stage "${OUTPUT_DIR}/${name}.stage")
set(top "${stage}/${name}")
set(zip "${OUTPUT_DIR}/${name}.zip")
file(REMOVE_RECURSE "${stage}")
file(REMOVE "${zip}")

# Copies one file into the kit under `destination` (a path inside it), readable by all.
function(kit_file source destination)
  if(NOT EXISTS "${source}")
    message(FATAL_ERROR "${source} is missing: build the test_kit target of ${BUILD_DIR} first")
  endif()
  if(EXISTS "${top}/${destination}")
    message(FATAL_ERROR "two files of the kit are named ${destination}")
  endif()
  get_filename_component(folder "${top}/${destination}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${source}" "${top}/${destination}")
  file(CHMOD "${top}/${destination}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

file(STRINGS "${BUILD_DIR}/test-kit/files.txt" programs)
foreach(program IN LISTS programs)
  get_filename_component(file_name "${program}" NAME)
  kit_file("${program}" "bin/${file_name}")
endforeach()
kit_file("${BUILD_DIR}/test-kit/tests.txt" bin/tests.txt)
kit_file("${SOURCE_DIR}/docs/format.md" docs/format.md)
kit_file("${SOURCE_DIR}/tests/README.md" README.md)
kit_file("${SOURCE_DIR}/LICENSE" LICENSE)
kit_file("/usr/share/doc/googletest/copyright" googletest-copyright)
# cmd reads a batch file by lines ending in CR LF.
file(READ "${SOURCE_DIR}/tests/kit/run-tests.cmd" script)
string(REPLACE "\n" "\r\n" script "${script}")
file(WRITE "${top}/run-tests.cmd" "${script}")
file(CHMOD "${top}/run-tests.cmd" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

zip_stage("${stage}" "${name}" "${zip}")
