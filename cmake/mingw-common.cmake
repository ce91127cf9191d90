# Shared by both Windows cross builds: mingw-w64's posix thread model (std::mutex for
# googletest), everything linked statically so only Windows' own DLLs are imported.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUENLITH_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUENLITH_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${QUENLITH_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUENLITH_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
