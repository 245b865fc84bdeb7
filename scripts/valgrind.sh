#!/usr/bin/env bash
# Memcheck of the tests that load the real module (and the framework's lifecycle modules) into the
# stand-in host, and of the stand-in host's object model driven through the framework: no invalid
# read or write, no use of uninitialised values, no definite leak.
# The build is the default preset's (made first when missing). Left out: the slowest cases (the
# transforms of 4096-pixel-long images), and the test that measures the process's peak memory while
# the TIFF reader reserves 1 GiB it never fills (memcheck's shadow of the reservation fills it).
#
# Usage: scripts/valgrind.sh            Environment: JOBS  build jobs (default 2)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-2}"

command -v valgrind > /dev/null || { echo "valgrind: not installed (scripts/install-deps.sh all)" >&2; exit 1; }

build=build/default
programs=(
  "tests/module/module_test"
  "tests/shell/module_lifecycle_test"
  "tests/badinput/badinput_host_test --gtest_filter=-*VeryWide*"
  "tests/badinput/badinput_runner_test --gtest_filter=-*EveryKind*:*AHeaderAlone*"
  "tests/host/host_model_test"
  "tests/host/photarion_host_views_test"
)
[ -f "$build/build.ninja" ] || cmake --preset default
targets=()
for p in "${programs[@]}"; do
  exe="${p%% *}"
  targets+=("${exe##*/}")
done
cmake --build --preset default -j "$jobs" --target "${targets[@]}"

logs="$build/valgrind"
mkdir -p "$logs"
failed=()
for p in "${programs[@]}"; do
  read -r -a command <<< "$p"
  name="${command[0]##*/}"
  log="$logs/$name.log"
  start=$SECONDS
  status=0
  valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite --error-exitcode=1 \
    --track-origins=yes --log-file="$log" "$build/${command[0]}" "${command[@]:1}" > "$logs/$name.out" 2>&1 ||
    status=$?
  errors=$(sed -n 's/.*ERROR SUMMARY: \([0-9]*\) errors.*/\1/p' "$log" | tail -1)
  lost=$(sed -n 's/.*definitely lost: \([0-9,]*\) bytes.*/\1/p' "$log" | tail -1)
  printf 'valgrind: %-22s %3ss  errors %s  definitely lost %s bytes  (status %s)\n' \
    "$name" "$((SECONDS - start))" "${errors:-?}" "${lost:-0}" "$status"
  if [ "$status" -ne 0 ]; then
    failed+=("$name")
    echo "valgrind: $name failed; its tests said:" >&2
    tail -20 "$logs/$name.out" >&2
    echo "valgrind: and memcheck ($log):" >&2
    grep -E '^==[0-9]+== ' "$log" | head -60 >&2
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "valgrind: failed: ${failed[*]}" >&2
  exit 1
fi
echo "valgrind: clean"
