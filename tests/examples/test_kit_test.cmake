# The Windows test kit as a maintainer runs it on a new Windows machine: the zip scripts/package
# makes, unpacked into a folder whose path holds spaces and Japanese characters, of a Wine prefix
# made for this run (neither the build's prefix, which other tests and the demo change, nor one a
# run before left), and run-tests.cmd started by Wine's own cmd from another folder. Nothing on
# the way is a Linux command: the end-to-end program is told to make no arrangement through one
# (its cases that need one are skipped with that reason). Every case passes or is skipped with its
# reason, and the closing line counts every case the kit's programs hold, as each program lists
# them.
#   -DSOURCE_DIR= -DBUILD_DIR= -DWORK_DIR=
#   -DWINE_RUN=  a command that runs a Windows program under the prefix VOSSIMERE_WINEPREFIX names,
#                making it on first use as scripts/wine-run does (scripts/wine-run itself, or
#                scripts/wine10-run inside a scripts/wine10-chroot session)
include("${CMAKE_CURRENT_LIST_DIR}/helpers.cmake")
# Wine reads the command line it is given by the locale's character set.
set(ENV{LC_ALL} C.UTF-8)

# The prefix lies in the work folder, which make_packaged_zip empties: the server of the last
# run's prefix ends first, and nothing may be mounted there (a chroot's) when it goes.
set(prefix "${WORK_DIR}/wineprefix")
if(EXISTS "${prefix}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env "WINEPREFIX=${prefix}" wineserver -k
                  OUTPUT_QUIET ERROR_QUIET)
endif()
run_checked(COMMAND "${SOURCE_DIR}/scripts/wine10-chroot" check-unmounted "${WORK_DIR}")
set(ENV{VOSSIMERE_WINEPREFIX} "${prefix}")

# The kit, made as scripts/package makes it.
make_packaged_zip("${WORK_DIR}" "${SOURCE_DIR}/cmake/TestKit.cmake"
                  "vossimere-*-windows-x86_64-tests.zip" kit_zip top
                  "-DSOURCE_DIR=${SOURCE_DIR}" "-DBUILD_DIR=${BUILD_DIR}")

# Its entries, in the byte order of their paths: every file the build lists for its bin folder,
# and the kit's own files.
file(STRINGS "${BUILD_DIR}/test-kit/files.txt" programs)
set(expected run-tests.cmd README.md LICENSE googletest-copyright docs/format.md bin/tests.txt)
foreach(program IN LISTS programs)
  get_filename_component(file_name "${program}" NAME)
  list(APPEND expected "bin/${file_name}")
endforeach()
expect_zip_entries("${kit_zip}" "${top}" "${expected}" "the kit")

set(home_windows "C:\\Vossimere テスト\\キット 置き場")
start_wine_services("${WINE_RUN}")
message(STATUS "the Wine prefix made for this run: ${prefix}")
wine_unix_path("${WINE_RUN}" "${home_windows}" home)
file(MAKE_DIRECTORY "${home}")
run_checked(COMMAND "${CMAKE_COMMAND}" -E tar xf "${kit_zip}" WORKING_DIRECTORY "${home}")
set(kit "${home}/${top}")
set(kit_windows "${home_windows}\\${top}")
file(READ "${kit}/run-tests.cmd" script HEX)
if(script MATCHES "[89a-f][0-9a-f]")
  string(REGEX MATCHALL ".." bytes "${script}")
  foreach(byte IN LISTS bytes)
    if(byte MATCHES "^[89a-f]")
      message(FATAL_ERROR "run-tests.cmd holds a byte that is not ASCII: 0x${byte}")
    endif()
  endforeach()
endif()

