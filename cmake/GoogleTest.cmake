# GoogleTest from Debian's sources (/usr/src/googletest), built with whatever compiler this build
# uses, so the same tests run natively and, cross-compiled, under Wine.
set(VOSSIMERE_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
if(NOT EXISTS "${VOSSIMERE_GTEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found at ${VOSSIMERE_GTEST_SOURCE}; "
                      "run scripts/install-deps (Debian package googletest).")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
if(WIN32)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
endif()
add_subdirectory("${VOSSIMERE_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest"
                 EXCLUDE_FROM_ALL SYSTEM)
# GoogleTest is not the project's code: a warning in it is not this build's to fail on.
target_compile_options(gtest PRIVATE -Wno-error)
target_compile_options(gtest_main PRIVATE -Wno-error)
if(WIN32)
  # mingw-w64's win32 thread model has no std::mutex; a Win32 stand-in is put in front of
  # GoogleTest's headers where GoogleTest would use it.
  target_compile_options(gtest PUBLIC
                         -include "${CMAKE_CURRENT_LIST_DIR}/gtest-mingw-notification.h")
endif()
include(GoogleTest)

# Registers a GoogleTest program. On the host each test case is its own CTest test; under Wine the
# whole program is one CTest test, so the suite pays for one Wine start instead of one per case.
function(vossimere_add_gtest target)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
