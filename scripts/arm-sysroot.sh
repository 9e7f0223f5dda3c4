#!/bin/sh
# Prepares the Debian bookworm armel sysroot the handheld build links
# against and the ARM test programs run in (under qemu-arm-static -L).
#
# The packages are fetched with debootstrap's first stage only and unpacked
# with dpkg -x: no second stage, no chroot, no maintainer scripts, so this
# works on any host without binfmt support. The sysroot lives outside the
# repository, in ${JT_CACHE:-$HOME/.cache/jadeturtle}/sysroot-armel-bookworm
# (or $JT_ARM_SYSROOT), and is reused as long as its stamp file matches the
# package list below. The stamp is written last, and the tree is built
# under a temporary name and renamed into place, so an interrupted run
# never leaves a sysroot that looks complete.
#
# Prints the sysroot's path as the last line of its output.
set -eu

suite=bookworm
arch=armel
triplet=arm-linux-gnueabi
cache=${JT_CACHE:-$HOME/.cache/jadeturtle}
sysroot=${JT_ARM_SYSROOT:-$cache/sysroot-$arch-$suite}
mirror=${JT_DEBIAN_MIRROR:-http://deb.debian.org/debian}
stamp_name=.jadeturtle-sysroot

# What the game, its tools, tests and benchmarks need to link and run on
# the handheld: the [sysroot] group of scripts/packages.txt.
packages=$(sed 's/#.*//' "$(dirname "$0")/packages.txt" | awk '/^\[/ { group = $1; next } group == "[sysroot]"')

# The stamp records what the sysroot was made from; a changed list, suite
# or layout version makes the next run build a new one.
want="jadeturtle sysroot v4 $suite $arch: $(echo $packages)"

complete() {
  [ -f "$sysroot/$stamp_name" ] && [ "$(cat "$sysroot/$stamp_name")" = "$want" ]
}

if complete; then
  echo "arm-sysroot: reusing $sysroot" >&2
  echo "$sysroot"
  exit 0
fi

for tool in debootstrap dpkg-deb realpath flock; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "arm-sysroot: $tool is missing; run scripts/setup.sh first" >&2
    exit 1
  fi
done

# One preparation at a time: a second caller waits, then finds it done.
mkdir -p "$(dirname "$sysroot")"
exec 9>"$sysroot.lock"
flock 9
if complete; then
  echo "arm-sysroot: reusing $sysroot" >&2
  echo "$sysroot"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi

work="$sysroot.partial"
$sudo rm -rf "$work"
echo "arm-sysroot: fetching $suite/$arch packages into $work" >&2
include=$(echo $packages | tr ' ' ',')
if ! $sudo debootstrap --arch="$arch" --foreign --variant=minbase \
    --include="$include" "$suite" "$work" "$mirror" >"$work.log" 2>&1; then
  tail -n 30 "$work.log" >&2
  echo "arm-sysroot: debootstrap failed (whole log in $work.log)" >&2
  exit 1
fi

# debootstrap's first stage unpacks only the base system; everything asked
# for with --include (and its dependencies) is still in the package cache.
# Unpack all of it. Directories that merged /usr turned into symbolic links
# (/lib -> usr/lib and friends) must stay links, so the archive is fed to
# tar with --keep-directory-symlink.
count=0
for deb in "$work"/var/cache/apt/archives/*.deb; do
  dpkg-deb --fsys-tarfile "$deb" | $sudo tar -x --keep-directory-symlink -C "$work"
  count=$((count + 1))
done
echo "arm-sysroot: unpacked $count packages" >&2

# qemu-arm-static -L looks every absolute path up in the sysroot first. The
# device nodes, /proc links and scratch folders debootstrap made would
# shadow the host's own, so they go: the programs run against the host's.
$sudo rm -rf "$work/dev" "$work/proc" "$work/sys" "$work/run" "$work/tmp"

# Without a loader cache of its own, the ARM loader under qemu would read
# the host's /etc/ld.so.cache and try the host's libraries first. An empty
# cache makes it search the sysroot's standard folders only.
$sudo rm -f "$work/etc/ld.so.cache"
$sudo touch "$work/etc/ld.so.cache"

# Absolute symbolic links would point into the host's own tree when the
# cross linker or qemu follows them. Make every one relative to its place
# inside the sysroot.
find "$work" -type l -lname '/*' | while read -r link; do
  target=$(readlink "$link")
  rel=$(realpath -m -s --relative-to="$(dirname "$link")" "$work$target")
  $sudo ln -sfn "$rel" "$link"
done

# The downloaded archives are not needed any more, nor is documentation.
$sudo rm -rf "$work"/var/cache/apt/archives/*.deb "$work/debootstrap" \
  "$work/usr/share/doc" "$work/usr/share/man" "$work/usr/share/info" "$work/usr/share/locale"

# Everything a build needs must be there before the stamp is written.
for f in usr/include/SDL/SDL.h usr/include/SDL/SDL_mixer.h usr/include/SDL/SDL_ttf.h \
    usr/lib/$triplet/pkgconfig/sdl.pc usr/lib/$triplet/libSDL.so \
    usr/lib/$triplet/libSDL_mixer.so usr/lib/$triplet/libSDL_ttf.so \
    usr/lib/$triplet/libgtest.a usr/lib/$triplet/libbenchmark.so \
    usr/lib/$triplet/cmake/GTest/GTestConfig.cmake lib/ld-linux.so.3 \
    lib/$triplet/libc.so.6 usr/lib/$triplet/libstdc++.so.6 etc/timidity/freepats.cfg; do
  if [ ! -e "$work/$f" ]; then
    echo "arm-sysroot: $f is missing from the unpacked sysroot" >&2
    exit 1
  fi
done

echo "$want" | $sudo tee "$work/$stamp_name" >/dev/null
$sudo rm -rf "$sysroot"
$sudo mv "$work" "$sysroot"
rm -f "$work.log"
echo "arm-sysroot: ready in $sysroot" >&2
echo "$sysroot"
