#!/bin/sh
# Installs what is missing, builds, generates the assets and starts the game.
#
# The game draws a 320x240 display. On the desktop it runs over sdl12-compat
# (SDL 1.2 over SDL 2, fetched by scripts/sdl12-compat.sh), which shows that
# display enlarged by a whole scale with every pixel a square block: the
# largest scale that fits the X screen, or, under a window manager, its work
# area (the screen less the desktop's panels) less room for the window's
# title bar and borders.
#   JT_SCALE=N      enlarge N times instead
#   JT_SDL=classic  the system's classic SDL 1.2 instead, at 320x240
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

die() {
  echo "play: $*" >&2
  exit 2
}

library=${JT_SDL:-compat}
scale=${JT_SCALE:-}
case $library in
classic | compat) ;;
*) die "JT_SDL is 'classic' or 'compat', not '$library'" ;;
esac
case $scale in
"") ;;
*[!0-9]* | 0*) die "JT_SCALE is a whole number from 1, not '$scale'" ;;
esac
if [ "$library" = classic ] && [ -n "$scale" ] && [ "$scale" != 1 ]; then
  die "the classic SDL 1.2 shows the game at 320x240 only (JT_SCALE=1)"
fi

"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "$root/build"
[ "$library" = classic ] && exec ./jadeturtle

# Width and height of the room the window's picture may take, or nothing
# without an X server to ask.
room() {
  [ -n "${DISPLAY:-}" ] || return 0
  # _NET_WORKAREA(CARDINAL) = x, y, width, height[, the next desktop's ...].
  # A window manager that tells it also frames the window: 16 pixels across
  # and 48 down are left for the borders and the title bar.
  xprop -root _NET_WORKAREA 2>/dev/null | awk -F' = ' 'NF == 2 {
      split($2, a, ", "); if (a[3] > 16 && a[4] > 48) { print a[3] - 16, a[4] - 48; exit } }' |
    grep . && return 0
  xdpyinfo 2>/dev/null | awk '$1 == "dimensions:" { split($2, a, "x"); print a[1], a[2]; exit }'
}

if [ -z "$scale" ]; then
  set -- $(room)
  if [ $# -eq 2 ]; then
    scale=$(($1 / 320 < $2 / 240 ? $1 / 320 : $2 / 240))
    [ "$scale" -ge 1 ] || scale=1
    echo "play: ${1}x$2 pixels of room: the game shown $scale times enlarged, $((320 * scale))x$((240 * scale))"
  else
    scale=1
    echo "play: no X screen to measure; showing the game at 320x240 (JT_SCALE=N enlarges it)"
  fi
fi

lib=$("$root/scripts/sdl12-compat.sh")
LD_LIBRARY_PATH=$lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
SDL12COMPAT_WINDOW_SCALING=$scale
SDL12COMPAT_SCALE_METHOD=nearest
export LD_LIBRARY_PATH SDL12COMPAT_WINDOW_SCALING SDL12COMPAT_SCALE_METHOD
exec ./jadeturtle
