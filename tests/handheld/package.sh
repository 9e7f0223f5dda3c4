#!/bin/sh
# Checks the handheld package as a player's handheld would meet it:
#   - the game is one static ARMv5TE soft-float program: no program
#     interpreter, no shared library, no instruction set newer than v5TE;
#   - the start script starts it from its own folder with the package's
#     MIDI instruments;
#   - unpacked alone and run under qemu-arm-static emulating an ARM926 with an
#     empty root (SDL's dummy video, disk audio), it starts, deals and plays
#     its start-up effect (non-silent on the disk), opens the synthesiser's
#     configuration from the package, every instrument that names is there,
#     and it opens nothing outside its folder but /dev and the audio file;
#   - the same way, MUSIC (tests/handheld/music.cpp, built with the game)
#     plays every song through the game's static mixer, twice round, with
#     the package's instruments and nothing from outside the package;
#   - each system call of the game's run was in Linux 2.6.24 for ARM EABI
#     (number 352 or below), or is a newer one that the C library falls back
#     from when the kernel refuses it; no futex operation newer than 2.6.24.
# Prints the system calls made, once each.
#
# usage: package.sh ARCHIVE MUSIC
set -u
archive=$1
music=$2
case $music in /*) ;; *) music=$(pwd)/$music ;; esac
case $archive in /*) ;; *) archive=$(pwd)/$archive ;; esac
failures=0
fail() {
    echo "handheld_package: FAIL: $*"
    failures=$((failures + 1))
}
work=$(mktemp -d "${TMPDIR:-/tmp}/jt_handheld.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
mkdir "$work/root" "$work/sd"
tar -C "$work/sd" -xzf "$archive" || { echo "handheld_package: cannot unpack $archive"; exit 1; }
pkg="$work/sd/jadeturtle"
game="$pkg/jadeturtle"
for f in "$game" "$pkg/jadeturtle.gpe" "$pkg/timidity.cfg" "$pkg/README.txt" \
    "$pkg/data/image/tiles0.pcx" "$pkg/data/font/ariblk.ttf"; do
    [ -f "$f" ] || fail "the package has no ${f#"$pkg"/}"
done

# The program: static, for the handheld's processor and ABI.
headers=$(arm-linux-gnueabi-readelf -h -l -d "$game" 2>&1)
echo "$headers" | grep -q 'INTERP' && fail "the game names a program interpreter"
echo "$headers" | grep -q 'NEEDED' && fail "the game needs shared libraries"
echo "$headers" | grep -q 'There is no dynamic section' || fail "the game has a dynamic section"
echo "$headers" | grep -q 'Version5 EABI, soft-float ABI' || fail "the game is not EABI5 soft float"
arch=$(arm-linux-gnueabi-readelf -A "$game" | sed -n 's/^ *Tag_CPU_arch: //p')
case $arch in
Pre-v4 | v4 | v4T | v5T | v5TE) ;;
*) fail "the game is built for $arch, newer than the handheld's v5TE" ;;
esac
arm-linux-gnueabi-readelf -A "$game" | grep -q 'Tag_FP_arch\|Tag_ABI_VFP_args' &&
    fail "the game uses floating-point hardware"

# The start script, from elsewhere, with a stand-in for the game that says
# where and how it was started.
cp -R "$pkg" "$work/script-check"
printf '#!/bin/sh\necho "$(pwd) $TIMIDITY_CFG"\n' >"$work/script-check/jadeturtle"
chmod 755 "$work/script-check/jadeturtle"
started=$(cd / && sh "$work/script-check/jadeturtle.gpe")
[ "$started" = "$work/script-check $work/script-check/timidity.cfg" ] ||
    fail "the start script ran the game as '$started'"

# Runs a program in the package's folder as its start script would, under
# emulation with an empty root and SDL's dummy video and disk audio, its
# system calls logged: nothing from the host's file system but /dev (qemu
# would take a file missing from the empty root from the host, so every
# path the program tries is checked after). It replaces the shell it runs
# in: call it in a subshell.
run_in_package() { # PROGRAM AUDIO-FILE LOG
    cd "$pkg" && exec env -i SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$2" \
        TIMIDITY_CFG="$pkg/timidity.cfg" qemu-arm-static -cpu arm926 -L "$work/root" -strace \
        "$1" >"$3.out" 2>"$3"
}

# The loudest sample of a disk audio file.
peak_of() {
    od -An -v -td2 -w2 "$1" 2>/dev/null |
        awk '{ v = $1 < 0 ? -$1 : $1; if (v > m) m = v } END { print m + 0 }'
}

# Fails for every path a logged run tried to open or inspect outside the
# package's folder, /dev and its audio file.
check_paths() { # LOG AUDIO-FILE WHAT
    grep -oE '(open|openat|stat64|lstat64|statx|access|faccessat|readlink|execve|chdir)\((AT_FDCWD,)?"[^"]*"' \
        "$1" | sed 's/^[a-z0-9]*(\(AT_FDCWD,\)\{0,1\}"//; s/"$//' | sort -u >"$work/paths"
    while read -r path; do
        case $path in
        /dev/* | "$pkg"/* | "$2") ;;
        /usr/gp2x) ;; # the launcher's folder, entered at exit
        /* | ../* | */../*) fail "$3 tried $path, outside the package's folder" ;;
        esac
    done <"$work/paths"
}

audio="$work/audio.raw"
(run_in_package ./jadeturtle "$audio" "$work/strace.txt") &
pid=$!
# The start-up chime is 180 ms; the disk driver writes a buffer of 186 ms
# at a time. Wait for two buffers, at most a minute.
for _ in $(seq 600); do
    [ "$(stat -c %s "$audio" 2>/dev/null || echo 0)" -ge 32768 ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -TERM "$pid" 2>/dev/null
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "the game ended with status $status on SIGTERM"
peak=$(peak_of "$audio")
[ "$peak" -ge 2000 ] || fail "the start-up effect did not reach the audio file (peak $peak)"
check_paths "$work/strace.txt" "$audio" "the game"
grep -q "open(\"$pkg/timidity.cfg\",[^)]*) = [0-9]" "$work/strace.txt" ||
    fail "the synthesiser's configuration was not opened from the package"
dir=$(sed -n 's/^dir  *//p' "$pkg/timidity.cfg")
[ "$dir" = timidity ] || fail "the instruments' folder is '$dir', not the package's timidity/"
count=0
for patch in $(awk '/^ *[0-9]/ { print $2 }' "$pkg/timidity.cfg"); do
    count=$((count + 1))
    [ -s "$pkg/$dir/$patch" ] || fail "the instrument $patch is missing from the package"
