set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUENLITH_MINGW i686-w64-mingw32)
# The product needs no threads; its test programs (googletest) ask for posix.
if(NOT QUENLITH_THREADS)
    set(QUENLITH_THREADS win32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUENLITH_THREADS)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
