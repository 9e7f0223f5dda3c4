#!/bin/sh
# Builds every generated asset again, twice, into fresh directories and
# checks that each file equals the build's own copy byte for byte: the
# generators depend on their sources only (no clock, no unseeded noise).
# Usage: assets_regenerate.sh MAKE_TILES MAKE_BACKGROUNDS MAKE_SOUNDS MAKE_MUSIC ART_DIR DATA_DIR
set -eu
# JT_RUN_PREFIX runs cross-built generators under an emulator, so the
# handheld's build is checked against the native build's data/.
run_prefix=${JT_RUN_PREFIX:-}
tiles=$1 backgrounds=$2 sounds=$3 music=$4 art=$5 data=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for run in 1 2; do
  out="$work/$run"
  mkdir -p "$out/image/background" "$out/sound/music"
  $run_prefix "$tiles" "$art/faces.txt" "$art/tilesets.txt" "$out/image"
  $run_prefix "$backgrounds" "$art/backgrounds.txt" "$out/image/background"
  $run_prefix "$sounds" "$out/sound"
  for src in "$art"/music/bgm*.txt; do
    name=$(basename "$src" .txt)
    $run_prefix "$music" "$src" "$out/sound/music/$name.mid"
  done
done
count=0
failed=0
for file in $(cd "$work/1" && find . -type f | sort); do
  count=$((count + 1))
  for copy in "$work/2/$file" "$data/$file"; do
    if ! cmp -s "$work/1/$file" "$copy"; then
      echo "differs: $file ($copy)"
      failed=1
    fi
  done
done
# Every generated file of the build was produced again.
for file in $(cd "$data" && find image sound -type f | sort); do
  [ -f "$work/1/$file" ] || { echo "not regenerated: $file"; failed=1; }
done
echo "$count files compared"
[ "$count" -ge 13 ] || { echo "too few files generated"; failed=1; }
exit $failed