# The cases the kit's programs hold, as each lists them (the programs' own arguments given, as
# the end-to-end program checks them before it lists).
file(STRINGS "${kit}/bin/tests.txt" lines REGEX "^[^#]")
set(cases 0)
foreach(line IN LISTS lines)
  separate_arguments(words UNIX_COMMAND "${line}")
  list(POP_FRONT words program)
  set(arguments)
  foreach(word IN LISTS words)
    if(word MATCHES "^-")
      list(APPEND arguments "${word}")
    else()
      list(APPEND arguments "${kit_windows}\\bin\\${word}")
    endif()
  endforeach()
  run_checked(COMMAND "${WINE_RUN}" "${kit_windows}\\bin\\${program}" ${arguments}
                      --gtest_list_tests
              WORKING_DIRECTORY "${WORK_DIR}" OUTPUT_VARIABLE list)
  string(REGEX MATCHALL "\n  [^ \n][^\n]*" listed "\n${list}")
  list(LENGTH listed listed_count)
  math(EXPR cases "${cases} + ${listed_count}")
  list(APPEND program_names "${program}")
endforeach()

# run-tests.cmd through Wine's own cmd, started in a folder of its own. SOURCE_DATE_EPOCH, which
# made the kit, is left out, as on a Windows machine (the runner takes it from its programs too).
unset(ENV{SOURCE_DATE_EPOCH})
file(MAKE_DIRECTORY "${WORK_DIR}/elsewhere")
execute_process(COMMAND "${WINE_RUN}" cmd /c "${kit_windows}\\run-tests.cmd"
                WORKING_DIRECTORY "${WORK_DIR}/elsewhere" RESULT_VARIABLE result
                OUTPUT_VARIABLE output ERROR_VARIABLE output)
string(REPLACE "\r\n" "\n" output "${output}")
file(WRITE "${WORK_DIR}/run-tests-output.txt" "${output}")
message(STATUS "run-tests.cmd ended with ${result}; its output is in "
               "${WORK_DIR}/run-tests-output.txt")

string(REGEX REPLACE "\n+$" "" output "${output}")
if(NOT output MATCHES "\n([0-9]+) passed, ([0-9]+) failed, ([0-9]+) skipped$")
  message(FATAL_ERROR "run-tests.cmd's output does not end with its closing line:\n${output}")
endif()
set(passed ${CMAKE_MATCH_1})
set(failed ${CMAKE_MATCH_2})
set(skipped ${CMAKE_MATCH_3})
message(STATUS "closing line: ${passed} passed, ${failed} failed, ${skipped} skipped")
if(NOT result STREQUAL "0" OR NOT failed EQUAL 0)
  string(REGEX MATCH "\nFailed cases: .*" failures "${output}")
  message(FATAL_ERROR "run-tests.cmd ended with ${result}, ${failed} failed:${failures}")
endif()
math(EXPR counted "${passed} + ${failed} + ${skipped}")
if(NOT counted EQUAL cases)
  message(FATAL_ERROR "the closing line counts ${counted} cases; the programs list ${cases}")
endif()

# Each program's result, and each skipped case named with its reason.
foreach(program IN LISTS program_names)
  if(NOT output MATCHES "\n${program}: passed, exit code 0; its cases")
    message(FATAL_ERROR "no result line for ${program} in\n${output}")
  endif()
endforeach()
string(REGEX MATCH "\nSkipped cases: ${skipped}\n(  [^\n]*\n)*" skipped_block "${output}\n")
# A reason may hold a semicolon, which would split a CMake list: count on a copy without them.
string(REPLACE ";" "," skipped_lines "${skipped_block}")
string(REGEX MATCHALL "\n  [^ \n]+ [^ \n]+: [^\n]+" skipped_lines "${skipped_lines}")
list(LENGTH skipped_lines named)
if(NOT named EQUAL skipped)
  message(FATAL_ERROR "${skipped} skipped, but ${named} named with a reason:${skipped_block}")
endif()
expect_lacks("${skipped_block}" "(no reason given)" "the skipped cases")
message(STATUS "skipped:${skipped_block}")
