#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (address and undefined-behaviour sanitizers)
# and runs each for a bounded time, starting from the committed seeds. Fails when a target
# crashes, trips a sanitizer, breaks one of its properties or exceeds the memory limit; the input
# that did it is left in build/fuzz/artifacts/ (replay: build/fuzz/fuzz_TARGET FILE).
#
# Usage: scripts/fuzz.sh [TARGET...]        targets: signature runner_args tiff (default: all)
# Environment: FUZZ_SECONDS  time per target (default 60)
#              FUZZ_JOBS     build jobs (default 2)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
jobs="${FUZZ_JOBS:-2}"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(signature runner_args tiff)

command -v clang++ > /dev/null || { echo "fuzz: clang++ is needed (scripts/install-deps.sh all)" >&2; exit 1; }

build=build/fuzz
mkdir -p "$build"
CXX=clang++ cmake -S fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build/configure.log" 2>&1 ||
  { cat "$build/configure.log" >&2; exit 1; }
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"

# The inputs a run finds go to a working corpus in the build tree; the committed seeds are only read.
mkdir -p "$build/artifacts"
failed=()
summary=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  options=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1
           -artifact_prefix="$build/artifacts/$target-")
  [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
  log="$build/$target.log"
  echo "fuzz: $target for ${seconds}s"
  status=0
  # The TIFF target writes each input to a scratch file: in memory where there is a tmpfs.
  scratch="$PWD/$build"
  [ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
  TMPDIR="$scratch" "$build/fuzz_$target" "${options[@]}" "$corpus" "fuzz/corpus/$target" > "$log" 2>&1 ||
    status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  summary+=("$(printf '%-12s %10s runs %8s exec/s  corpus %s' "$target" "${runs:-?}" "${rate:-?}" \
                "$(find "$corpus" -type f | wc -l)")")
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
    echo "fuzz: $target FAILED (status $status); the end of $log:" >&2
    tail -40 "$log" >&2
  fi
done

echo
printf 'fuzz: %s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]} (inputs in $build/artifacts/)" >&2
  exit 1
fi
echo "fuzz: no crash"
