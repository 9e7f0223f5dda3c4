#!/bin/sh
# Builds the libFuzzer harnesses in build-fuzz/ (clang, with AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each one for a bounded time,
# starting from the committed corpus in fuzz/corpus/<harness>/.
#
#   scripts/fuzz.sh [SECONDS] [HARNESS...]
#
# SECONDS per harness (default 60); HARNESS is load_pcx, effect, input or game
# (default: all). Extra libFuzzer options can be given in FUZZ_ARGS, for
# instance FUZZ_ARGS="-runs=10000000" or FUZZ_ARGS="-jobs=2 -workers=2".
# New inputs found are kept in build-fuzz/corpus/<harness>/, crashes in
# build-fuzz/crashes/. The script fails when any harness finds a crash.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds=${1:-60}
[ $# -gt 0 ] && shift
harnesses=${*:-"load_pcx effect input game"}
flags="-O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"

cmake -S "$root" -B "$build" \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DJT_FUZZ=ON -DJT_SANITIZE=ON -DJT_BUILD_TESTS=OFF -DJT_BUILD_BENCH=OFF >/dev/null
targets=""
for h in $harnesses; do targets="$targets fuzz_$h"; done
# shellcheck disable=SC2086
cmake --build "$build" -j"${JOBS:-2}" --target $targets

# Pictures as seeds for the loader besides the committed ones: whatever PCX
# files the native build made (the game's pictures, the files real PCX
# writers produced for the loader's tests).
extra="$build/seeds/load_pcx"
rm -rf "$extra"
mkdir -p "$extra" "$build/crashes"
if [ -d "$root/build" ]; then
  find "$root/build" -name '*.pcx' -size -300k -not -path '*/build-*' \
    -exec cp {} "$extra/" \; 2>/dev/null || true
fi

# The loader harness writes each input to a file; memory is the fastest place.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  TMPDIR=/dev/shm
  export TMPDIR
fi
ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:allocator_may_return_null=1"
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export ASAN_OPTIONS UBSAN_OPTIONS

failed=""
for h in $harnesses; do
  corpus="$build/corpus/$h"
  mkdir -p "$corpus"
  seeds="$root/fuzz/corpus/$h"
  [ "$h" = load_pcx ] && seeds="$seeds $extra"
  # Long enough for the loader's seed pictures, effects of a few chunks,
  # and a few hundred events or game steps.
  case $h in
    load_pcx) max_len=32768 ;;
    effect) max_len=4096 ;;
    input) max_len=2048 ;;
    *) max_len=600 ;;
  esac
  echo "fuzz: $h for ${seconds}s"
  # shellcheck disable=SC2086
  if ! (cd "$build" && "./fuzz_$h" -max_total_time="$seconds" -timeout=20 \
        -rss_limit_mb=2560 -max_len=$max_len -print_final_stats=1 \
        -artifact_prefix="$build/crashes/$h-" ${FUZZ_ARGS:-} "$corpus" $seeds); then
    failed="$failed $h"
  fi
done
if [ -n "$failed" ]; then
  echo "fuzz: crashes in:$failed (inputs in $build/crashes/)" >&2
  exit 1
fi
