# The Windows test kit under a second Win32 implementation: test_kit_test.cmake run under Debian
# 13's Wine 10 (its 64-bit half), inside a scripts/wine10-chroot session that shares SHARE_DIR,
# which holds WORK_DIR, with the chroot. Runs where VOSSIMERE_WINE10=1; elsewhere, and where the
# machine cannot make the chroot's mounts, it is skipped and says why.
#   -DSOURCE_DIR= -DBUILD_DIR= -DSHARE_DIR= -DWORK_DIR=
set(chroot "${SOURCE_DIR}/scripts/wine10-chroot")
if(NOT "$ENV{VOSSIMERE_WINE10}" STREQUAL "1")
  message(STATUS "test_kit_runs_under_wine10 skipped: set VOSSIMERE_WINE10=1 to run the kit "
                 "under Wine 10 (scripts/test-all does; the first run downloads Debian 13)")
  return()
endif()
execute_process(COMMAND "${chroot}" can-run RESULT_VARIABLE usable OUTPUT_VARIABLE why
                ERROR_VARIABLE why)
if(NOT usable EQUAL 0)
  message(STATUS "test_kit_runs_under_wine10 skipped: ${why}")
  return()
endif()
file(MAKE_DIRECTORY "${SHARE_DIR}")
set(ENV{VOSSIMERE_WINE10_SHARE} "${SHARE_DIR}")
execute_process(COMMAND "${chroot}" session "${CMAKE_COMMAND}" "-DSOURCE_DIR=${SOURCE_DIR}"
                        "-DBUILD_DIR=${BUILD_DIR}" "-DWORK_DIR=${WORK_DIR}"
                        "-DWINE_RUN=${SOURCE_DIR}/scripts/wine10-run"
                        -P "${CMAKE_CURRENT_LIST_DIR}/test_kit_test.cmake"
                RESULT_VARIABLE result)
# Nothing of the session may be left mounted.
execute_process(COMMAND "${chroot}" check-unmounted RESULT_VARIABLE left)
if(NOT result EQUAL 0 OR NOT left EQUAL 0)
  message(FATAL_ERROR "the kit under Wine 10 failed (${result}), or left mounts (${left})")
endif()
