# 64-bit Windows with Debian's MinGW-w64 compilers. The host application itself is 32-bit; this
# build exists because wine64 runs it here: the module, the stand-in host's loader and a check
# program are run under Windows' own loader (scripts/check-windows.sh). Every runtime library is
# linked statically (module/CMakeLists.txt, tools/module-check/CMakeLists.txt).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PHOTARION_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
