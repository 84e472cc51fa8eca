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
include("${CMAKE_CURRENT_LIST_DIR}/ReproducibleZip.cmake")
release_version("${BUILD_DIR}" WindowsZip.cmake VERSION)

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

zip_stage("${stage}" "${name}" "${zip}")
