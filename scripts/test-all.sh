#!/usr/bin/env bash
# Every test stage, in order; stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-2}"

stage() { printf '\n==== %s ====\n' "$*"; }

stage "source format"
scripts/check-format.sh

stage "native build and tests"
cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default

stage "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan

stage "installed SDK package: the example plug-in built against it and run"
JOBS="$jobs" scripts/check-package.sh build/default

stage "32-bit x86: build and tests under qemu-i386"
cmake --preset x86-32
cmake --build --preset x86-32 -j "$jobs"
ctest --preset x86-32

stage "Windows: 32-bit DLL exports and dependencies; 64-bit DLL under wine64, bit for bit against native"
bash scripts/check-windows.sh all

stage "fuzzing (bounded): signatures, runner arguments, TIFF/PNG reader"
FUZZ_JOBS="$jobs" FUZZ_SECONDS="${FUZZ_SECONDS:-60}" scripts/fuzz.sh

stage "valgrind memcheck: the module, its lifecycle and the bad-input sweeps"
JOBS="$jobs" scripts/valgrind.sh
