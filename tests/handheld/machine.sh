#!/bin/sh
# The whole game on an emulated handheld-class machine: an ARM926 board with
# a 16-bit framebuffer, PS/2 keyboard and mouse and AC'97 sound
# (qemu-system-arm -M versatilepb, headless), booted into an initramfs that
# holds busybox, the unpacked handheld package and a stand-in for the
# launcher. The game starts from its start script under OLD_KERNEL (the
# system-call interface of Linux 2.6.24) and draws on the framebuffer, reads
# the console keyboard and the kernel's pointer devices and plays through
# OSS. DRIVER plays it from the host through QEMU's QMP socket.
#
# usage: machine.sh ARCHIVE OLD_KERNEL DRIVER
# With JT_MACHINE_KEEP set, its files stay (the driver's pictures of the
# start, the middle and the end of the deal among them).
# Plays two boots: the whole deal and the rest with the PS/2 mouse, then part
# of a deal by absolute taps on a USB tablet (a touch screen's kind of
# pointer). The machine comes from scripts/handheld-machine.sh (cached).
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
absolute() {
    case $1 in
    /*) echo "$1" ;;
    *) echo "$(pwd)/$1" ;;
    esac
}
archive=$(absolute "$1")
old_kernel=$(absolute "$2")
driver=$(absolute "$3")
boot_timeout=120 # seconds from QEMU's start to the game's first frame

fail() {
    echo "machine: FAIL: $*"
    if [ -f "$work/serial.log" ]; then
        echo "machine: serial console:"
        tail -n 40 "$work/serial.log" | sed 's/^/    /'
    fi
    exit 1
}

for tool in qemu-system-arm cpio gzip; do
    command -v "$tool" >/dev/null 2>&1 || fail "$tool is missing (scripts/setup.sh installs it)"
done
machine=$("$root/scripts/handheld-machine.sh") || fail "no machine could be prepared"
for f in "$machine/zImage" "$machine/versatile-pb.dtb" "$machine/busybox" "$archive" "$old_kernel" "$driver"; do
    [ -f "$f" ] || fail "$f is missing"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/jt_machine.XXXXXX") || exit 1
qemu_pid=""
keep=${JT_MACHINE_KEEP:-}
cleanup() {
    [ -n "$qemu_pid" ] && kill "$qemu_pid" 2>/dev/null && wait "$qemu_pid" 2>/dev/null
    if [ -n "${keep:-}" ]; then echo "machine: files kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# --- the initramfs ------------------------------------------------------------
fs="$work/fs"
mkdir -p "$fs/bin" "$fs/proc" "$fs/sys" "$fs/dev" "$fs/tmp" "$fs/sd" "$fs/usr/gp2x"
cp "$machine/busybox" "$fs/bin/busybox"
for applet in sh mount cat echo sleep ls poweroff; do
    ln -s busybox "$fs/bin/$applet"
done
cp "$old_kernel" "$fs/bin/old_kernel"
tar -C "$fs/sd" -xzf "$archive" || fail "cannot unpack $archive"

# The machine's start: devices, then the package's start script as the
# handheld's launcher would run it, under the old kernel's interface. The
# game's messages go to the serial console.
cat >"$fs/init" <<'EOF'
#!/bin/sh
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
echo "machine: booted"
cd /sd/jadeturtle
/bin/old_kernel /sd/jadeturtle/jadeturtle.gpe
echo "machine: the game returned with status $? instead of starting the launcher"
exec sleep 100000
EOF
# What the game hands the handheld back to when it quits.
cat >"$fs/usr/gp2x/gp2xmenu" <<'EOF'
#!/bin/sh
echo "gp2xmenu: the launcher started in $PWD"
exec sleep 100000
EOF
chmod 755 "$fs/init" "$fs/usr/gp2x/gp2xmenu"
(cd "$fs" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz" ||
    fail "cannot pack the initramfs"

# --- one boot -------------------------------------------------------------------
# boot NAME POINTER: starts the machine with the PS/2 mouse only ("mouse") or
# a USB tablet beside it ("tablet"), lets the driver play, and checks what
# the serial console and the sound card got.
boot() {
    name=$1
    pointer=$2
    rm -f "$work/qmp.sock" "$work/serial.log" "$work/audio.wav"
    extra=""
    [ "$pointer" = tablet ] && extra="-device pci-ohci,id=ohci -device usb-tablet,bus=ohci.0"
    # shellcheck disable=SC2086
    qemu-system-arm -M versatilepb -cpu arm926 -m 128M \
        -kernel "$machine/zImage" -dtb "$machine/versatile-pb.dtb" -initrd "$work/initrd.gz" \
        -append "console=ttyAMA0 video=320x240M rdinit=/init" \
        -display none -serial "file:$work/serial.log" \
        -qmp "unix:$work/qmp.sock,server=on,wait=off" \
        -audiodev "wav,id=sound,path=$work/audio.wav" -global lm4549.audiodev=sound $extra -no-reboot \
        >"$work/qemu.log" 2>&1 &
    qemu_pid=$!
    t0=$(date +%s)
    "$driver" "$work/qmp.sock" "$work/fs/sd/jadeturtle" "$pointer" "$boot_timeout" "$work/$name" ||
        { keep=1; fail "$name: the driver failed (its files are in $work/$name)"; }
    # Escape ends the game, which hands over to the launcher.
    deadline=$(($(date +%s) + 30))
    until grep -q '^gp2xmenu: the launcher started in /usr/gp2x' "$work/serial.log" 2>/dev/null; do
        [ "$(date +%s)" -gt "$deadline" ] && fail "$name: the launcher did not start after Escape"
        sleep 0.2
    done
    t1=$(date +%s)
    kill "$qemu_pid" 2>/dev/null
    wait "$qemu_pid" 2>/dev/null
    qemu_pid=""
    # The sound card's output: QEMU writes the WAV header's lengths only when
    # it ends normally, so the samples after the 44-byte header are read as
    # they are. Effects and music must have sounded.
    # Its header's rate and channels (bytes 22 to 27) are written at the start.
    rate=$(od -An -j24 -N4 -tu4 "$work/audio.wav" | tr -d ' ')
    channels=$(od -An -j22 -N2 -tu2 "$work/audio.wav" | tr -d ' ')
    peak=$(tail -c +45 "$work/audio.wav" 2>/dev/null | od -An -v -td2 -w2 |
        awk '{ v = $1 < 0 ? -$1 : $1; if (v > m) m = v; n++ } END { print m + 0, n + 0 }')
    set -- $peak
    [ "$1" -ge 2000 ] || fail "$name: the sound card played nothing audible (peak $1 over $2 samples)"
    echo "machine: $name: the launcher started after Escape; sound peak $1 over" \
        "$(($2 / ${channels:-2} / ${rate:-44100})) s; $((t1 - t0)) s from power-on"
}

start=$(date +%s)
boot mouse mouse
boot tablet tablet
echo "machine: both boots took $(($(date +%s) - start)) s"
echo "machine: PASS"
