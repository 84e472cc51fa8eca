# What the Windows release and the Windows test kit (WindowsZip.cmake, TestKit.cmake) share: the
# version of the build they pack, and the packing of a staged folder into a reproducible zip.

# Sets `out_var` to the version of the configured build `build_dir`, as its CPack configuration
# holds it, after checking that SOURCE_DATE_EPOCH gives the time of every entry; `script` names the
# caller in the messages.
function(release_version build_dir script out_var)
  file(STRINGS "${build_dir}/CPackConfig.cmake" version_line
       REGEX "^set\\(CPACK_PACKAGE_VERSION \"[0-9.]+\"\\)$")
  if(NOT version_line MATCHES "\"([0-9.]+)\"")
    message(FATAL_ERROR "${build_dir} is not a configured build (no CPACK_PACKAGE_VERSION)")
  endif()
  if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    message(FATAL_ERROR "${script}: set SOURCE_DATE_EPOCH, the time of every entry")
  endif()
  set(${out_var} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

# Packs the folder `name` inside `stage` as `zip`: the files alone, in the byte order of their
# paths, each with the time SOURCE_DATE_EPOCH gives (cmake's archive writer reads it); then removes
# the stage.
function(zip_stage stage name zip)
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
endfunction()
