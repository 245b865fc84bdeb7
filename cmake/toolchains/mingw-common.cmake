# What both Windows toolchains share: Debian's MinGW-w64 -posix compilers for the triplet the
# including file sets (their C++ runtime has std::thread, which the Hough transform's fast path
# uses), and finding libraries and headers in that triplet's root only.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${PHOTARION_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PHOTARION_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PHOTARION_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${PHOTARION_MINGW_TRIPLET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${PHOTARION_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/${PHOTARION_MINGW_TRIPLET}/lib/pkgconfig")
