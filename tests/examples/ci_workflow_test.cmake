# .github/workflows/ci.yml holds to GitHub's workflow schema (action-validator, from npm, carries
# it), runs the README's test command and scripts/package, and hands the Windows jobs the test kit
# by a name that matches the kit scripts/package makes.
#   -DSOURCE_DIR= -DBUILD_DIR= -DVALIDATOR= -DWORK_DIR=
include("${CMAKE_CURRENT_LIST_DIR}/helpers.cmake")
set(workflow "${SOURCE_DIR}/.github/workflows/ci.yml")
if(NOT EXISTS "${VALIDATOR}")
  message(FATAL_ERROR "action-validator is not installed: run scripts/install-deps")
endif()

execute_process(COMMAND "${VALIDATOR}" "${workflow}" RESULT_VARIABLE result
                OUTPUT_VARIABLE output ERROR_VARIABLE output)
message(STATUS "action-validator ${workflow}: exit code ${result}, output:\n${output}")
if(NOT result STREQUAL "0")
  message(FATAL_ERROR "the workflow breaks GitHub's workflow schema")
endif()
# The validator refuses a job that lacks its runner, as the schema says.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(READ "${workflow}" text)
string(REPLACE "runs-on: ubuntu-latest" "runs-onn: ubuntu-latest" broken "${text}")
file(WRITE "${WORK_DIR}/broken.yml" "${broken}")
execute_process(COMMAND "${VALIDATOR}" "${WORK_DIR}/broken.yml" RESULT_VARIABLE result
                OUTPUT_QUIET ERROR_QUIET)
if(result STREQUAL "0")
  message(FATAL_ERROR "action-validator accepts a job without runs-on: it checks nothing")
endif()

foreach(wanted "container: debian:12" "run: scripts/test-all" "run: scripts/package"
               "os: [windows-2022, windows-2025]" "run-tests.cmd")
  expect_contains("${text}" "${wanted}" "ci.yml")
endforeach()

# The kit, as scripts/package makes it; every name pattern of the workflow that means the kit
# matches its name, and the pattern of the Windows release does not.
set(ENV{SOURCE_DATE_EPOCH} 1700000000)
run_checked(COMMAND "${CMAKE_COMMAND}" "-DSOURCE_DIR=${SOURCE_DIR}" "-DBUILD_DIR=${BUILD_DIR}"
                    "-DOUTPUT_DIR=${WORK_DIR}" -P "${SOURCE_DIR}/cmake/TestKit.cmake")
file(GLOB kits RELATIVE "${WORK_DIR}" "${WORK_DIR}/*.zip")
list(LENGTH kits count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one kit in ${WORK_DIR}, found: ${kits}")
endif()
string(REGEX MATCHALL "vossimere[^ '\"\n]*\\.zip" patterns "${text}")
set(kit_patterns 0)
foreach(pattern IN LISTS patterns)
  string(REPLACE "." "\\." regex "${pattern}")
  string(REPLACE "*" "[^/]*" regex "${regex}")
  if(pattern MATCHES "-tests\\.zip$")
    math(EXPR kit_patterns "${kit_patterns} + 1")
    if(NOT kits MATCHES "^${regex}$")
      message(FATAL_ERROR "ci.yml names the kit ${pattern}; scripts/package makes ${kits}")
    endif()
  elseif(kits MATCHES "^${regex}$")
    message(FATAL_ERROR "ci.yml's ${pattern}, not the kit's, matches the kit ${kits}")
  endif()
endforeach()
if(kit_patterns LESS 2)
  message(FATAL_ERROR "ci.yml should name the kit where it keeps it and where it unpacks it")
endif()
