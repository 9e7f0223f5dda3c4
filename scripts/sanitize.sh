#!/bin/sh
# Builds the library, tools and every unit test with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ and runs the whole test suite
# there. Any sanitizer report aborts the test that caused it, so a single
# report fails this script.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-asan"
flags="-O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all"

cmake -S "$root" -B "$build" \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DJT_SANITIZE=ON -DJT_BUILD_BENCH=OFF >/dev/null

# halt_on_error and abort_on_error make every report fatal; leak checking is
# on, so memory that a test loses is reported as well (tests/lsan.supp lists
# the few leaks inside system libraries, each explained; full stacks are
# taken so that those match by function). Allocations too large to serve
# return null, as malloc does, because the game's out-of-memory paths are
# tested. verify_asan_link_order is off because the end-to-end tests preload
# a small shim of their own.
ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:allocator_may_return_null=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:verify_asan_link_order=0"
LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:fast_unwind_on_malloc=0:print_suppressions=0"
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

cmake --build "$build" -j"${JOBS:-2}"
cd "$build"
# The handheld package's checks belong to scripts/test.sh's run after the package.
ctest --output-on-failure -j"${JOBS:-2}" -LE handheld "$@"
