#!/bin/sh
# Makes docs/screenshot.png with the project's own frame renderer: a game
# in progress on the misty-mountain background, with some pairs removed and
# one tile selected, as the 320x240 display shows it.
# Usage: scripts/screenshot.sh [OUT.png]   (SEED=n to pick another deal)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/screenshot.png}
case $out in /*) ;; *) out=$(pwd)/$out ;; esac
seed=${SEED:-7}
build=$root/build
[ -x "$build/tools/render_frame" ] || "$root/scripts/build.sh"
cd "$build"
list=$(mktemp)
trap 'rm -f "$list"' EXIT

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
rm -f "$list.png"
# shellcheck disable=SC2086
./tools/render_frame $removed --select "$selected" --tileset 0 --background 1 "$seed" "$out" \
  2>/dev/null
echo "screenshot: $out"
