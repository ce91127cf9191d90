# Shared by both Windows cross builds, everything linked statically so only Windows' own DLLs
# are imported. QUENLITH_THREADS is the compiler's thread model: posix where googletest is
# built (it needs std::mutex), win32 where nothing needs threads (no pthreads emulation).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUENLITH_MINGW}-gcc-${QUENLITH_THREADS})
set(CMAKE_CXX_COMPILER ${QUENLITH_MINGW}-g++-${QUENLITH_THREADS})
set(CMAKE_RC_COMPILER ${QUENLITH_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUENLITH_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Test programs run under Wine, each in a sandboxed prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/run-in-sandbox.sh)
