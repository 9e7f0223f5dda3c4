#!/bin/sh
# Prepares the emulated handheld-class machine the end-to-end test on the
# framebuffer runs on (qemu-system-arm -M versatilepb -cpu arm926): a kernel
# built from Debian's linux-source-6.1 with the armel cross compiler,
# versatile_defconfig plus scripts/handheld-machine.config, its device tree,
# and Debian's static busybox for armel for the machine's shell.
#
# Everything lands in ${JT_CACHE:-$HOME/.cache/jadeturtle}/handheld-machine-<key>/
# (zImage, versatile-pb.dtb, busybox, versions.txt), where <key> is a digest
# of this script, the configuration fragment, the kernel source's version and
# the cross compiler's; the tree is built under a temporary name and its
# stamp written last. Prints its path as the last line of its output.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/private-apt.sh"
suite=bookworm
cache=${JT_CACHE:-$HOME/.cache/jadeturtle}
mirror=${JT_DEBIAN_MIRROR:-http://deb.debian.org/debian}
source_package=linux-source-6.1
stamp_name=.jadeturtle-handheld-machine

for tool in arm-linux-gnueabi-gcc make bc bison flex cpio dpkg-deb apt-get flock sha256sum; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "handheld-machine: $tool is missing; run scripts/setup.sh first" >&2
    exit 1
  fi
done
tarball=$(ls /usr/src/$source_package.tar.xz 2>/dev/null || true)
if [ -z "$tarball" ]; then
  echo "handheld-machine: /usr/src/$source_package.tar.xz is missing; run scripts/setup.sh first" >&2
  exit 1
fi
kernel_version=$(dpkg-query -W -f='${Version}' $source_package)

key=$( (cat "$0" "$here/private-apt.sh" "$here/handheld-machine.config"
  echo "$source_package $kernel_version $suite $mirror"
  arm-linux-gnueabi-gcc --version | head -n 1) | sha256sum | cut -c1-12)
dest="$cache/handheld-machine-$key"
want="jadeturtle handheld machine $key"

complete() {
  [ -f "$dest/$stamp_name" ] && [ "$(cat "$dest/$stamp_name")" = "$want" ]
}
if complete; then
  echo "handheld-machine: reusing $dest" >&2
  echo "$dest"
  exit 0
fi
mkdir -p "$cache"
exec 9>"$dest.lock"
flock 9
if complete; then
  echo "handheld-machine: reusing $dest" >&2
  echo "$dest"
  exit 0
fi

t0=$(date +%s)
work="$dest.partial"
rm -rf "$work"
mkdir -p "$work/src"
log="$work/build.log"
: >"$log"
run() {
  if ! "$@" >>"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "handheld-machine: failed: $* (whole log in $log)" >&2
    exit 1
  fi
}

echo "handheld-machine: fetching Debian's static busybox for armel" >&2
run private_apt "$work/apt" "$mirror" "$suite"
(cd "$work/src" && run apt_get download busybox-static)
run dpkg-deb -x "$work"/src/busybox-static_*.deb "$work/src/busybox"
cp "$work/src/busybox/bin/busybox" "$work/busybox"
dpkg-deb -f "$work"/src/busybox-static_*.deb Package Version | sed 's/^[A-Za-z]*: //' |
  paste -sd' ' >>"$work/versions.txt"

echo "handheld-machine: building the kernel ($source_package $kernel_version; about 10 minutes)" >&2
run tar -C "$work/src" -xJf "$tarball"
kernel="$work/src/$source_package"
kmake() {
  run make -C "$kernel" ARCH=arm CROSS_COMPILE=arm-linux-gnueabi- "$@"
}
kmake versatile_defconfig
(cd "$kernel" && run env ARCH=arm ./scripts/kconfig/merge_config.sh -m .config "$here/handheld-machine.config")
kmake olddefconfig
# Every line of the fragment must have come through: a symbol the kernel
# drops (a missing dependency) would leave the machine without a device.
grep -v '^#\|^$' "$here/handheld-machine.config" | while read -r line; do
  grep -qx "$line" "$kernel/.config" || { echo "handheld-machine: $line did not take" >&2; exit 1; }
done
grep '^# CONFIG_.* is not set' "$here/handheld-machine.config" | while read -r line; do
  symbol=$(echo "$line" | cut -d' ' -f2)
  ! grep -q "^$symbol=" "$kernel/.config" || { echo "handheld-machine: $symbol is still set" >&2; exit 1; }
done
kmake -j"$(nproc)" zImage dtbs
cp "$kernel/arch/arm/boot/zImage" "$kernel/arch/arm/boot/dts/versatile-pb.dtb" "$kernel/.config" "$work/"
echo "$source_package $kernel_version" >>"$work/versions.txt"
rm -rf "$work/src" "$work/apt"
t1=$(date +%s)
echo "built in $((t1 - t0)) s" >>"$work/versions.txt"

rm -rf "$dest"
mv "$work" "$dest"
echo "$want" >"$dest/$stamp_name"
for old in "$cache"/handheld-machine-*; do
  case $old in
  "$dest" | "$dest.lock") ;;
  *) rm -rf "$old" ;;
  esac
done
echo "handheld-machine: ready in $dest ($((t1 - t0)) s)" >&2
echo "$dest"
