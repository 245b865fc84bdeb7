#!/usr/bin/env bash
# Installs the Debian packages this project builds and tests with, when any is missing.
# Usage: scripts/install-deps.sh [all|build] [--print]
#   build: what the native build and the demo need; all: every test stage too.
#   --print: list the packages instead of installing them.
set -euo pipefail

# The Python bridge (python/) and its tests are part of the native build and its tests: Python's
# development files, pybind11, NumPy and pytest, and matplotlib for the example the tests run.
build_packages=(cmake ninja-build g++ make python3 pkg-config libgtest-dev
                libtiff-dev libpng-dev libffi-dev
                python3-dev pybind11-dev python3-numpy python3-pytest python3-matplotlib)
# scikit-image gives the Python example a photograph to work on (it falls back to the sample).
extra_packages=(g++-multilib qemu-user g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 wine
                valgrind clang clang-format libclang-rt-14-dev binutils-mingw-w64-i686
                python3-skimage)

case "${1:-build}" in
  all) wanted=("${build_packages[@]}" "${extra_packages[@]}") ;;
  build) wanted=("${build_packages[@]}") ;;
  *) echo "usage: $0 [all|build]" >&2; exit 2 ;;
esac

if [ "${2:-}" = "--print" ]; then
  echo "${wanted[@]}"
  exit 0
fi

missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
