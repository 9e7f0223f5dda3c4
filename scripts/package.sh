#!/bin/sh
# Makes the package for the handheld: the folder build-arm/dist/jadeturtle/
# holding the ARM game (stripped), its data/ and the start script the
# launcher runs, and the same folder as build-arm/dist/jadeturtle-armel.tar.gz.
# Prints the archive's path and size.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
native="$root/build"
arm="$root/build-arm"
dist="$arm/dist"
pkg="$dist/jadeturtle"
archive="$dist/jadeturtle-armel.tar.gz"

# The assets come from the native build; the game from the cross-build.
"$root/scripts/build.sh"
"$root/scripts/build-arm.sh" --target jadeturtle

for f in "$arm/jadeturtle" "$native/data/image/tiles0.pcx" "$native/data/font/ariblk.ttf"; do
  if [ ! -f "$f" ]; then
    echo "package: $f is missing" >&2
    exit 1
  fi
done

rm -rf "$pkg" "$archive"
mkdir -p "$pkg"
arm-linux-gnueabi-strip -o "$pkg/jadeturtle" "$arm/jadeturtle"
cp -RL "$native/data" "$pkg/data"

# The game reads data/ relative to its working directory and, when it quits,
# hands the handheld back to its launcher by replacing itself with it.
cat >"$pkg/jadeturtle.gpe" <<'SCRIPT'
#!/bin/sh
# Starts Jade Turtle from the folder it is installed in.
cd "$(dirname "$0")" || exit 1
exec ./jadeturtle
SCRIPT
chmod 755 "$pkg/jadeturtle.gpe" "$pkg/jadeturtle"

cat >"$pkg/README.txt" <<'TEXT'
Jade Turtle - mahjong solitaire for the handheld.

Copy this folder anywhere on the handheld (for example onto its SD card)
and start jadeturtle.gpe from the launcher. The game needs its data/
folder beside it. It runs on 32-bit ARM Linux (EABI, soft float) with
SDL 1.2, SDL_mixer 1.2 and SDL_ttf 2.0 installed.

Controls: tap or click two matching free tiles to remove them.
Left/Right (buttons 0 and 3): undo/redo. F1/F2 (buttons 4 and 5): next
tile set/background. Return (button 8): new deal. Escape (button 9): quit.
TEXT

# Root as owner: the build machine's user names mean nothing on the handheld.
tar -C "$dist" --owner=0 --group=0 --numeric-owner --sort=name \
  -czf "$archive" jadeturtle
echo "package: $pkg"
echo "package: $archive ($(du -k "$archive" | cut -f1) KiB packed, $(du -sk "$pkg" | cut -f1) KiB unpacked)"
