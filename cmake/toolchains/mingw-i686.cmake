# 32-bit Windows with Debian's MinGW-w64 compilers: the module as the host application loads it.
# Every runtime library is linked statically into the DLL (module/CMakeLists.txt).
#
# SSE2 arithmetic instead of the x87 unit, as in the 32-bit Linux build, so that the image
# operations give the same bits on every target.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PHOTARION_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
