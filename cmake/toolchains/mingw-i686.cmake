# 32-bit Windows with Debian's MinGW-w64 compilers: the module as the host application loads it.
# The -posix compilers, whose C++ runtime has std::thread (the Hough transform's fast path uses
# it); every runtime library is linked statically into the DLL (module/CMakeLists.txt).
#
# SSE2 arithmetic instead of the x87 unit, as in the 32-bit Linux build, so that the image
# operations give the same bits on every target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PHOTARION_MINGW_TRIPLET i686-w64-mingw32)

set(CMAKE_C_COMPILER ${PHOTARION_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PHOTARION_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PHOTARION_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${PHOTARION_MINGW_TRIPLET}-objdump)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

set(CMAKE_FIND_ROOT_PATH /usr/${PHOTARION_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/${PHOTARION_MINGW_TRIPLET}/lib/pkgconfig")
