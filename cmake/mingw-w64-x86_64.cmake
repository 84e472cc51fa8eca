# Cross build for 64-bit Windows with Debian's mingw-w64 (win32 thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VOSSIMERE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VOSSIMERE_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${VOSSIMERE_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${VOSSIMERE_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VOSSIMERE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Static C and C++ runtimes: every program built here imports system DLLs only.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
