#!/bin/sh
# Prepares what the handheld's static game is built from: the musl C library
# for armel, and SDL 1.2, SDL_mixer 1.2 and FreeType built from Debian's
# source packages with the armel cross compiler as static libraries,
# configured for the device (framebuffer console, OSS sound, Linux joystick,
# console keyboard and mouse devices; no X11), plus SDL_ttf's static library
# from Debian's armel development package (Debian serves no source of it).
#
# Debian's sources and armel packages are fetched through a private apt
# configuration inside the cache (scripts/private-apt.sh), so the host's apt
# set-up is left alone. Everything lands in
# ${JT_CACHE:-$HOME/.cache/jadeturtle}/handheld-armel-<key>/, where <key>
# is a digest of this script, the patches beside it and the cross
# compiler's version: a change to any of them builds anew. The tree is built
# under a temporary name and its stamp written last, so an interrupted run
# never leaves a tree that looks complete.
#
# The result holds:
#   bin/armel-musl-gcc, bin/armel-musl-g++   compilers for the handheld
#   usr/include, usr/lib                     the static libraries and headers
#   musl/                                    the C library
#   versions.txt                             what went in, with versions
# Prints its path as the last line of its output.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/private-apt.sh"
suite=bookworm
triplet=arm-linux-gnueabi
cache=${JT_CACHE:-$HOME/.cache/jadeturtle}
mirror=${JT_DEBIAN_MIRROR:-http://deb.debian.org/debian}
stamp_name=.jadeturtle-handheld-libs

for tool in arm-linux-gnueabi-gcc arm-linux-gnueabi-g++ arm-linux-gnueabi-objcopy \
    apt-get dpkg-source dpkg-deb make flock sha256sum; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "handheld-libs: $tool is missing; run scripts/setup.sh first" >&2
    exit 1
  fi
done

key=$( (cat "$0" "$here/private-apt.sh" "$here"/handheld-patches/*.patch 2>/dev/null
  arm-linux-gnueabi-gcc --version | head -n 1
  echo "$suite $mirror") | sha256sum | cut -c1-12)
dest="$cache/handheld-armel-$key"
want="jadeturtle handheld libraries $key"

complete() {
  [ -f "$dest/$stamp_name" ] && [ "$(cat "$dest/$stamp_name")" = "$want" ]
}
if complete; then
  echo "handheld-libs: reusing $dest" >&2
  echo "$dest"
  exit 0
fi

mkdir -p "$cache"
exec 9>"$dest.lock"
flock 9
if complete; then
  echo "handheld-libs: reusing $dest" >&2
  echo "$dest"
  exit 0
fi

t0=$(date +%s)
work="$dest.partial"
rm -rf "$work"
mkdir -p "$work/src" "$work/bin" "$work/usr/include" "$work/usr/lib" "$work/musl"
log="$work/build.log"
: >"$log"

run() {
  if ! "$@" >>"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "handheld-libs: failed: $* (whole log in $log)" >&2
    exit 1
  fi
}

echo "handheld-libs: fetching Debian's sources and armel packages" >&2
run private_apt "$work/apt" "$mirror" "$suite"
(cd "$work/src" && run apt_get source --download-only libsdl1.2 sdl-mixer1.2 freetype)
(cd "$work/src" && run apt_get download musl musl-dev linux-libc-dev libsdl-ttf2.0-dev)
for dsc in "$work"/src/*.dsc; do
  (cd "$work/src" && run dpkg-source -x "$dsc")
done
for deb in "$work"/src/*.deb; do
  run dpkg-deb -x "$deb" "$work/src/root"
  dpkg-deb -f "$deb" Package Version | sed 's/^[A-Za-z]*: //' | paste -sd' ' >>"$work/versions.txt"
done
for dsc in "$work"/src/*.dsc; do
  sed -n 's/^\(Source\|Version\): //p' "$dsc" | paste -sd' ' >>"$work/versions.txt"
done

# musl as the C library: its system calls suit kernels back to 2.6 (plain
# futex waits; the newer time64 and statx calls fall back when refused),
# which a static glibc of today does not.
cp -R "$work/src/root/usr/include/arm-linux-musleabi" "$work/musl/include"
cp -R "$work/src/root/usr/lib/arm-linux-musleabi" "$work/musl/lib"
rm -f "$work/musl/lib/musl-gcc.specs"
# The kernel's interface headers (joystick, input events, framebuffer, OSS),
# which musl does not carry.
mkdir -p "$work/musl/kernel"
cp -R "$work/src/root/usr/include/linux" "$work/src/root/usr/include/asm-generic" \
  "$work/src/root/usr/include/$triplet/asm" "$work/musl/kernel/"

# The compilers: Debian's armel cross compiler with musl's headers, start
# files and libraries in place of glibc's, for an ARMv5TE with soft float.
# C++ is compiled against the compiler's own C++ headers but linked without
# the C++ runtime: the game uses nothing of it, and it is built for glibc.
gcc_dir=$(dirname "$(arm-linux-gnueabi-gcc -print-libgcc-file-name)")
cxx_inc=$(arm-linux-gnueabi-g++ -E -x c++ -v /dev/null 2>&1 |
  sed -n '/^#include <...> search starts here:/,/^End of search list/p' | grep '/c++/' | sed 's/^ *//')
cat >"$work/musl/musl.specs" <<EOF
%rename cpp_options old_cpp_options

*cpp_options:
-nostdinc -isystem $work/musl/include -isystem $work/musl/kernel -isystem include%s %(old_cpp_options)

*cc1:
%(cc1_cpu) -nostdinc -isystem $work/musl/include -isystem $work/musl/kernel -isystem include%s

*link_libgcc:
-L$work/musl/lib -L .%s

*libgcc:
libgcc.a%s %:if-exists(libgcc_eh.a%s)

*startfile:
$work/musl/lib/crt1.o $work/musl/lib/crti.o crtbeginT.o%s

*endfile:
crtend.o%s $work/musl/lib/crtn.o

*link:
-nostdlib -static %{rdynamic:-export-dynamic}

*esp_link:


*esp_options:


*esp_cpp_options:


EOF
flags="-march=armv5te -mtune=arm926ej-s -mfloat-abi=soft -static"
cat >"$work/bin/armel-musl-gcc" <<EOF
#!/bin/sh
exec arm-linux-gnueabi-gcc $flags -specs "$work/musl/musl.specs" "\$@"
EOF
cxx_isystem=""
for d in $cxx_inc; do cxx_isystem="$cxx_isystem -isystem $d"; done
cat >"$work/bin/armel-musl-g++" <<EOF
#!/bin/sh
# Compiles C++ with the C++ headers first (they include the C library's
# after themselves, and take musl for a glibc of today); links as C, without
# the C++ runtime.
for arg in "\$@"; do
  case "\$arg" in
  -c | -S | -E | -M | -MM) exec arm-linux-gnueabi-g++ $flags -fno-exceptions -fno-rtti \\
      -fno-threadsafe-statics "-D__GLIBC_PREREQ(major,minor)=1" $cxx_isystem \\
      -specs "$work/musl/musl.specs" "\$@" ;;
  esac
done
exec arm-linux-gnueabi-gcc $flags -specs "$work/musl/musl.specs" "\$@"
EOF
chmod 755 "$work/bin/armel-musl-gcc" "$work/bin/armel-musl-g++"
echo "gcc $(arm-linux-gnueabi-gcc -dumpfullversion) ($gcc_dir)" >>"$work/versions.txt"

# Our own mends to a library, beside this script as
# handheld-patches/<Debian source name>-*.patch, go over Debian's.
apply_patches() {
  for p in "$here/handheld-patches/$2"-*.patch; do
    if [ -f "$p" ]; then
      (cd "$1" && run patch -p1 -i "$p")
      echo "patch $(basename "$p")" >>"$work/versions.txt"
    fi
  done
}

cc="$work/bin/armel-musl-gcc"
prefix="$work/usr"
jobs=$(nproc 2>/dev/null || echo 2)
common="--host=$triplet --prefix=$prefix --disable-shared --enable-static"

# FreeType, for SDL_ttf: no compressed fonts, no PNG glyphs, no shaping.
echo "handheld-libs: building FreeType" >&2
ft=$(ls -d "$work"/src/freetype-*/)
(cd "$ft" && run env CC="$cc" CFLAGS="-O2" ./configure $common --without-zlib --without-bzip2 \
  --without-png --without-harfbuzz --without-brotli --without-librsvg &&
  run make -j"$jobs" && run make install)

# SDL 1.2 for the device: the framebuffer console and dummy video, OSS and
# disk/dummy audio, the Linux joystick, console keyboard and mouse devices.
# Nothing is loaded at run time, and no X11.
echo "handheld-libs: building SDL" >&2
sdl=$(ls -d "$work"/src/libsdl1.2-*/)
apply_patches "$sdl" libsdl1.2
(cd "$sdl" && run env CC="$cc" CFLAGS="-O2" ./configure $common \
  --enable-video-fbcon --enable-video-dummy --disable-video-x11 --disable-video-directfb \
  --disable-video-opengl --disable-video-svga --disable-video-ggi --disable-video-aalib \
  --disable-video-caca --disable-video-nanox --disable-video-qtopia --disable-video-picogui \
  --disable-video-ps2gs --disable-video-ps3 --disable-video-wscons --disable-video-vgl \
  --disable-video-dga --disable-dga --disable-video-xbios --disable-video-gem \
  --enable-oss --enable-diskaudio --enable-dummyaudio --disable-alsa --disable-esd \
  --disable-pulseaudio --disable-arts --disable-nas \
  --enable-joystick --enable-input-events --disable-input-tslib --disable-cdrom \
  --enable-threads --enable-pthreads --disable-pth --enable-clock_gettime \
  --disable-loadso --disable-sdl-dlopen --disable-nasm --disable-rpath &&
  run make -j"$jobs" && run make install)

# SDL_mixer 1.2: WAV effects and MIDI through its built-in synthesiser.
echo "handheld-libs: building SDL_mixer" >&2
mixer=$(ls -d "$work"/src/sdl-mixer1.2-*/)
apply_patches "$mixer" sdl-mixer1.2
(cd "$mixer" && run env CC="$cc" CFLAGS="-O2" SDL_CONFIG="$prefix/bin/sdl-config" \
  ./configure $common --with-sdl-prefix="$prefix" --disable-sdltest \
  --enable-music-wave --enable-music-midi --enable-music-timidity-midi \
  --disable-music-native-midi --disable-music-fluidsynth-midi --disable-music-cmd \
  --disable-music-mod --disable-music-mod-modplug --disable-music-ogg --disable-music-flac \
  --disable-music-mp3 --disable-music-mp3-mad-gpl --disable-smpegtest &&
  run make -j"$jobs" && run make install)
# The synthesiser keeps its channel table in a global named "channel", as
# the game names its last effect's mixer channel; inside the library it
# gets a name of its own.
run arm-linux-gnueabi-objcopy --redefine-sym channel=timidity_channel "$prefix/lib/libSDL_mixer.a"

# SDL_ttf: the static library of Debian's armel development package. It
# needs only memory, string and ceilf calls from the C library.
cp "$work/src/root/usr/lib/$triplet/libSDL_ttf.a" "$prefix/lib/"
cp "$work/src/root/usr/include/SDL/SDL_ttf.h" "$prefix/include/SDL/"

for f in usr/lib/libSDL.a usr/lib/libSDL_mixer.a usr/lib/libSDL_ttf.a usr/lib/libfreetype.a \
    usr/include/SDL/SDL.h usr/include/SDL/SDL_mixer.h usr/include/SDL/SDL_ttf.h \
    musl/lib/libc.a musl/lib/crt1.o; do
  if [ ! -e "$work/$f" ]; then
    echo "handheld-libs: $f is missing after the build (log in $log)" >&2
    exit 1
  fi
done

# The sources and downloads are not needed any more.
rm -rf "$work/src" "$work/apt"
t1=$(date +%s)
echo "built in $((t1 - t0)) s" >>"$work/versions.txt"

# Paths inside the compiler wrappers, sdl-config and the libraries'
# descriptions name the finished folder.
grep -rlI -F "$work" "$work" | while read -r f; do sed -i "s|$work|$dest|g" "$f"; done
rm -rf "$dest"
mv "$work" "$dest"
echo "$want" >"$dest/$stamp_name"
# Libraries of earlier recipes are not used any more.
for old in "$cache"/handheld-armel-*; do
  case $old in
  "$dest" | "$dest.lock") ;;
  *) rm -rf "$old" ;;
  esac
done
echo "handheld-libs: ready in $dest ($((t1 - t0)) s)" >&2
echo "$dest"
