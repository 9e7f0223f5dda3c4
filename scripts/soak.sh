#!/bin/sh
# The soak run: 100,000 random actions through the real main loop, in one
# process, on SDL's dummy video driver with effects on the disk audio
# device (writing to /dev/null). Fails when the game crashes or hangs
# (15 minutes at most), or when its resident memory at the end differs by
# more than 1 MiB from its value after the first 1,000 actions. Then 1,000
# background switches with music, reporting resident memory. Needs the
# native build in build/ (scripts/build.sh).
#
#   scripts/soak.sh [ACTIONS [SEED]]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root/build"
cmake --build . --target soak_game -j"${JOBS:-2}" >/dev/null
timeout 900 ./tools/soak_game "${1:-100000}" "${2:-1}"
# 1,000 background switches with their music: resident memory reported.
timeout 900 ./tools/soak_game switches 1000
