#!/bin/sh
# Makes docs/screenshot.png with the project's own frame renderer: a game
# in progress on the misty-mountain background, with some pairs removed and
# one tile selected, as the window of scripts/play.sh shows it on a
# 1920x1080 screen: over sdl12-compat, the 320x240 display enlarged four
# times, every pixel a 4x4 block.
# Usage: scripts/screenshot.sh [OUT.png]   (SEED=n to pick another deal,
# SCALE=n for another enlargement; SCALE=1 gives the display's own pixels)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/screenshot.png}
case $out in /*) ;; *) out=$(pwd)/$out ;; esac
seed=${SEED:-7}
scale=${SCALE:-4}
build=$root/build
[ -x "$build/tools/render_frame" ] || "$root/scripts/build.sh"
cd "$build"
list=$(mktemp)
trap 'rm -f "$list" "$list.png"' EXIT
# The library's colour conversions decide some shaded and lit pixels.
LD_LIBRARY_PATH=$("$root/scripts/sdl12-compat.sh")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
export LD_LIBRARY_PATH

# Faces that match share a group: equal faces, any flower, any season.
pick_pair='
  NR > 1 && $6 == 1 {
    g = $5 <= 33 ? $5 : ($5 <= 39 ? "flower" : "season")
    if (g in first) { if (!done) { print first[g] "," $1; done = 1 } }
    else first[g] = $1
  }'
removed=""
for round in 1 2 3 4 5 6 7 8 9 10 11 12; do
  # shellcheck disable=SC2086
  ./tools/render_frame $removed --list "$seed" "$list.png" >"$list" 2>/dev/null
  pair=$(awk "$pick_pair" "$list")
  [ -n "$pair" ] || break
  removed="$removed --remove $pair"
done
# shellcheck disable=SC2086
./tools/render_frame $removed --list "$seed" "$list.png" >"$list" 2>/dev/null
selected=$(awk 'NR > 1 && $6 == 1 { print $1; exit }' "$list")
# shellcheck disable=SC2086
./tools/render_frame $removed --select "$selected" --tileset 0 --background 1 "$seed" "$list.png" \
  2>/dev/null
convert "$list.png" -sample "$((scale * 100))%" "$out"
echo "screenshot: $out"
