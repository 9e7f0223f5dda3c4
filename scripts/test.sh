#!/bin/sh
# Installs what is missing, builds, and runs every test.
#   --quick   the native suite only: set-up, build and ctest, nothing more
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
quick=0
case "${1:-}" in
--quick) quick=1 ;;
"") ;;
*)
  echo "usage: $0 [--quick]" >&2
  exit 2
  ;;
esac
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "$root/build"
ctest --output-on-failure -j"$(nproc)" -LE handheld
[ "$quick" -eq 1 ] && exit 0

# The handheld build: the same suite cross-built for ARM, run under emulation.
"$root/scripts/test-arm.sh"

# The handheld package: the static game over the handheld's own libraries,
# with the programs its checks run beside it; then the checks (the tests
# labelled "handheld"): the package unpacked alone under emulation of the
# handheld's processor, and the whole game on an emulated handheld-class
# machine.
"$root/scripts/package.sh"
cmake --build "$root/build-handheld" -j"$(nproc)" --target handheld_music old_kernel
(cd "$root/build" && ctest --output-on-failure -L handheld)

# Hardening: the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then a bounded fuzz run of every harness from
# its committed corpus.
"$root/scripts/sanitize.sh"
"$root/scripts/fuzz.sh" 60

# Hardening: a scripted game under valgrind (memory errors and leaks), then
# the soak run (100,000 random actions, resident memory bounded).
"$root/scripts/memcheck.sh"
"$root/scripts/soak.sh"
