#!/bin/sh
# Test launcher of the 32-bit x86 build: usage run-x86-32.sh QEMU PROGRAM [ARGUMENTS...]
# A 32-bit ELF program runs under the user-mode emulator QEMU, which finds the multilib loader and
# libraries under / (-L /). Anything else, such as a script or a program of the build machine that
# a test runs (the Python interpreter), runs as it is.
qemu=$1
shift
program=$1
case "$program" in
  */*) ;;
  *) program=$(command -v "$program" 2>/dev/null || echo "$program") ;;
esac
if [ -f "$program" ] && [ "$(od -An -tx1 -N5 "$program" 2>/dev/null | tr -d ' \n')" = "7f454c4601" ]; then
  exec "$qemu" -L / "$@"
fi
exec "$@"
