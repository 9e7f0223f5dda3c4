#!/bin/bash
# How much processor time the real game takes while the player taps tiles as
# fast as possible. Run on demand from anywhere (not part of the test suite):
#
#   bench/click_burst.sh [--build DIR] [--clicks N] [--interval MS]
#                        [--audio DRIVER] [--quiet MS]
#
# --build     a build folder with jadeturtle, tests/e2e_helper,
#             tests/e2e_shim.so and the generated data/ (default: build/ of
#             this repository); the script builds nothing
# --clicks    pointer clicks per burst, 1 to 144 (default 100)
# --interval  pause between two clicks in ms (default 10); 0 sends them as
#             fast as xdotool goes
# --audio     SDL_AUDIODRIVER for the game (default dummy: SDL's dummy driver
#             consumes sound in real time, so effects last as long as on a
#             device); "none" runs without audio, where effects end at once
# --quiet     how long nothing may happen before a burst counts as over
#             (default 500 ms)
#
# The game runs in Xvfb (320x240, 16 bits) on the build's real data/, with the
# end-to-end test's preloaded shim: a fixed seed, so the deal is known, and a
# log line per presented frame. e2e_helper plays the same deal in-process and
# gives a point on each tile in an order that removes the tiles pair by pair.
# xdotool sends each burst from one process. Three windows are measured, each
# as the game's utime+stime from /proc/PID/stat over wall time (and the X
# server's, which draws what the game presents):
#   idle       2 s with no input
#   off tiles  N clicks on the empty strip below the board; they must change
#              nothing (no frame, no effect)
#   on tiles   the first N clicks of the helper's order
# A burst's window opens just before the first click is sent and closes at the
# last sign of activity (a frame presented, an effect started, a file read, or
# the end of sending) once the quiet time has passed without any.
# Every click that acts on a tile plays snd0.wav, which the game opens anew
# each time; a small inotify watcher (python3) counts those opens, so the
# "effects" column is the number of clicks that took effect. Afterwards Left
# (undo) is pressed until it brings no frame: the pairs undone are the pairs
# the burst removed.
set -u
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
# The clock, ended children and Xvfb; the faster bash forms of now_ms and
# ended below replace the first two for the measuring loop.
. "$root/tests/xserver.sh"
build="$root/build"
clicks=100
interval=10
audio=dummy
quiet_ms=500
seed=1234567
idle_ms=2000
step_timeout=30 # seconds to wait for the game's start or one frame

usage() {
    sed -n '2,/^set -u/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
}

while [ $# -gt 0 ]; do
    case "$1" in
    --build) build=$2; shift 2 ;;
    --clicks) clicks=$2; shift 2 ;;
    --interval) interval=$2; shift 2 ;;
    --audio) audio=$2; shift 2 ;;
    --quiet) quiet_ms=$2; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
    esac
done

die() {
    echo "click_burst: $*" >&2
    if [ -n "${work:-}" ] && [ -f "$work/game.log" ] && [ -s "$work/game.log" ]; then
        echo "click_burst: game output:" >&2
        sed 's/^/    /' "$work/game.log" >&2
    fi
    exit 1
}

case "$clicks" in '' | *[!0-9]*) die "--clicks takes a number" ;; esac
case "$interval" in '' | *[!0-9]*) die "--interval takes a whole number of ms" ;; esac
case "$quiet_ms" in '' | *[!0-9]*) die "--quiet takes a whole number of ms" ;; esac
if [ "$clicks" -lt 1 ] || [ "$clicks" -gt 144 ]; then
    die "--clicks must be 1 to 144 (the deal has 144 tiles)"
fi
[ "$quiet_ms" -ge 100 ] || die "--quiet must be at least 100 ms"

build=$(cd "$build" 2>/dev/null && pwd) || die "no build folder $build"
game="$build/jadeturtle"
helper="$build/tests/e2e_helper"
shim="$build/tests/e2e_shim.so"
for f in "$game" "$helper" "$shim" "$build/data/sound/snd0.wav"; do
    [ -e "$f" ] || die "$f is missing; build it first:
    cmake --build $build --target jadeturtle e2e_helper e2e_shim assets"
