# Makes the Windows release, vossimere-<version>-windows-x86_64.zip: the install tree of a Windows
# build (bin/Vossimere.exe, bin/vossimere-pack.exe, share/doc/vossimere/ with the LICENSE, the
# CMake package) in one folder of the same name, to be unpacked anywhere. Run as a script after
# Vossimere and vossimere-pack are built:
#   cmake -DBUILD_DIR=<Windows build> -DOUTPUT_DIR=<folder> -P WindowsZip.cmake
# The version is the build's, as its CPack configuration holds it.
# The zip is reproducible: the entries are the files alone, in the byte order of their paths, each
# with the time SOURCE_DATE_EPOCH gives (cmake's archive writer reads it; scripts/package sets it
# to the last commit's time), and install gives each file fixed permissions.
foreach(required BUILD_DIR OUTPUT_DIR)
  if(NOT ${required})
    message(FATAL_ERROR "WindowsZip.cmake needs -D${required}=")
  endif()
endforeach()
file(STRINGS "${BUILD_DIR}/CPackConfig.cmake" version_line
     REGEX "^set\\(CPACK_PACKAGE_VERSION \"[0-9.]+\"\\)$")
if(NOT version_line MATCHES "\"([0-9.]+)\"")
  message(FATAL_ERROR "${BUILD_DIR} is not a configured build (no CPACK_PACKAGE_VERSION)")
endif()
set(VERSION "${CMAKE_MATCH_1}")
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  message(FATAL_ERROR "WindowsZip.cmake: set SOURCE_DATE_EPOCH, the time of every entry")
endif()

set(name "vossimere-${VERSION}-windows-x86_64")
set(stage "${OUTPUT_DIR}/${name}.stage")
set(zip "${OUTPUT_DIR}/${name}.zip")
file(REMOVE_RECURSE "${stage}")
file(REMOVE "${zip}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${stage}/${name}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result STREQUAL "0")
  message(FATAL_ERROR "installing ${BUILD_DIR} failed (${result})")
endif()

file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE "${stage}" "${stage}/${name}/*")
list(SORT entries COMPARE STRING)
list(JOIN entries "\n" listing)
file(WRITE "${stage}/entries.txt" "${listing}\n")
# Written under a temporary name and renamed, so an interrupted run leaves no zip that looks done.
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${zip}.tmp" --format=zip
                        "--files-from=entries.txt"
                WORKING_DIRECTORY "${stage}" RESULT_VARIABLE result)
if(NOT result STREQUAL "0")
  file(REMOVE "${zip}.tmp")
  message(FATAL_ERROR "packing ${zip} failed (${result})")
endif()
file(RENAME "${zip}.tmp" "${zip}")
file(REMOVE_RECURSE "${stage}")
message(STATUS "made ${zip}")
