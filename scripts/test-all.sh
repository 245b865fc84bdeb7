#!/usr/bin/env bash
# Every test stage, in order; stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-2}"

stage() { printf '\n==== %s ====\n' "$*"; }

stage "native build and tests"
cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default

stage "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan
