# 32-bit x86 Linux with the native compilers' multilib support (g++-multilib): the width of the
# host application's own process, built and tested on a 64-bit machine. The kernel here runs no
# 32-bit code itself, so every program built for this target runs under qemu-i386, which loads it
# with the system's multilib loader (/lib/ld-linux.so.2, libraries in /usr/lib32).
#
# SSE2 arithmetic instead of the x87 unit: doubles are rounded to double after every operation,
# as on 64-bit x86, so the image operations give the same bits on both widths.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

# Programs are the build machine's; libraries and headers must be 32-bit ones. pkg-config looks
# only at 32-bit package files, so that a 64-bit library is never picked up (none is installed:
# the command-line tools, which need libtiff/libpng/libffi, are left out of this build).
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/i386-linux-gnu/pkgconfig:/usr/lib32/pkgconfig")

# Test programs, and the test discovery of GoogleTest, run under the user-mode emulator, through a
# launcher that hands it only 32-bit programs: tests that run a program of the build machine (the
# Python interpreter) get the same launcher and must run natively.
find_program(PHOTARION_QEMU_I386 NAMES qemu-i386 qemu-i386-static)
if(PHOTARION_QEMU_I386)
  set(CMAKE_CROSSCOMPILING_EMULATOR "sh;${CMAKE_CURRENT_LIST_DIR}/run-x86-32.sh;${PHOTARION_QEMU_I386}")
else()
  message(WARNING "qemu-i386 not found (Debian package qemu-user): the 32-bit tests cannot run")
endif()
