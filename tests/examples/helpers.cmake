# Helpers for the examples' tests, which are CMake scripts run by CTest (registered in
# examples/CMakeLists.txt).

# Runs a command; fails the test with its output unless it exits 0. The output is left in
# <out_var> when one is given with OUTPUT_VARIABLE.
function(run_checked)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "OUTPUT_VARIABLE;WORKING_DIRECTORY" "COMMAND")
  if(NOT arg_WORKING_DIRECTORY)
    set(arg_WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
  execute_process(COMMAND ${arg_COMMAND} WORKING_DIRECTORY "${arg_WORKING_DIRECTORY}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result STREQUAL "0")
    string(REPLACE ";" " " shown "${arg_COMMAND}")
    message(FATAL_ERROR "failed (${result}): ${shown}\n${output}")
  endif()
  if(arg_OUTPUT_VARIABLE)
    set(${arg_OUTPUT_VARIABLE} "${output}" PARENT_SCOPE)
  endif()
endfunction()

function(expect_file path)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "expected ${path} to exist")
  endif()
endfunction()

function(expect_same_bytes actual expected)
  file(SHA256 "${actual}" actual_hash)
  file(SHA256 "${expected}" expected_hash)
  if(NOT actual_hash STREQUAL expected_hash)
    message(FATAL_ERROR "${actual} differs from ${expected}")
  endif()
endfunction()

# The first Wine program of a session starts Wine's own services, which hold the output they
# inherit open until the session ends, some 20 s after its last program: a check that reads a
# program's output would wait that long. Started here without a pipe, they hold none.
function(start_wine_services wine_run)
  execute_process(COMMAND "${wine_run}" cmd /c exit OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
endfunction()

# Makes a zip into the emptied `folder` as scripts/package makes it (SOURCE_DATE_EPOCH set, left
# set) by running the CMake script `script` with -DOUTPUT_DIR=<folder> and the -D arguments that
# follow; fails unless exactly one file matching `pattern` comes out. Sets <zip_var> to its path
# and <top_var> to the name of its one folder.
function(make_packaged_zip folder script pattern zip_var top_var)
  set(ENV{SOURCE_DATE_EPOCH} 1700000000)
  file(REMOVE_RECURSE "${folder}")
  file(MAKE_DIRECTORY "${folder}")
  run_checked(COMMAND "${CMAKE_COMMAND}" ${ARGN} "-DOUTPUT_DIR=${folder}" -P "${script}")
  file(GLOB zips "${folder}/${pattern}")
  list(LENGTH zips count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one ${pattern} in ${folder}, found: ${zips}")
  endif()
  string(REGEX REPLACE "\\.zip$" "" top "${zips}")
  get_filename_component(top "${top}" NAME)
  set(${zip_var} "${zips}" PARENT_SCOPE)
  set(${top_var} "${top}" PARENT_SCOPE)
endfunction()

# Fails the test unless `zip` holds exactly the files `expected` (paths inside its one folder
# `top`), in the byte order of their paths; `what` names the zip in the message.
function(expect_zip_entries zip top expected what)
  list(TRANSFORM expected PREPEND "${top}/")
  list(SORT expected COMPARE STRING)
  run_checked(COMMAND "${CMAKE_COMMAND}" -E tar tf "${zip}" OUTPUT_VARIABLE listing)
  string(STRIP "${listing}" listing)
  string(REPLACE "\n" ";" listing "${listing}")
  if(NOT listing STREQUAL expected)
    string(REPLACE ";" "\n  " listing "${listing}")
    string(REPLACE ";" "\n  " expected "${expected}")
    message(FATAL_ERROR "${what} holds\n  ${listing}\nexpected, in this order\n  ${expected}")
  endif()
endfunction()

# CMake wraps the lines of its messages, so runs of spaces and line ends count as one space.
function(expect_contains text expected what)
  string(REGEX REPLACE "[ \n]+" " " flat "${text}")
  string(FIND "${flat}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${what}: expected to find\n  ${expected}\nin\n${text}")
  endif()
endfunction()

function(expect_lacks text unexpected what)
  string(FIND "${text}" "${unexpected}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${what}: did not expect\n  ${unexpected}\nin\n${text}")
  endif()
endfunction()

# The Unix path of a folder of the Wine prefix, given as a Windows path (e.g. the TEMP value).
function(wine_unix_path wine_run windows_path out_var)
  run_checked(COMMAND "${wine_run}" winepath -u "${windows_path}" OUTPUT_VARIABLE path)
  string(STRIP "${path}" path)
  set(${out_var} "${path}" PARENT_SCOPE)
endfunction()

# The temporary folder of a program started from Linux in the build's Wine prefix, as a Windows
# path and as a Unix path.
function(wine_temp_folder wine_run windows_var unix_var)
  run_checked(COMMAND "${wine_run}" cmd /c "echo %TEMP%" OUTPUT_VARIABLE temp)
  string(STRIP "${temp}" temp)
  wine_unix_path("${wine_run}" "${temp}" unix)
  set(${windows_var} "${temp}" PARENT_SCOPE)
  set(${unix_var} "${unix}" PARENT_SCOPE)
endfunction()

# Runs a Windows program under read-error-box in `folder` and returns the whole exit code the
# reader saw (Wine passes only its low 8 bits on to Linux); fails the test when the program showed
# a box or did not end. Needs WINE_RUN and READER.
function(exit_code_in folder out_var)
  execute_process(COMMAND "${WINE_RUN}" "${READER}" --timeout 300 ${ARGN}
                  WORKING_DIRECTORY "${folder}" RESULT_VARIABLE result OUTPUT_VARIABLE output
                  ERROR_VARIABLE output)
  # No box: the reader ends with 1, after the exit code line.
  if(NOT result STREQUAL "1" OR NOT output MATCHES "boxes:   0\nexit code: ([0-9]+)\n$")
    message(FATAL_ERROR "${ARGN} in ${folder}: unexpected (${result}):\n${output}")
  endif()
  set(${out_var} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()
