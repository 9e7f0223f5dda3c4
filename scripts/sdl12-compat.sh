#!/bin/sh
# Makes Debian's sdl12-compat (SDL 1.2 over SDL 2, the package
# libsdl1.2-compat) available to scripts/play.sh and the end-to-end test
# without installing it: it conflicts with the classic SDL 1.2 the game is
# built against. The package of the version apt offers is downloaded and
# unpacked once into ${JT_CACHE:-$HOME/.cache/jadeturtle}/sdl12-compat-VERSION-ARCH,
# built under a temporary name and renamed into place, so an interrupted run
# never leaves a folder that looks complete. It runs over SDL 2's
# libsdl2-2.0-0, which scripts/setup.sh installs.
#
# Prints one line on standard output, the folder holding its
# libSDL-1.2.so.0: put it first on LD_LIBRARY_PATH. Progress and errors go to
# standard error; any failure ends it non-zero.
set -eu
package=libsdl1.2-compat
cache=${JT_CACHE:-$HOME/.cache/jadeturtle}

die() {
  echo "sdl12-compat: $*" >&2
  exit 1
}

for tool in apt-cache apt-get dpkg dpkg-deb flock; do
  command -v "$tool" >/dev/null 2>&1 || die "$tool is missing (this needs a Debian system)"
done
if ! dpkg-query -W -f='${Status}' libsdl2-2.0-0 2>/dev/null | grep -q "install ok installed"; then
  die "SDL 2 (libsdl2-2.0-0) is not installed; run scripts/setup.sh first"
fi

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi

candidate() {
  apt-cache policy "$package" 2>/dev/null | awk '$1 == "Candidate:" && $2 != "(none)" { print $2 }'
}
version=$(candidate)
if [ -z "$version" ]; then
  # A machine whose package lists were never fetched, or were cleaned.
  echo "sdl12-compat: apt knows no $package yet; updating the package lists" >&2
  $sudo apt-get -o DPkg::Lock::Timeout=900 update -qq || die "apt-get update failed"
  version=$(candidate)
fi
[ -n "$version" ] || die "apt offers no $package for this system"
arch=$(dpkg --print-architecture)
# An epoch's colon would end a path in LD_LIBRARY_PATH.
dir="$cache/sdl12-compat-$(echo "$version" | tr ':' '_')-$arch"

library() {
  find "$dir" -name libSDL-1.2.so.0 2>/dev/null | head -n 1
}

if [ -z "$(library)" ]; then
  # One fetch at a time: a second caller waits, then finds it done.
  mkdir -p "$cache"
  exec 9>"$dir.lock"
  flock 9
  if [ -z "$(library)" ]; then
    work="$dir.partial"
    rm -rf "$work"
    mkdir -p "$work/deb"
    echo "sdl12-compat: fetching $package $version ($arch)" >&2
    # As root apt would hand the download to its unprivileged user, who may
    # not write here.
    sandbox=""
    [ -z "$sudo" ] && sandbox="-o APT::Sandbox::User=root"
    # shellcheck disable=SC2086
    (cd "$work/deb" && apt-get -q $sandbox download "$package=$version") >&2 ||
      die "could not download $package $version"
    set -- "$work"/deb/*.deb
    [ -f "$1" ] || die "the download left no package"
    dpkg-deb -x "$1" "$work/root" || die "could not unpack $1"
    rm -rf "$work/deb"
    rm -rf "$dir"
    mv "$work" "$dir"
  fi
  flock -u 9
fi
lib=$(library)
[ -n "$lib" ] || die "$package $version holds no libSDL-1.2.so.0"
dirname "$lib"