done
for tool in Xvfb xdotool python3; do
    command -v "$tool" >/dev/null 2>&1 || die "$tool is missing (scripts/setup.sh installs it)"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/jt_burst.XXXXXX") || exit 1
xvfb_pid=""
game_pid=""
sender_pid=""
watcher_pid=""
cleanup() {
    [ -n "$sender_pid" ] && kill "$sender_pid" 2>/dev/null
    [ -n "$watcher_pid" ] && kill "$watcher_pid" 2>/dev/null
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# The measuring loop polls every few ms; it uses only shell built-ins, so it
# takes little processor time from the game on a small machine.
mkfifo "$work/tick" || die "cannot make a FIFO"
exec 6<>"$work/tick" # never written: reading it with a timeout is a sleep
nap() { read -r -t "$1" -u 6 _; }
now_ms() {
    local t=${EPOCHREALTIME/./}
    echo $((t / 1000))
}
# Sets now (ms), cpu (game ticks), xcpu (server ticks) and rchar (bytes the
# game has read from files and sockets).
sample() {
    local t=${EPOCHREALTIME/./} st k v
    now=$((t / 1000))
    # utime and stime: fields 14 and 15 (the command name has no spaces).
    read -r -a st <"/proc/$game_pid/stat" || return 1
    cpu=$((st[13] + st[14]))
    read -r -a st <"/proc/$xvfb_pid/stat" || return 1
    xcpu=$((st[13] + st[14]))
    while read -r k v; do
        [ "$k" = rchar: ] && rchar=$v
    done <"/proc/$game_pid/io"
    return 0
}
frames=0
# Counts the lines added to the frame log since the last call.
count_frames() {
    while IFS= read -r -u 5 _; do
        frames=$((frames + 1))
    done
}
effects=0
# Counts the effects the game has started since the last call.
count_effects() {
    while IFS= read -r -u 7 _; do
        effects=$((effects + 1))
    done
}
# Whether process $1 has ended (a child not yet waited for stays as a zombie).
ended() {
    local st
    [ -e "/proc/$1/stat" ] || return 0
    read -r -a st <"/proc/$1/stat" 2>/dev/null || return 0
    [ "${st[2]}" = Z ]
}

ticks_per_second=$(getconf CLK_TCK)
tick_ms=$((1000 / ticks_per_second))

# --- the deal's click points ---------------------------------------------------
"$helper" plan "$build" "$seed" "$work" >"$work/plan.log" 2>&1 ||
    { cat "$work/plan.log" >&2; die "e2e_helper could not plan the deal"; }
[ "$(wc -l <"$work/clicks.txt")" -eq 144 ] || die "the plan does not have 144 clicks"
head -n "$clicks" "$work/clicks.txt" >"$work/on.txt"
# Below the lowest row of tiles (display rows up to 196) only the background
# and the status line are drawn; points spread over it move the pointer on
# every click, as the clicks on tiles do.
i=0
while [ "$i" -lt "$clicks" ]; do
    echo "$((8 + i * 37 % 304)) $((204 + i * 13 % 32))"
    i=$((i + 1))
done >"$work/off.txt"

# Effect length from the WAV header: data bytes over bytes per second.
effect_ms=$(od -A n -t u4 -j 28 -N 4 "$build/data/sound/snd0.wav" | tr -d ' ')
data_bytes=$(od -A n -t u4 -j 40 -N 4 "$build/data/sound/snd0.wav" | tr -d ' ')
effect_ms=$((data_bytes * 1000 / effect_ms))

# Every click that acts on a tile (selects, deselects or removes) plays
# snd0.wav, which the game opens anew each time: a watcher writes one line per
# open. Closes are watched too, so that two opens are never adjacent events,
# which inotify would merge into one.
cat >"$work/watch_opens.py" <<'EOF_PY'
import ctypes, os, struct, sys
IN_OPEN, IN_CLOSE_NOWRITE = 0x20, 0x10
libc = ctypes.CDLL(None, use_errno=True)
fd = libc.inotify_init()
if fd < 0 or libc.inotify_add_watch(fd, sys.argv[1].encode(), IN_OPEN | IN_CLOSE_NOWRITE) < 0:
    sys.exit("watch_opens: inotify: " + os.strerror(ctypes.get_errno()))
out = os.open(sys.argv[2], os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)  # ready
while True:
    data = os.read(fd, 65536)
    i = 0
    while i < len(data):
        wd, mask, cookie, length = struct.unpack_from("iIII", data, i)
        i += 16 + length
        if mask & IN_OPEN:
            os.write(out, b"open\n")
EOF_PY
python3 "$work/watch_opens.py" "$build/data/sound/snd0.wav" "$work/effects" 2>"$work/watch.log" &
watcher_pid=$!
deadline=$(($(now_ms) + step_timeout * 1000))
until [ -e "$work/effects" ]; do
    ended "$watcher_pid" && die "the watcher of snd0.wav failed: $(cat "$work/watch.log")"
    [ "$(now_ms)" -gt "$deadline" ] && die "the watcher of snd0.wav did not start"
    nap 0.02
done
exec 7<"$work/effects"

# --- the X server and the game ----------------------------------------------------
start_xvfb "$work/xvfb.log" "$step_timeout" || die "no virtual X server could be started"

(
    cd "$build" &&
        exec env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER="$audio" LD_PRELOAD="$shim" \
            JT_FIXED_TIME="$seed" JT_FRAME_LOG="$work/frames" "$game"
) >"$work/game.log" 2>&1 &
game_pid=$!
deadline=$(($(now_ms) + step_timeout * 1000))
until [ -s "$work/frames" ]; do
    ended "$game_pid" && die "the game ended before its first frame"
    [ "$(now_ms)" -gt "$deadline" ] && die "the first frame did not come within ${step_timeout}s"
    nap 0.02
done
exec 5<"$work/frames"
count_frames
window=$(find_window "$deadline") || die "the game's window did not appear"
threads=$(sed -n 's/^Threads:[[:space:]]*//p' "/proc/$game_pid/status")
if grep -q "Couldn't initialize audio" "$work/game.log"; then
    audio_state="$audio (did not open: effects end at once)"
else
    audio_state="$audio (opened)"
fi
nap 1 # let start-up work (music, first frame) settle

# --- measurements ---------------------------------------------------------------------
rows=""
add_row() { # name clicks wall_ms cpu_ticks xcpu_ticks frames effects pairs note
    rows="$rows$1|$2|$3|$4|$5|$6|$7|$8|$9
"
}

count_frames
count_effects
f0=$frames e0=$effects
sample || die "cannot read the game's or the server's /proc entries"
cpu0=$cpu xcpu0=$xcpu t0=$now
nap "$((idle_ms / 1000)).$((idle_ms % 1000 / 100))"
sample || die "the game or the X server ended"
count_frames
count_effects
add_row idle - $((now - t0)) $((cpu - cpu0)) $((xcpu - xcpu0)) $((frames - f0)) $((effects - e0)) - -

# Sends the clicks of file $1 and waits until the game is quiet; sets b_wall,
# b_cpu, b_xcpu, b_frames, b_effects and b_send (ms the sending took).
burst() {
    local -a args=()
    local x y pause last last_cpu last_xcpu last_rchar last_frames last_effects sent_at=""
    pause=$((interval / 1000)).$(printf %03d $((interval % 1000)))
    while read -r x y; do
        [ "$interval" -gt 0 ] && [ ${#args[@]} -gt 0 ] && args+=(sleep "$pause")
        # xdotool waits 100 ms after each click unless told otherwise.
        args+=(mousemove --window "$window" "$x" "$y" click --delay 0 1)
    done <"$1"
    count_frames
    count_effects
    local f_start=$frames
    sample || die "the game or the X server ended"
    local t_start=$now cpu_start=$cpu xcpu_start=$xcpu effects_start=$effects
    xdotool "${args[@]}" >/dev/null 2>"$work/xdotool.log" &
    sender_pid=$!
    last=$now last_cpu=$cpu last_xcpu=$xcpu last_rchar=$rchar last_frames=$frames
    last_effects=$effects
    deadline=$((t_start + 60000 + clicks * 2000))
    while :; do
        nap 0.01
        count_frames
        count_effects
        sample || die "the game or the X server ended during the burst"
        if [ "$frames" != "$last_frames" ] || [ "$rchar" != "$last_rchar" ] ||
            [ "$effects" != "$last_effects" ]; then
            last=$now last_cpu=$cpu last_xcpu=$xcpu last_rchar=$rchar last_frames=$frames
            last_effects=$effects
        fi
        if [ -z "$sent_at" ] && ended "$sender_pid"; then
            wait "$sender_pid" || die "xdotool failed: $(cat "$work/xdotool.log")"
            sender_pid=""
            sent_at=$now
            last=$now last_cpu=$cpu last_xcpu=$xcpu
        fi
        [ -n "$sent_at" ] && [ $((now - last)) -ge "$quiet_ms" ] && break
        [ "$now" -gt "$deadline" ] && die "the game did not go quiet within $(((deadline - t_start) / 1000)) s"
    done
    b_wall=$((last - t_start))
    b_cpu=$((last_cpu - cpu_start))
    b_xcpu=$((last_xcpu - xcpu_start))
    b_frames=$((last_frames - f_start))
    b_send=$((sent_at - t_start))
    b_effects=$((last_effects - effects_start))
}

burst "$work/off.txt"
off_frames=$b_frames
off_effects=$b_effects
add_row "off tiles" "$clicks" $b_wall $b_cpu $b_xcpu $b_frames $b_effects - "sent in $b_send ms"

burst "$work/on.txt"
on_effects=$b_effects
add_row "on tiles" "$clicks" $b_wall $b_cpu $b_xcpu $b_frames $b_effects PAIRS "sent in $b_send ms"

# Undo until nothing is left to undo: each undone pair presents one frame.
pairs=0
while [ "$pairs" -le 72 ]; do
    count_frames
    before=$frames
    xdotool key Left || die "xdotool key Left"
    deadline=$(($(now_ms) + 1500))
    while [ "$frames" -eq "$before" ] && [ "$(now_ms)" -le "$deadline" ]; do
        nap 0.01
        count_frames
    done
    [ "$frames" -gt "$before" ] || break
    pairs=$((pairs + 1))
done
rows=${rows/PAIRS/$pairs}

xdotool key Escape || die "xdotool key Escape"
deadline=$(($(now_ms) + 10000))
until ended "$game_pid"; do
    [ "$(now_ms)" -gt "$deadline" ] && die "the game did not end within 10 s of Escape"
    nap 0.01
done
wait "$game_pid"
status=$?
game_pid=""

# --- the table -----------------------------------------------------------------------------
echo "build:    $build"
echo "audio:    SDL_AUDIODRIVER=$audio_state; $threads threads; snd0.wav $effect_ms ms"
echo "clicks:   $clicks per burst, $interval ms apart (xdotool, one process per burst)"
echo "clock:    $ticks_per_second ticks/s: CPU times are whole ticks of $tick_ms ms"
echo
printf '%s' "$rows" | awk -F'|' -v tick="$tick_ms" '
BEGIN {
    printf "%-9s %6s %7s %7s %6s %7s %6s %7s %5s  %s\n", "window", "clicks", "wall ms",
        "game ms", "game%", "Xvfb ms", "frames", "effects", "pairs", "note"
}
{
    wall = $3; cpu = $4 * tick; xcpu = $5 * tick
    pct = wall > 0 ? 100 * cpu / wall : 0
    printf "%-9s %6s %7d %7d %5.1f%% %7d %6d %7s %5s  %s\n", $1, $2, wall, cpu, pct, xcpu, $6,
        $7, $8, ($9 == "-" ? "" : $9)
}'
echo
echo "game%: of one core. effects: clicks that acted on a tile (each plays snd0.wav"
echo "once). pairs: pairs undone with Left afterwards; $((clicks / 2)) if every click acted."
[ "$status" -eq 0 ] || die "the game ended with status $status after Escape"
# A reference that touched a tile, or tile clicks that did nothing, would make
# the comparison meaningless.
if [ "$off_frames" -ne 0 ] || [ "$off_effects" -ne 0 ]; then
    die "the clicks off the tiles acted ($off_frames frames, $off_effects effects)"
fi
[ "$on_effects" -gt 0 ] || die "none of the clicks on tiles acted"
[ $((2 * pairs)) -le "$on_effects" ] || die "$pairs pairs removed by only $on_effects clicks"
