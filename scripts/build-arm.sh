#!/bin/sh
# Cross-builds the game, its tools, tests and benchmarks for the handheld
# (Debian armel) in build-arm/, against the sysroot scripts/arm-sysroot.sh
# prepares. Assets are not generated here: they do not depend on the
# target, and the native build makes them.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
arm="$root/build-arm"

"$root/scripts/setup.sh"
t0=$(date +%s)
sysroot=$("$root/scripts/arm-sysroot.sh" | tail -n 1)
t1=$(date +%s)
cmake -S "$root" -B "$arm" \
  -DCMAKE_TOOLCHAIN_FILE="$root/scripts/armel-toolchain.cmake" \
  -DJT_ARM_SYSROOT="$sysroot" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DJT_BUILD_ASSETS=OFF >/dev/null
cmake --build "$arm" -j"$(nproc)" "$@"
t2=$(date +%s)
echo "arm: sysroot ready in $((t1 - t0)) s, cross-build took $((t2 - t1)) s"
