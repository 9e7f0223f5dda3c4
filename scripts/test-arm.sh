#!/bin/sh
# Cross-builds the game, its tools, tests and benchmarks for the handheld
# (Debian armel) in build-arm/ and runs the whole test suite there under
# qemu-arm-static with SDL's dummy drivers. The ARM run must count as many
# tests as the native one in build/; both counts are printed and a
# difference fails the run.
#
# The ARM build generates no assets: it uses the native build's data/,
# so the native build is made first when it is missing.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
native="$root/build"
arm="$root/build-arm"
jobs=$(nproc)

"$root/scripts/setup.sh"

t0=$(date +%s)
sysroot=$("$root/scripts/arm-sysroot.sh" | tail -n 1)
t1=$(date +%s)

if [ ! -f "$native/CTestTestfile.cmake" ]; then
  "$root/scripts/build.sh"
fi

cmake -S "$root" -B "$arm" \
  -DCMAKE_TOOLCHAIN_FILE="$root/scripts/armel-toolchain.cmake" \
  -DJT_ARM_SYSROOT="$sysroot" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DJT_BUILD_ASSETS=OFF >/dev/null
cmake --build "$arm" -j"$jobs"
t2=$(date +%s)

# The tests read data/ relative to the build folder they run in.
if [ -d "$native/data" ]; then
  rm -rf "$arm/data"
  ln -s "$native/data" "$arm/data"
fi

export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
log="$arm/ctest-arm.log"
status=0
(cd "$arm" && ctest --output-on-failure -j"$jobs") >"$log" 2>&1 || status=$?
cat "$log"
t3=$(date +%s)

native_count=$(cd "$native" && ctest -N | sed -n 's/^Total Tests: *//p')
arm_count=$(cd "$arm" && ctest -N | sed -n 's/^Total Tests: *//p')
arm_ran=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
[ -n "$arm_ran" ] || arm_ran=0
echo "arm: sysroot $((t1 - t0)) s, cross-build $((t2 - t1)) s, tests $((t3 - t2)) s"
echo "arm: native tests ${native_count:-?}, ARM tests ${arm_count:-?}, ARM tests run ${arm_ran:-?}"
if [ "$status" -ne 0 ]; then
  echo "arm: the ARM test run failed" >&2
  exit "$status"
fi
if [ -z "$native_count" ] || [ "$native_count" != "$arm_count" ] || [ "$arm_count" != "$arm_ran" ]; then
  echo "arm: the ARM run does not count the same tests as the native run" >&2
  exit 1
fi
