# read-error-box reads the launcher's box as a user sees it: a launcher without a payload shows
# one box with an empty caption and "アンカーがありません。", and ends with that message's exit code,
# 11, once OK is pressed. A program that shows no box is reported as such.
#   -DWINE_RUN= -DREADER= -DLAUNCHER= -DSETUP= -DWORK_DIR=
include("${CMAKE_CURRENT_LIST_DIR}/helpers.cmake")

execute_process(COMMAND "${WINE_RUN}" "${READER}" --timeout 60 "Z:${LAUNCHER}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
set(expected "caption: (empty)\ntext:    アンカーがありません。\nboxes:   1\nexit code: 11\n")
if(NOT result STREQUAL "0" OR NOT output STREQUAL expected)
  message(FATAL_ERROR "bare launcher (${result}):\n${output}${errors}\nexpected:\n${expected}")
endif()

# setup.exe in an empty folder ends at once without a box.
file(REMOVE_RECURSE "${WORK_DIR}/empty")
file(MAKE_DIRECTORY "${WORK_DIR}/empty")
execute_process(COMMAND "${WINE_RUN}" "${READER}" "Z:${SETUP}" WORKING_DIRECTORY "${WORK_DIR}/empty"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result STREQUAL "1" OR NOT output STREQUAL "boxes:   0\nexit code: 1619\n")
  message(FATAL_ERROR "no box (${result}):\n${output}${errors}")
endif()

execute_process(COMMAND "${WINE_RUN}" "${READER}" RESULT_VARIABLE result OUTPUT_VARIABLE output
                ERROR_VARIABLE output)
if(NOT result STREQUAL "2")
  message(FATAL_ERROR "no program given: exit code ${result}, expected 2\n${output}")
endif()
expect_contains("${output}" "usage: read-error-box" "no program given")
