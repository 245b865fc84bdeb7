# 64-bit Windows with Debian's MinGW-w64 compilers. The host application itself is 32-bit; this
# build exists because wine64 runs it here: the module, the stand-in host's loader and a check
# program are run under Windows' own loader (scripts/check-windows.sh). The -posix compilers, whose
# C++ runtime has std::thread (the Hough transform's fast path uses it); every runtime library is
# linked statically (module/CMakeLists.txt, tools/module-check/CMakeLists.txt).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PHOTARION_MINGW_TRIPLET x86_64-w64-mingw32)

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
