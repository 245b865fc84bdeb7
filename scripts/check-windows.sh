#!/usr/bin/env bash
# The Windows targets, built with Debian's MinGW-w64 compilers and checked here.
#
#   i686    the module as the host application loads it (a 32-bit DLL): its export table holds
#           exactly the six entry names, undecorated; it has its DllMain; it needs no DLL but the
#           system's (the C++ runtime, libgcc and winpthreads are linked in).
#   x86_64  the same checks on the 64-bit DLL; then, under wine64, the stand-in host's loader
#           (LoadLibrary) loads it, links, starts, runs HoughTransform and shiftImage on the golden
#           cases, unloads it and reports leaks (tools/module-check); its results must be the
#           native Linux build's, bit for bit.
#
# usage: scripts/check-windows.sh [all|i686|x86_64]      (default: all)
# The native reference comes from build/default (built here if missing). One wine session is
# started, in a fresh prefix that is removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-2}"
what="${1:-all}"

step() { printf -- '-- %s\n' "$*"; }
fail() {
  printf 'check-windows: %s\n' "$*" >&2
  exit 1
}

readonly expected_exports="PlugInCleanup PlugInRun PlugInShutdown PlugInStartup QZPlugIn_GetVersion QZPlugIn_Link_2"

# The named exports, sorted, one line.
named_exports() {
  "$1" -p "$2" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ' | sed 's/ $//'
}

# The number of entries of the export address table (named or by ordinal only).
export_count() {
  local hex
  hex=$("$1" -p "$2" | sed -n 's/^[[:space:]]*Export Address Table[[:space:]]*\([0-9a-fA-F]\{8\}\)$/\1/p' | head -1)
  echo $((16#${hex:-0}))
}

# Checks one PE file: format, exports (when it is the module), DllMain, dependencies.
check_pe() {
  local triplet=$1 file=$2 format=$3 kind=$4
  local objdump=${triplet}-objdump nm=${triplet}-nm
  [ -f "$file" ] || fail "$file was not built"
  local header
  header=$("$objdump" -f "$file")
  grep -q "file format $format" <<<"$header" || fail "$file is not $format"

  if [ "$kind" = module ]; then
    local exports count
    exports=$(named_exports "$objdump" "$file")
    count=$(export_count "$objdump" "$file")
    step "$file exports ($count): $exports"
    [ "$exports" = "$expected_exports" ] || fail "$file must export exactly: $expected_exports"
    [ "$count" -eq 6 ] || fail "$file has $count export entries, not 6"
    local symbols
    symbols=$("$nm" "$file")
    grep -Eq ' T _?DllMain(@12)?$' <<<"$symbols" || fail "$file has no DllMain"
    step "$file has its DllMain"
  fi

  local dlls
  dlls=$("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u | tr '\n' ' ' | sed 's/ $//')
  step "$file depends on: $dlls"
  local dll
  for dll in $dlls; do
    case "${dll,,}" in
      kernel32.dll | msvcrt.dll | ntdll.dll | user32.dll | advapi32.dll | api-ms-win-*.dll) ;;
      *) fail "$file depends on $dll, which is not a system DLL (a runtime DLL must be linked in)" ;;
    esac
  done
}

check_i686() {
  step "mingw-i686: configure and build"
  cmake --preset mingw-i686 >/dev/null
  cmake --build --preset mingw-i686 -j "$jobs"
  check_pe i686-w64-mingw32 build/mingw-i686/module/PhotarionHough.dll pei-i386 module
}

find_wine64() {
  local candidate
  for candidate in wine64 /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64; do
    if command -v "$candidate" >/dev/null 2>&1; then
      command -v "$candidate"
      return
    fi
  done
  fail "wine64 not found (Debian package wine64)"
}

check_x86_64() {
  step "mingw-x86_64: configure and build"
  cmake --preset mingw-x86_64 >/dev/null
  cmake --build --preset mingw-x86_64 -j "$jobs"
  local build=build/mingw-x86_64
  check_pe x86_64-w64-mingw32 "$build/module/PhotarionHough.dll" pei-x86-64 module
  check_pe x86_64-w64-mingw32 "$build/tools/module-check/photarion-module-check.exe" pei-x86-64 program

  step "native reference (build/default)"
  if [ ! -f build/default/CMakeCache.txt ]; then cmake --preset default >/dev/null; fi
  cmake --build --preset default -j "$jobs" --target photarion_module_check photarion_module
  local native=build/default/tools/module-check/native-results.bin
  build/default/tools/module-check/photarion-module-check build/default/module/PhotarionHough.so "$native" |
    tail -n 2

  step "wine64: load, link, start, run, unload"
  local wine prefix status=0
  wine=$(find_wine64)
  prefix=$(mktemp -d)
  # No Mono or Gecko for a console program: the prefix starts faster and asks nothing.
  (cd "$build" && WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    "$wine" tools/module-check/photarion-module-check.exe module/PhotarionHough.dll wine-results.bin \
    2>wine-stderr.log) | tr -d '\r' >"$build/wine-check.log" || status=$?
  local wineserver
  wineserver=$(command -v wineserver || echo "$(dirname "$wine")/wineserver")
  WINEPREFIX="$prefix" "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
  cat "$build/wine-check.log"
  if [ "$status" -ne 0 ]; then
    cat "$build/wine-stderr.log" >&2
    fail "the module check failed under wine64 (status $status)"
  fi
  grep -q "module check: [0-9]* passed, 0 failed" "$build/wine-check.log" || fail "no module check summary from wine64"

  step "bit comparison: wine64 against native"
  cmp "$native" "$build/wine-results.bin" || fail "the Windows results differ from the native ones"
  step "$(stat -c %s "$native") bytes of results identical"
}

case "$what" in
  all) check_i686; check_x86_64 ;;
  i686) check_i686 ;;
  x86_64) check_x86_64 ;;
  *) fail "usage: $0 [all|i686|x86_64]" ;;
esac
step "Windows checks passed"
