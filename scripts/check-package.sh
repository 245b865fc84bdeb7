#!/usr/bin/env bash
# Checks the installed SDK package from the outside, the way a plug-in author meets it:
#   1. installs the project (SDK, stand-in host, runner) into a temporary prefix and checks the
#      layout;
#   2. checks the package's version rules and its "host" component with find_package alone;
#   3. builds examples/hello-plugin against the prefix with a fresh CMake build and checks that the
#      plug-in exports exactly the six entries;
#   4. runs it through the installed runner on a sample made by the installed sample maker: the
#      inverted image (every value compared), the results text, both menu commands, the refusal of
#      an 8-bit image, and the runner's own validation when the runner offers --validate;
#   5. builds tests/package/model-plugin the same way, runs it on a region drawn on the sample
#      (its results line, dialog, name, calibrations and every value checked) and validates it.
#
# Usage: scripts/check-package.sh [BUILD_DIR]
#   BUILD_DIR  a build of this project to install from (e.g. build/default); it is configured
#              when it has no CMakeCache.txt and brought up to date either way. Default
#              build/package, configured without tests and benchmarks.
#   JOBS       environment variable: parallel build jobs (default 2)
#   KEEP_PACKAGE_CHECK=1  keep the temporary folder (prefix, example build, images) and say where
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/package}"
jobs="${JOBS:-2}"
started=$SECONDS