done
[ "$count" -gt 0 ] || fail "the configuration names no instruments"

# The music: every song through the static mixer, each freed before the
# next is loaded (the mixer's allocator aborts on a damaged heap).
music_audio="$work/music.raw"
cp "$music" "$pkg/.handheld_music"
(run_in_package ./.handheld_music "$music_audio" "$work/music-strace.txt")
status=$?
rm -f "$pkg/.handheld_music"
[ "$status" -eq 0 ] || fail "the songs did not all play (status $status): $(cat "$work/music-strace.txt.out")"
music_peak=$(peak_of "$music_audio")
[ "$music_peak" -ge 2000 ] || fail "the songs are silent (peak $music_peak)"
check_paths "$work/music-strace.txt" "$music_audio" "the music"
grep -q "open(\"timidity/Tone_000/[^\"]*\",[^)]*) = [0-9]" "$work/music-strace.txt" ||
    fail "no instrument was loaded from the package's timidity/"

# The system calls, against the ARM EABI numbers of the cross compiler's
# kernel headers. Newer calls the C library tries first and, refused with
# ENOSYS, falls back from: the 64-bit time forms and statx.
numbers="$work/numbers"
sed -n 's/^#define __NR_\([a-z0-9_]*\) *(__NR_SYSCALL_BASE *+ *\([0-9]*\)).*/\1 \2/p' \
    /usr/arm-linux-gnueabi/include/asm/unistd-eabi.h >"$numbers"
[ -s "$numbers" ] || fail "no ARM system call numbers in the cross compiler's headers"
falls_back=" statx clock_gettime64 clock_settime64 clock_adjtime64 clock_getres_time64 \
clock_nanosleep_time64 timer_gettime64 timer_settime64 timerfd_gettime64 timerfd_settime64 \
utimensat_time64 pselect6_time64 ppoll_time64 io_pgetevents_time64 recvmmsg_time64 \
mq_timedsend_time64 mq_timedreceive_time64 semtimedop_time64 rt_sigtimedwait_time64 \
futex_time64 sched_rr_get_interval_time64 "
calls=$(grep -oE '(^|[^a-z0-9_])[0-9]+ [a-z_][a-z0-9_]*\(' "$work/strace.txt" |
    sed 's/.* \([a-z0-9_]*\)($/\1/' | sort -u)
[ -n "$calls" ] || fail "the run made no system calls that qemu reported"
echo "handheld_package: system calls of the run:"
for call in $calls; do
    n=$(awk -v c="$call" '$1 == c { print $2 }' "$numbers")
    if [ -z "$n" ]; then
        fail "$call is no ARM EABI system call"
    elif [ "$n" -le 352 ]; then
        echo "    $call ($n)"
    elif echo "$falls_back" | grep -q " $call "; then
        echo "    $call ($n, newer than 2.6.24: refused, the C library falls back)"
    else
        fail "$call ($n) is newer than Linux 2.6.24 and has no fallback"
    fi
done
grep -q 'FUTEX_WAIT_BITSET\|FUTEX_WAKE_BITSET\|FUTEX_CLOCK_REALTIME' "$work/strace.txt" &&
    fail "a futex operation newer than Linux 2.6.24"

if [ "$failures" -gt 0 ]; then
    echo "handheld_package: $failures failures"
    exit 1
fi
echo "handheld_package: $(basename "$archive") passed (start-up effect peak $peak, music peak $music_peak, $count instruments)"
