# The Windows release as a Windows user gets it: the zip scripts/package makes, unpacked into a
# folder of the Wine prefix whose path holds spaces and Japanese characters, and the pack tool
# used from there with Windows paths (drive letters, backslashes, names with spaces and Japanese
# characters), then the launcher file it built run with its installer's exit code coming back.
# What the Linux tool's tests hold already (every rule, every refusal, the reports' fields) is not
# repeated; what is checked is what differs on Windows: the zip itself, Windows paths in and out,
# and the tool's text in a console.
#   -DSOURCE_DIR= -DBUILD_DIR= -DWINE_RUN= -DREADER= -DSETUP= -DCONSOLE_SCREEN= -DWORK_DIR=
include("${CMAKE_CURRENT_LIST_DIR}/helpers.cmake")
# Wine reads the command line it is given by the locale's character set.
set(ENV{LC_ALL} C.UTF-8)
start_wine_services("${WINE_RUN}")

# The zip, made as scripts/package makes it: the files alone, in the byte order of their paths.
make_packaged_zip("${WORK_DIR}" "${SOURCE_DIR}/cmake/WindowsZip.cmake"
                  "vossimere-*-windows-x86_64.zip" release_zip top "-DBUILD_DIR=${BUILD_DIR}")

file(GLOB_RECURSE docs RELATIVE "${SOURCE_DIR}/docs" "${SOURCE_DIR}/docs/*.md" "${SOURCE_DIR}/docs/*.png")
set(expected bin/Vossimere.exe bin/vossimere-pack.exe lib/cmake/Vossimere/VossimereConfig.cmake
             lib/cmake/Vossimere/VossimereConfigVersion.cmake share/doc/vossimere/LICENSE
             share/doc/vossimere/README.md)
foreach(doc IN LISTS docs)
  list(APPEND expected "share/doc/vossimere/${doc}")
endforeach()
expect_zip_entries("${release_zip}" "${top}" "${expected}" "the zip")

# Unpacked where a user might keep tools.
set(home_windows "C:\\Vossimere テスト\\ツール 置き場")
wine_unix_path("${WINE_RUN}" "${home_windows}" home)
file(REMOVE_RECURSE "${home}")
file(MAKE_DIRECTORY "${home}")
run_checked(COMMAND "${CMAKE_COMMAND}" -E tar xf "${release_zip}" WORKING_DIRECTORY "${home}")
set(tool "${home_windows}\\${top}\\bin\\vossimere-pack.exe")
set(stub "${home_windows}\\${top}\\bin\\Vossimere.exe")
expect_same_bytes("${home}/${top}/bin/Vossimere.exe" "${BUILD_DIR}/Vossimere.exe")

# The inputs: the example installer program, which exits with 1619 when no package is beside it,
# and a package that is none (so the launcher file's run is quick and its code known).
set(inputs_windows "${home_windows}\\入力 ファイル")
wine_unix_path("${WINE_RUN}" "${inputs_windows}" inputs)
file(MAKE_DIRECTORY "${inputs}")
configure_file("${SETUP}" "${inputs}/セット アップ.exe" COPYONLY)
file(WRITE "${inputs}/説明 書.txt" "not a package\n")

# Runs the unpacked tool in `folder` (a Unix path), checks its exit code, and leaves its standard
# output in `out_var`.
function(pack_tool folder want out_var)
  execute_process(COMMAND "${WINE_RUN}" "${tool}" ${ARGN} WORKING_DIRECTORY "${folder}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT result STREQUAL want)
    string(REPLACE ";" " " shown "${ARGN}")
    message(FATAL_ERROR "vossimere-pack.exe ${shown}: exit code ${result}, expected ${want}\n"
                        "${output}${errors}")
  endif()
  set(${out_var} "${output}" PARENT_SCOPE)
endfunction()

# build: inputs by absolute Windows paths, the output by a path relative to the current folder,
# with backslashes.
file(MAKE_DIRECTORY "${home}/出力 先")
pack_tool("${home}" 0 output build --stub "${stub}"
          --installer "${inputs_windows}\\セット アップ.exe"
          --package "${inputs_windows}\\説明 書.txt" --title "製品 テスト 2.0"
          -o "出力 先\\製品 セットアップ.exe")
set(launcher_windows "${home_windows}\\出力 先\\製品 セットアップ.exe")
set(launcher "${home}/出力 先/製品 セットアップ.exe")
expect_file("${launcher}")

pack_tool("${home}" 0 output verify "${launcher_windows}")
expect_contains("${output}" "${launcher_windows}: every rule holds" "verify")

pack_tool("${home}" 0 report inspect --json "${launcher_windows}")
foreach(field_value "title;製品 テスト 2.0" "installerName;セット アップ.exe"
                    "packageName;説明 書.txt")
  list(GET field_value 0 field)
  list(GET field_value 1 value)
  string(JSON found GET "${report}" names ${field})
  if(NOT found STREQUAL value)
    message(FATAL_ERROR "inspect --json: ${field} is '${found}', expected '${value}'")
  endif()
endforeach()

set(unpacked_windows "${home_windows}\\展開 先")
pack_tool("${home}" 0 output extract "${launcher_windows}" -d "${unpacked_windows}")
wine_unix_path("${WINE_RUN}" "${unpacked_windows}" unpacked)
expect_same_bytes("${unpacked}/セット アップ.exe" "${inputs}/セット アップ.exe")
expect_same_bytes("${unpacked}/説明 書.txt" "${inputs}/説明 書.txt")

# The launcher file it built runs, and the installer's own exit code comes back through it.
exit_code_in("${home}" code "${launcher_windows}")
if(NOT code EQUAL 1619)
  message(FATAL_ERROR "the built launcher file ended with ${code}, expected setup's 1619")
endif()

# In a console: the help shows line for line as the tool writes it to a pipe, a Japanese name in
# an error message shows as it is, and the console's code page is left as it was.
pack_tool("${home}" 0 piped_help --help)
string(REPLACE "\r\n" "\n" piped_help "${piped_help}")
run_checked(COMMAND "${WINE_RUN}" "Z:${CONSOLE_SCREEN}" "${tool}" --help OUTPUT_VARIABLE screen)
string(REPLACE "\r\n" "\n" screen "${screen}")
if(NOT screen MATCHES "^code page: ([0-9]+)\n(.*)\nexit code: 0\ncode page: ([0-9]+)\n$")
  message(FATAL_ERROR "--help in a console:\n${screen}")
endif()
set(console_help "${CMAKE_MATCH_2}")
if(NOT CMAKE_MATCH_1 STREQUAL CMAKE_MATCH_3)
  message(FATAL_ERROR "the tool left the console's code page ${CMAKE_MATCH_3}, not ${CMAKE_MATCH_1}")
endif()
string(REGEX REPLACE "\n+$" "" console_help "${console_help}")
string(REGEX REPLACE "\n+$" "" piped_help "${piped_help}")
if(NOT console_help STREQUAL piped_help)
  message(FATAL_ERROR "--help in a console shows\n${console_help}\ninstead of\n${piped_help}")
endif()

set(missing "${home_windows}\\見つからない ファイル.exe")
run_checked(COMMAND "${WINE_RUN}" "Z:${CONSOLE_SCREEN}" "${tool}" inspect "${missing}"
            OUTPUT_VARIABLE screen)
expect_contains("${screen}" "vossimere-pack inspect: " "an error in a console")
expect_contains("${screen}" "${missing}" "a Japanese name in an error in a console")
expect_contains("${screen}" "exit code: 2" "an error in a console")
