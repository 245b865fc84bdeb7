#!/usr/bin/env bash
# The demo: draws a sample image of a few straight lines, runs the module's two script functions
# on it through the stand-in host (photarion-run), and leaves every image as TIFF and PNG.
#
# Usage: scripts/demo.sh BUILD_DIR [OUT_DIR]
#   BUILD_DIR  a configured tree with the module, photarion-run and photarion-make-sample built,
#              e.g. build/default (make demo builds them)
#   OUT_DIR    where the images go; default demo/out
#   DEMO_SIZE  environment variable: side of the sample image in pixels; default 512
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 BUILD_DIR [OUT_DIR]" >&2
  exit 2
fi
build="$(cd "$1" 2>/dev/null && pwd)" || { echo "demo: no build directory $1" >&2; exit 1; }
out="${2:-$root/demo/out}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
size="${DEMO_SIZE:-512}"

run="$build/tools/runner/photarion-run"
make_sample="$build/tools/make-sample/photarion-make-sample"
module="$build/module/PhotarionHough.so"
for file in "$run" "$make_sample" "$module"; do
  if [ ! -e "$file" ]; then
    echo "demo: $file is missing; build it first (make demo does)" >&2
    exit 1
  fi
done

# Paths as the reader would type them: relative to the project when inside it, and the tools run
# from there so that they print them so too.
show() { case "$1" in "$root"/*) echo "${1#"$root"/}" ;; *) echo "$1" ;; esac; }
cd "$root"
out="$(show "$out")"
indent() { sed 's/^/   /'; }
# Runs the runner, stderr (the call's time, any error) alongside stdout.
call() { "$run" --time "$@" 2>&1 | indent; }

echo "Photarion plug-in demo: the module's two script functions on a ${size} x ${size} sample."
echo
echo "1. The sample: straight lines of weights 1.0, 0.8, 0.6 and 0.3 on black."
"$make_sample" "$out/sample.tif" "$size" --png "$out/sample.png" | indent

echo
echo "2. HoughTransform(sample): columns are angles 0..180 degrees, rows distances from the centre."
# The votes span a few hundred times the faintest ones: a logarithmic preview shows both the peaks
# and the bands of single votes, where a linear one is black but for the peaks.
call -o "$out/hough.tif" --png "$out/hough.png" --png-scale log "$module" HoughTransform \
  "$out/sample.tif"

echo
echo "3. shiftImage(sample, 100.7, -40.2): shifted by 100 columns and -40 rows, wrapping around."
call -o "$out/shifted.tif" --png "$out/shifted.png" "$module" shiftImage "$out/sample.tif" 100.7 -40.2

echo
echo "Done. Look at $out/hough.png: one bright spot for each line, where step 1 said,"
echo "brighter for heavier and longer lines, on the bands every pixel's votes draw (shown on a"
echo "logarithmic scale); $out/shifted.png is the sample moved right and up with what fell off"
echo "one edge back in at the other. The .tif files hold the 32-bit float data."
