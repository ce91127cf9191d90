set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUENLITH_MINGW x86_64-w64-mingw32)
set(QUENLITH_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The tests of this build run under wine64, each in a sandboxed prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/run-in-sandbox.sh)
