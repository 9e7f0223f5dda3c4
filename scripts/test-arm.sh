#!/bin/sh
# Runs the whole test suite of the handheld build (build-arm/) under
# qemu-arm-static with SDL's dummy drivers (the tests that play the game in
# a window start a native Xvfb and run the emulated game as its client).
# The ARM run must count as many
# tests as the native one in build/ has outside the label 'desktop' (those
# concern the desktop only, such as the game over sdl12-compat, and the
# cross-build does not register them); both counts are printed and a
# difference fails the run.
#
# The ARM build generates no assets: its tests use the native build's
# data/, so the native build is made first when it is missing.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
native="$root/build"
arm="$root/build-arm"

if [ ! -f "$native/CTestTestfile.cmake" ]; then
  "$root/scripts/build.sh"
fi
"$root/scripts/build-arm.sh"

# The tests read data/ relative to the build folder they run in.
rm -rf "$arm/data"
if [ -d "$native/data" ]; then
  ln -s "$native/data" "$arm/data"
fi

export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
log="$arm/ctest-arm.log"
t0=$(date +%s)
status=0
(cd "$arm" && ctest --output-on-failure -j"$(nproc)") >"$log" 2>&1 || status=$?
t1=$(date +%s)
cat "$log"

# The end-to-end run over sdl12-compat (label "desktop") and the handheld
# package's checks (label "handheld", run by scripts/test.sh after making
# the package) are native only.
native_count=$(cd "$native" && ctest -N -LE '^(desktop|handheld)$' | sed -n 's/^Total Tests: *//p')
arm_count=$(cd "$arm" && ctest -N | sed -n 's/^Total Tests: *//p')
arm_ran=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
[ -n "$arm_ran" ] || arm_ran=0
echo "arm: test run took $((t1 - t0)) s"
echo "arm: native tests ${native_count:-?} (not counting the desktop's and the package's own), ARM tests ${arm_count:-?}, ARM tests run $arm_ran"
if [ "$status" -ne 0 ]; then
  echo "arm: the ARM test run failed" >&2
  exit "$status"
fi
if [ -z "$native_count" ] || [ "$native_count" != "$arm_count" ] || [ "$arm_count" != "$arm_ran" ]; then
  echo "arm: the ARM run does not count the same tests as the native run" >&2
  exit 1
fi
