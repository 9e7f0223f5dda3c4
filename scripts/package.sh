#!/bin/sh
# Makes the package for the handheld: the folder
# build-handheld/dist/jadeturtle/ and the same folder as
# build-handheld/dist/jadeturtle-armel.tar.gz, holding
#   jadeturtle        the game: one static ARMv5TE program that needs
#                     nothing of the handheld but its kernel (stripped)
#   data/             its assets, from the native build
#   timidity.cfg      the MIDI synthesiser's configuration, and timidity/
#                     with the instruments the music plays, and only those
#   jadeturtle.gpe    the start script the launcher runs
#   README.txt
# Prints the archive's path, its packed and unpacked size and what the
# instruments cost.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
native="$root/build"
handheld="$root/build-handheld"
dist="$handheld/dist"
pkg="$dist/jadeturtle"
archive="$dist/jadeturtle-armel.tar.gz"
instruments_cfg=/etc/timidity/freepats.cfg

# The assets and the instrument gatherer come from the native build; the
# game from the handheld's own libraries.
"$root/scripts/build.sh"
t0=$(date +%s)
libs=$("$root/scripts/handheld-libs.sh")
t1=$(date +%s)
# The compilers are part of the libraries' folder: new libraries, a new
# build folder.
if [ -f "$handheld/CMakeCache.txt" ] &&
  ! grep -qx "JT_HANDHELD_LIBS:PATH=$libs" "$handheld/CMakeCache.txt"; then
  rm -rf "$handheld"
fi
cmake -S "$root" -B "$handheld" \
  -DCMAKE_TOOLCHAIN_FILE="$root/scripts/handheld-toolchain.cmake" \
  -DJT_HANDHELD_LIBS="$libs" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$handheld" -j"$(nproc)" --target jadeturtle
t2=$(date +%s)
echo "package: handheld libraries ready in $((t1 - t0)) s, game built in $((t2 - t1)) s"

for f in "$handheld/jadeturtle" "$native/data/image/tiles0.pcx" "$native/data/font/ariblk.ttf" \
    "$native/tools/make_instruments" "$instruments_cfg"; do
  if [ ! -f "$f" ]; then
    echo "package: $f is missing" >&2
    exit 1
  fi
done

rm -rf "$pkg" "$archive"
mkdir -p "$pkg"
arm-linux-gnueabi-strip -o "$pkg/jadeturtle" "$handheld/jadeturtle"
cp -RL "$native/data" "$pkg/data"
"$native/tools/make_instruments" "$instruments_cfg" "$pkg" "$root"/tools/art/music/bgm*.txt
cp /usr/share/doc/freepats/copyright "$pkg/timidity/COPYING"

# The game reads data/ relative to its working directory, the mixer its
# instruments through timidity.cfg, and when it quits it hands the handheld
# back to its launcher by replacing itself with it.
# The script asks nothing of the handheld's shell but cd, export and exec
# (no command substitution: that takes a pipe, and a shell may make it with
# a system call the handheld's kernel lacks).
cat >"$pkg/jadeturtle.gpe" <<'SCRIPT'
#!/bin/sh
# Starts Jade Turtle from the folder it is installed in, with the music's
# instruments from the same folder.
case $0 in
*/*) cd "${0%/*}" || exit 1 ;;
esac
TIMIDITY_CFG="$PWD/timidity.cfg"
export TIMIDITY_CFG
# A touch screen is read as the absolute pointer it is, so that taps land
# where they are made; without one, SDL takes the usual mouse.
: "${SDL_MOUSEDRV:=EVDEV}"
export SDL_MOUSEDRV
exec ./jadeturtle
SCRIPT
chmod 755 "$pkg/jadeturtle.gpe" "$pkg/jadeturtle"

cat >"$pkg/README.txt" <<'TEXT'
Jade Turtle - mahjong solitaire for the handheld.

Copy this folder anywhere on the handheld (for example onto its SD card)
and start jadeturtle.gpe from the launcher. Everything the game needs is
in this folder: the game itself is one static program for 32-bit ARM
(ARMv5TE, EABI, soft float), and the handheld needs only a Linux 2.6.24 or
later kernel with a 16-bit framebuffer. The music's instruments are in
timidity/ (from the freepats set; see timidity/COPYING), the font's
licence in data/font/LICENSE.txt.

Controls: tap or click two matching free tiles to remove them.
Left/Right (buttons 0 and 3): undo/redo. F1/F2 (buttons 4 and 5): next
tile set/background. Return (button 8): new deal. Escape (button 9): quit.
TEXT

# Root as owner: the build machine's user names mean nothing on the handheld.
tar -C "$dist" --owner=0 --group=0 --numeric-owner --sort=name \
  -czf "$archive" jadeturtle
instruments_k=$(du -sk "$pkg/timidity" | cut -f1)
instruments_packed_k=$(tar -C "$pkg" -cf - timidity | gzip -9 | wc -c | awk '{ print int(($1 + 1023) / 1024) }')
echo "package: $pkg"
echo "package: $archive ($(du -k "$archive" | cut -f1) KiB packed, $(du -sk "$pkg" | cut -f1) KiB unpacked;" \
  "the instruments $instruments_packed_k KiB packed, $instruments_k KiB unpacked)"