work="$(mktemp -d "${TMPDIR:-/tmp}/photarion-package.XXXXXX")"
cleanup() {
  if [ "${KEEP_PACKAGE_CHECK:-0}" = 1 ]; then echo "package check: kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

step() { printf -- "-- [%3d s] %s\n" "$((SECONDS - started))" "$*"; }
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# expect_in TEXT_FILE PATTERN WHAT: the file holds a line matching the extended regex.
expect_in() {
  if ! grep -Eq -- "$2" "$1"; then
    fail "$3: no line matching '$2' in:"
    sed 's/^/   | /' "$1" >&2
  fi
}

# ---- 1. Build and install ----------------------------------------------------------------------
if [ ! -f "$build/CMakeCache.txt" ]; then
  step "configuring $build"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPHOTARION_BUILD_TESTS=OFF -DPHOTARION_BUILD_BENCH=OFF >"$work/configure.log" ||
    { cat "$work/configure.log"; exit 1; }
fi
step "building $build"
cmake --build "$build" -j "$jobs" >"$work/build.log" || { tail -50 "$work/build.log"; exit 1; }

prefix="$work/prefix"
step "installing into a temporary prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; exit 1; }

for file in \
  include/photarion-sdk/shell/PlugInMain.h include/photarion-sdk/shell/Boundary.h \
  include/photarion-sdk/abi/Boundary.h include/photarion-sdk/abi/ObjectKinds.def \
  include/photarion-sdk/hostcall/References.h include/photarion-sdk/hostcall/Marshal.h \
  include/photarion-sdk/hostcall/Stubs.h include/photarion-sdk/hostcall/StubsDriverSupport.h \
  include/photarion-sdk/members/ImageRef.inc \
  include/photarion-sdk/members/qz_string.inc include/photarion-sdk/errors/Exceptions.h \
  include/photarion-sdk/errors/ResultsStream.h include/photarion-sdk/image/ImageDataLock.h \
  include/photarion-sdk/menus/PlugInMenu.h include/photarion-sdk/menus/PlugInTool.h \
  include/photarion-host/Host.h include/photarion-host/Module.h \
  lib/libphotarion_sdk.a lib/libphotarion_host.a \
  lib/cmake/PhotarionPlugInSDK/PhotarionPlugInSDKConfig.cmake \
  lib/cmake/PhotarionPlugInSDK/PhotarionPlugInSDKConfigVersion.cmake \
  lib/cmake/PhotarionPlugInSDK/PhotarionPlugInSDKTargets.cmake \
  lib/cmake/PhotarionPlugInSDK/PhotarionHostTargets.cmake \
  share/photarion-sdk/generate_stubs.py share/photarion-sdk/catalogue.txt \
  share/photarion-sdk/ObjectKinds.def \
  bin/photarion-run bin/photarion-make-sample; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
# The generator's package, module for module.
for module in "$root"/sdk/hostcall/stubgen/*.py; do
  file="share/photarion-sdk/stubgen/$(basename "$module")"
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
# Nothing of the build or source tree may leak into the installed package files.
if grep -rlF -e "$root" -e "$(cd "$build" && pwd)" "$prefix/lib/cmake" >"$work/leaks.txt"; then
  fail "installed package files name the source or build tree: $(tr '\n' ' ' <"$work/leaks.txt")"
fi
[ "$failures" -eq 0 ] || exit 1

# ---- 2. The package's version rules and components ---------------------------------------------
# find_package on its own: 1.x and the host component are found, 2.0 and 0.9 are not.
probe() {  # probe NAME REQUEST: configures a project that asks for the package by REQUEST
  mkdir -p "$work/probe-$1"
  cat >"$work/probe-$1/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.24)
project(Probe LANGUAGES NONE)
find_package(PhotarionPlugInSDK $2 CONFIG REQUIRED)
foreach(t photarion::plugin_sdk photarion::host photarion::run photarion::make_sample)
  if(NOT TARGET \${t})
    message(FATAL_ERROR "no target \${t}")
  endif()
endforeach()
get_target_property(options photarion::plugin_sdk INTERFACE_COMPILE_OPTIONS)
message(STATUS "sdk options: \${options}")
message(STATUS "found version \${PhotarionPlugInSDK_VERSION}")
EOF
  cmake -S "$work/probe-$1" -B "$work/probe-$1/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$work/probe-$1.log" 2>&1
}
step "find_package: versions and components"
if probe same-major "1.0 COMPONENTS host"; then
  expect_in "$work/probe-same-major.log" "found version 1\.0\.0" "find_package 1.0"
  expect_in "$work/probe-same-major.log" "sdk options: .*-ffp-contract=off" "the SDK's compile options"
else
  fail "find_package(PhotarionPlugInSDK 1.0 COMPONENTS host) failed:"
  cat "$work/probe-same-major.log" >&2
fi
probe next-major "2.0" && fail "find_package(PhotarionPlugInSDK 2.0) accepted version 1.0.0"
probe newer-minor "1.1" && fail "find_package(PhotarionPlugInSDK 1.1) accepted version 1.0.0"
probe unknown-component "1.0 COMPONENTS painter" &&
  fail "find_package accepted an unknown component"
[ "$failures" -eq 0 ] || exit 1

# ---- 3. The example, built against the installed package alone ---------------------------------
examples_build="$work/examples-build"
step "building examples/hello-plugin against the prefix"
cmake -S "$root/examples/hello-plugin" -B "$examples_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$work/example-configure.log" ||
  { cat "$work/example-configure.log"; exit 1; }
cmake --build "$examples_build" >"$work/example-build.log" || { cat "$work/example-build.log"; exit 1; }
plugin="$examples_build/HelloPlugIn.so"
[ -f "$plugin" ] || { echo "FAIL: the example built no $plugin" >&2; exit 1; }

# Hidden visibility: the six entries, exported by plain name, and nothing else.
nm -D --defined-only "$plugin" | awk '{print $3}' | sort >"$work/exports.txt"
printf '%s\n' PlugInCleanup PlugInRun PlugInShutdown PlugInStartup QZPlugIn_GetVersion \
  QZPlugIn_Link_2 >"$work/exports-wanted.txt"
if ! cmp -s "$work/exports.txt" "$work/exports-wanted.txt"; then
  fail "the plug-in's exports differ from the six entries:"
  diff "$work/exports-wanted.txt" "$work/exports.txt" >&2 || true
fi

# The whole framework is linked in: every unit of the library left something in the plug-in (a
# unit that nothing names, linked as a plain archive, would be missing with its static users).
nm --defined-only "$plugin" | awk '{print $NF}' | sort -u >"$work/plugin-symbols.txt"
nm --defined-only -g "$prefix/lib/libphotarion_sdk.a" 2>/dev/null | awk '
  /:$/ { unit = $0; sub(/:$/, "", unit); next }
  NF == 3 && $2 ~ /^[TDBRVW]$/ { print unit, $3 }' >"$work/sdk-symbols.txt"
missing_units="$(awk 'NR == FNR { have[$1] = 1; next }
  { units[$1] = units[$1] || ($2 in have) }
  END { for (u in units) if (!units[u]) print u }' "$work/plugin-symbols.txt" "$work/sdk-symbols.txt")"
[ -s "$work/sdk-symbols.txt" ] || fail "no symbols read from libphotarion_sdk.a"
if [ -n "$missing_units" ]; then
  fail "framework units missing from the plug-in: $(tr "\n" " " <<<"$missing_units")"
fi

# Stubs of one's own, generated at build time by the installed generator (photarion_add_stubs).
step "building a plug-in with stubs of its own"
mkdir -p "$work/own-stubs"
cat >"$work/own-stubs/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.24)
project(OwnStubs LANGUAGES CXX)
find_package(PhotarionPlugInSDK 1.0 CONFIG REQUIRED)
photarion_add_plugin(Area SOURCES Area.cpp)
photarion_add_stubs(Area CATALOGUE area.txt NAMESPACE Measure)
target_compile_options(Area PRIVATE -Wall -Wextra -Werror)
EOF
printf '%s\n' "# The host functions this plug-in calls through stubs of its own." \
  "uint32 ImageGetDimensionSize( ImageRef, uint32 )" >"$work/own-stubs/area.txt"
cat >"$work/own-stubs/Area.cpp" <<'EOF'
#include <cstdint>

#include "hostcall/MeasureStubs.h"
#include "shell/PlugInMain.h"

namespace {

const Vorna::FrameworkUnitUsers sUsers;

void Area(std::int32_t& area, Vorna::Handle* image) {
    Vorna::ImageRef input(image ? *image : 0);
    area = static_cast<std::int32_t>(Vorna::Measure::ImageGetDimensionSize(input, 0) *
                                     Vorna::Measure::ImageGetDimensionSize(input, 1));
}

class AreaPlugIn final : public Vorna::PlugIn::PlugInMain {
    void Startup() override { AddFunction<&Area>("long Area(ImageRef *)"); }
};
AreaPlugIn sAreaPlugIn;

}  // namespace
EOF
own_stubs_plugin=""
if cmake -S "$work/own-stubs" -B "$work/own-stubs/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
     -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$work/own-stubs.log" 2>&1 &&
   cmake --build "$work/own-stubs/build" >>"$work/own-stubs.log" 2>&1; then
  own_stubs_plugin="$work/own-stubs/build/Area.so"
else
  fail "the plug-in with stubs of its own did not build:"
  cat "$work/own-stubs.log" >&2
fi
# The installed generator ran from the prefix, which it must leave as it was installed.
if find "$prefix" -name __pycache__ | grep -q .; then
  fail "the installed generator left bytecode in the prefix: $(find "$prefix" -name __pycache__)"
fi

# ---- 4. Running it through the installed runner -----------------------------------------------
# The checks read the runner's float TIFFs with a few lines of Python of their own.
cat >"$work/float_tiff.py" <<'EOF'
import struct


def read_float_tiff(path):
    """The pixels of a single-image, uncompressed, one-sample 32-bit float TIFF."""
    data = open(path, "rb").read()
    order = {b"II": "<", b"MM": ">"}[data[:2]]
    if struct.unpack(order + "H", data[2:4])[0] != 42:
        raise ValueError(path + ": not a classic TIFF")
    (ifd,) = struct.unpack(order + "I", data[4:8])
    (count,) = struct.unpack(order + "H", data[ifd:ifd + 2])
    sizes = {3: 2, 4: 4}
    tags = {}
    for i in range(count):
        tag, kind, n, field = struct.unpack(order + "HHI4s", data[ifd + 2 + 12 * i:ifd + 14 + 12 * i])
        if kind not in sizes:
            continue
        code = order + ("H" if kind == 3 else "I") * n
        raw = field if n * sizes[kind] <= 4 else data[struct.unpack(order + "I", field)[0]:]
        tags[tag] = struct.unpack(code, raw[:n * sizes[kind]])
    width, height = tags[256][0], tags[257][0]
    if tags.get(259, (1,))[0] != 1 or tags[258][0] != 32 or tags.get(339, (1,))[0] != 3:
        raise ValueError(path + ": not an uncompressed 32-bit float TIFF")
    pixels = b"".join(data[o:o + n] for o, n in zip(tags[273], tags[279]))
    return width, height, struct.unpack(order + "%df" % (width * height), pixels[:4 * width * height])
EOF
run="$prefix/bin/photarion-run"
step "running HelloPlugIn through the installed runner"
"$prefix/bin/photarion-make-sample" "$work/sample.tif" 24 --png "$work/sample.png" >/dev/null
status=0
"$run" --list --menus --choose 1,0 --choose 1,1 -o "$work/out.tif" "$plugin" Invert "$work/sample.tif" \
  >"$work/run.out" 2>"$work/run.err" || status=$?
if [ "$status" -ne 0 ]; then
  fail "photarion-run exited with $status:"
  cat "$work/run.out" "$work/run.err" >&2
else
  expect_in "$work/run.out" '^RealImagePtr Invert\(ImageRef \*\)$' "--list"
  expect_in "$work/run.out" '^0: Hello > Say hello  \[command 1,0\]' "--menus"
  expect_in "$work/run.out" '^1: Hello > About HelloPlugIn  \[command 1,1\]' "--menus"
  expect_in "$work/run.out" '^Hello from HelloPlugIn\.$' "the Say hello command"
  expect_in "$work/run.out" '^HelloPlugIn 1\.0: Invert\(image\)' "the About command"
  expect_in "$work/run.out" '^Invert: 24 x 24 pixels, mean 0\.[0-9]+$' "the results line"
  expect_in "$work/run.out" '^image "Inverted": 24 x 24 float32, values -[0-9.]+ to -?0$' "the result"
  [ -s "$work/run.err" ] && fail "photarion-run wrote to stderr: $(cat "$work/run.err")"
  # Every value of the result is the negated input value, bit for bit.
  PYTHONPATH="$work" python3 - "$work/sample.tif" "$work/out.tif" <<'EOF' || fail "the inverted image is wrong"
import struct, sys
from float_tiff import read_float_tiff

w, h, sample = read_float_tiff(sys.argv[1])
w2, h2, inverted = read_float_tiff(sys.argv[2])
assert (w, h) == (w2, h2), "size %dx%d became %dx%d" % (w, h, w2, h2)
assert any(v != 0 for v in sample), "the sample is all zero"
wrong = [i for i, (a, b) in enumerate(zip(sample, inverted))
         if struct.pack("<f", -a) != struct.pack("<f", b)]
assert not wrong, "%d of %d values are not negated, first at %d" % (len(wrong), len(sample), wrong[0])
EOF
fi

if [ -n "$own_stubs_plugin" ]; then
  status=0
  "$run" "$own_stubs_plugin" Area "$work/sample.tif" >"$work/area.out" 2>&1 || status=$?
  [ "$status" -eq 0 ] || fail "Area (stubs of its own) exited with $status: $(cat "$work/area.out")"
  [ "$(cat "$work/area.out")" = 576 ] || fail "Area of the 24 x 24 sample: '$(cat "$work/area.out")'"
fi

# The plug-in refuses an 8-bit image, through the host: exit status 1 and its message.
status=0
"$run" "$plugin" Invert "$work/sample.png" >"$work/refusal.out" 2>"$work/refusal.err" || status=$?
[ "$status" -eq 1 ] || fail "Invert on an 8-bit image exited with $status, not 1"
expect_in "$work/refusal.err" '^error: Invert takes an image of 4-byte reals\.$' "the refusal"

# The older host generation locks image data through other host functions.
status=0
"$run" --host-version 03030200 "$plugin" Invert "$work/sample.tif" >"$work/old-host.out" 2>&1 ||
  status=$?
[ "$status" -eq 0 ] || fail "Invert on a host of version 03030200 exited with $status"

if "$run" --help | grep -q -- '--validate'; then
  step "photarion-run --validate"
  status=0
  "$run" --validate "$plugin" >"$work/validate.out" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    fail "photarion-run --validate exited with $status:"
    cat "$work/validate.out" >&2
  fi
else
  step "photarion-run has no --validate: skipped"
fi

# ---- 5. A plug-in of the stand-in host's object model, against the installed package ----------
# tests/package/model-plugin: a region drawn on a shown image, a dialog, a calibrated and tagged
# result with a name made of strings, a document and its window, and a results line.
step "building and running tests/package/model-plugin"
model_build="$work/model-build"
if cmake -S "$root/tests/package/model-plugin" -B "$model_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
     -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$work/model.log" 2>&1 &&
   cmake --build "$model_build" >>"$work/model.log" 2>&1; then
  model="$model_build/ModelPlugIn.so"
  status=0
  "$run" --roi rect:2,3,10,7 --dialog ok=true -o "$work/region.tif" "$model" RegionReport \
    "$work/sample.tif" Sample >"$work/model.out" 2>"$work/model.err" || status=$?
  if [ "$status" -ne 0 ]; then
    fail "RegionReport exited with $status:"
    cat "$work/model.out" "$work/model.err" >&2
  else
    expect_in "$work/model.out" \
      '^RegionReport: Sample region, 8 x 4 at \(2, 3\), mean [-0-9.e]+, inverted, 5 tags, 2 corners, shown as "Sample region"$' \
      "the results line"
    expect_in "$work/model.out" '^image "Sample region": 8 x 4 float32, values ' "the result"
    expect_in "$work/model.err" '^\[dialog\] GetBoolean "Invert the region\?" \(offered: false\) -> OK, true$' \
      "the dialog"
    # The name and calibrations the plug-in set travel in the TIFF's description.
    for line in 'name=Sample region' 'dim0.origin=-2' 'dim1.origin=-3' 'intensity.unit=counts'; do
      grep -aqxF "$line" "$work/region.tif" || fail "region.tif carries no line '$line'"
    done
    # Every value is the negated value of the sample's region, bit for bit.
    PYTHONPATH="$work" python3 - "$work/sample.tif" "$work/region.tif" <<'EOF' || fail "the region is wrong"
import struct, sys
from float_tiff import read_float_tiff

w, h, sample = read_float_tiff(sys.argv[1])
rw, rh, region = read_float_tiff(sys.argv[2])
assert (rw, rh) == (8, 4), "the region is %dx%d" % (rw, rh)
want = [0.0 - sample[(3 + y) * w + 2 + x] for y in range(4) for x in range(8)]
bits = lambda values: struct.pack("<%df" % len(values), *values)
assert bits(want) == bits(list(region)), "the region's values differ from the sample's, negated"
EOF
  fi
  status=0
  "$run" --validate "$model" >"$work/model-validate.out" 2>&1 || status=$?
  if [ "$status" -ne 0 ] || ! grep -q '^validated 1 function: 0 findings' "$work/model-validate.out"; then
    fail "photarion-run --validate on the model plug-in exited with $status:"
    cat "$work/model-validate.out" >&2
  fi
else
  fail "tests/package/model-plugin did not build:"
  cat "$work/model.log" >&2
fi

elapsed=$((SECONDS - started))
if [ "$failures" -ne 0 ]; then
  echo "package check: $failures failed (${elapsed} s)" >&2
  exit 1
fi
echo "package check: passed (${elapsed} s)"
