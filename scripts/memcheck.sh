#!/bin/sh
# The memory check: a scripted game of 600 actions (presses on free tiles,
# undo, redo, deals, tile-set and background switches, stray keys) played
# through the real main loop under valgrind. Fails on any memory error and
# on memory definitely lost, except inside the libraries listed in
# tests/valgrind.supp. Needs the native build in build/ (scripts/build.sh).
#
#   scripts/memcheck.sh [ACTIONS]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root/build"
cmake --build . --target memcheck_game -j"${JOBS:-2}" >/dev/null
# The mixer's MIDI synthesiser loads a sound font for every music; the small
# General MIDI font keeps that quick under valgrind.
small_font=/usr/share/sounds/sf2/TimGM6mb.sf2
if [ -z "${SDL_SOUNDFONTS:-}" ] && [ -f "$small_font" ]; then
  SDL_SOUNDFONTS=$small_font
  export SDL_SOUNDFONTS
fi
valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
  --show-leak-kinds=definite --num-callers=40 \
  --suppressions="$root/tests/valgrind.supp" \
  ./tools/memcheck_game "${1:-600}"
