#!/bin/sh
# End-to-end test of the real game in a virtual X server at 16-bit depth.
#
# The game runs on generated test assets with a fixed random seed (through a
# preloaded shim that also counts presented frames). The helper plays the
# same deal in-process and saves the click positions and the frames the game
# must show, each first checked against a frame composed without the game's
# drawing code (decoded pictures, the layout's positions, and the status line
# set by SDL_ttf from the font file at 24 points). The test then plays the
# whole deal to an empty board with pointer clicks, checks window dumps pixel
# for pixel at the start, after a selection, after an undo and a redo from the
# arrow keys and at the end, checks Return, F1 and F2, measures the idle CPU
# use, releases a held F1 with the pointer outside the window, and quits
# with Escape.
#
# usage: e2e.sh GAME HELPER SHIM [SCALE]
# With SCALE, the game runs over sdl12-compat (SDL 1.2 over SDL 2, fetched by
# scripts/sdl12-compat.sh) instead of the classic SDL 1.2, its window
# enlarged SCALE times, nearest-neighbour, on a 24-bit screen just that
# large: the clicks go to the middle of the enlarged display pixels, and
# every window dump must be an exact SCALE-fold enlargement, reduced before
# comparison.
# JT_RUN_PREFIX names an emulator to run the game and the helper with (set
# for a cross-built game): the X server and xdotool stay native, the
# emulated game is their client, and the shim, built for the game's
# processor, is preloaded into the emulated program through the emulator.
set -u
. "$(dirname "$0")/xserver.sh"
run=${JT_RUN_PREFIX:-}
absolute() {
    case $1 in
    /*) echo "$1" ;;
    *) echo "$(pwd)/$1" ;;
    esac
}
game=$(absolute "$1")
helper=$(absolute "$2")
shim=$(absolute "$3")
scale=${4:-1}
compat=${4:+over sdl12-compat at scale $scale}
seed=1234567
step_timeout=30 # seconds to wait for one frame; generous for loaded machines

for tool in Xvfb xdotool xwd; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "e2e: $tool is missing (scripts/setup.sh installs it)"
        exit 1
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/jt_e2e.XXXXXX") || exit 1
xvfb_pid=""
game_pid=""
compat_lib=""

cleanup() {
    if [ -n "$game_pid" ]; then
        # The game must be gone before its X server: over SDL 2, one whose
        # server vanishes while it shuts down may never end.
        kill "$game_pid" 2>/dev/null
        give_up=$(($(now_ms) + 5000))
        until ended "$game_pid" || [ "$(now_ms)" -gt "$give_up" ]; do
            sleep 0.05
        done
        kill -KILL "$game_pid" 2>/dev/null
    fi
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    if [ -n "${keep_failures:-}" ]; then
        echo "e2e: files kept in $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "e2e: FAIL${compat:+ ($compat)}: $*"
    if [ -f "$work/game.log" ]; then
        echo "e2e: game output:"
        sed 's/^/    /' "$work/game.log"
    fi
    [ -n "${E2E_KEEP:-}" ] && keep_failures=1
    exit 1
}

frames() {
    if [ -f "$work/frames" ]; then
        wc -l <"$work/frames"
    else
        echo 0
    fi
}

# Waits until at least $1 frames have been presented.
wait_frames() {
    deadline=$(($(now_ms) + step_timeout * 1000))
    while [ "$(frames)" -lt "$1" ]; do
        ended "$game_pid" && fail "the game ended while $1 frames were awaited"
        [ "$(now_ms)" -gt "$deadline" ] && fail "frame $1 did not come within ${step_timeout}s"
        sleep 0.02
    done
}

# Dumps the window until it shows the expected frame $1 (named after the
# check $2), or fails after the step timeout.
expect_frame() {
    deadline=$(($(now_ms) + step_timeout * 1000))
    while :; do
        xwd -silent -id "$window" -out "$work/shot.xwd" 2>/dev/null || fail "cannot dump the window"
        if $run "$helper" compare "$work/expected/$1.raw" "$work/shot.xwd" "$scale" \
            "$work/mismatch-$2.png" >"$work/compare.txt" 2>&1; then
            echo "e2e: $2: screen matches the in-process frame"
            return 0
        fi
        if [ "$(now_ms)" -gt "$deadline" ]; then
            cat "$work/compare.txt"
            E2E_KEEP=1
            fail "$2: the screen does not show the expected frame"
        fi
        sleep 0.1
    done
}

# Sends the keyboard key $1 and waits for the frame it causes. xdotool's
# --delay is a fixed pause after the key (12 ms by default) and after a
# click (100 ms by default); the frame log is awaited instead.
key_frame() {
    before=$(frames)
    xdotool key --delay 0 "$1" || fail "xdotool key $1"
    wait_frames $((before + 1))
}

# Presses the pointer at display point ($1, $2) (the middle of the window's
# block for it) and waits for the frame.
click_frame() {
    before=$(frames)
    xdotool mousemove --window "$window" $(($1 * scale + scale / 2)) $(($2 * scale + scale / 2)) \
        click --delay 0 1 || fail "xdotool click at $1 $2"
    wait_frames $((before + 1))
}

cpu_ticks() {
    # utime and stime, fields 14 and 15 of /proc/PID/stat (the command name
    # in field 2 has no spaces here).
    awk '{ print $14 + $15 }' "/proc/$game_pid/stat"
}

test_start=$(now_ms)

if [ -n "$compat" ]; then
    [ -z "$run" ] || fail "sdl12-compat is fetched for this machine, not for an emulated game"
    case $scale in
    *[!0-9]* | 0*) fail "the scale is a whole number from 1, not '$scale'" ;;
    esac
    compat_lib=$(sh "$(dirname "$0")/../scripts/sdl12-compat.sh") || fail "sdl12-compat is not to be had"
    # The helper too: it plays the deal in-process over the same library,
    # whose colour conversions differ from the classic one's in the last
    # bit, and so do some shaded and lit pixels of the frames.
    LD_LIBRARY_PATH="$compat_lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
    export LD_LIBRARY_PATH
    # At the depth of today's desktops, which widen the display's 16-bit
    # pixels on their way to the screen.
    xvfb_screen=$((320 * scale))x$((240 * scale))x24
fi

# --- assets and the expected frames ----------------------------------------
mkdir -p "$work/game" "$work/expected"
$run "$helper" assets "$work/game" || fail "cannot write the test assets"
$run "$helper" plan "$work/game" "$seed" "$work/expected" >"$work/plan.log" 2>&1 ||
    { cat "$work/plan.log"; fail "cannot plan the game"; }
[ "$(wc -l <"$work/expected/clicks.txt")" -eq 144 ] || fail "the plan does not have 144 clicks"

# --- virtual X server and the game --------------------------------------------
stop_xvfb() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
}

# Starts the game and waits for its first frame and its window; 1 when it
# ended before that.
start_game() {
    rm -f "$work/frames"
    (
        cd "$work/game" || exit 1
        export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy JT_FIXED_TIME="$seed" \
            JT_FRAME_LOG="$work/frames"
        if [ -n "$compat_lib" ]; then
            export SDL12COMPAT_WINDOW_SCALING="$scale" SDL12COMPAT_SCALE_METHOD=nearest
        fi
        if [ -n "$run" ]; then
            # The emulator is a static program that ignores LD_PRELOAD; it
            # puts the variable into the emulated program's environment.
            exec $run -E "LD_PRELOAD=$shim" "$game"
        fi
        exec env LD_PRELOAD="$shim" "$game"
    ) >"$work/game.log" 2>&1 &
    game_pid=$!
    deadline=$(($(now_ms) + step_timeout * 1000))
    while [ "$(frames)" -lt 1 ]; do
        if ended "$game_pid"; then
            wait "$game_pid" 2>/dev/null
            game_pid=""
            return 1
        fi
        [ "$(now_ms)" -gt "$deadline" ] && fail "the first frame did not come within ${step_timeout}s"
        sleep 0.02
    done
    window=$(find_window "$deadline") || fail "the game's window did not appear"
    return 0
}

attempt=1
while :; do
    start_xvfb "$work/xvfb.log" "$step_timeout" || { cat "$work/xvfb.log"; fail "no virtual X server could be started"; }
    echo "e2e: Xvfb on $DISPLAY"
    start_game && break
    [ "$attempt" -ge 3 ] && fail "the game did not start"
    echo "e2e: the game did not start on $DISPLAY; trying another server:"
    sed 's/^/    /' "$work/game.log"
    stop_xvfb
    attempt=$((attempt + 1))
done
echo "e2e: game window $window${compat:+, $compat}"

expect_frame start start

# The first pair: a selection, the match, then undo and redo from the keyboard.
set -- $(sed -n 1p "$work/expected/clicks.txt")
click_frame "$1" "$2"
expect_frame selected selection
set -- $(sed -n 2p "$work/expected/clicks.txt")
click_frame "$1" "$2"
expect_frame pair first-pair
key_frame Left
expect_frame start undo
key_frame Right
expect_frame pair redo

# The other 71 pairs, in the order the deal was generated.
n=2
tail -n +3 "$work/expected/clicks.txt" >"$work/rest.txt"
while read -r x y; do
    click_frame "$x" "$y"
    n=$((n + 1))
done <"$work/rest.txt"
[ "$n" -eq 144 ] || fail "only $n clicks were played"
expect_frame end empty-board
echo "e2e: whole deal played: 144 clicks, $(frames) frames"

# Idle: nothing to do but poll for input.
ticks_per_second=$(getconf CLK_TCK)
before=$(cpu_ticks)
sleep 10
after=$(cpu_ticks)
idle=$(((after - before) * 1000 / ticks_per_second / 10))
echo "e2e: idle CPU use over 10 s: $((idle / 10)).$((idle % 10))% of one core"
[ "$idle" -lt 300 ] || fail "the idle game uses ${idle} per mille of a core"

# Return deals anew, F1 switches the tile set, F2 the background.
key_frame Return
expect_frame redeal new-deal
key_frame F1
expect_frame tileset next-tile-set
key_frame F2
expect_frame background next-background

# F1 held in the window, then released with the pointer outside it (the
# window is moved aside to make room). With no window manager the keyboard
# follows the pointer and X reports no loss of focus, only the pointer
# leaving; unless that stops the repeat, the game switches tile sets for
# ever and never draws again.
xdotool windowmove "$window" 100 0 mousemove 200 120 keydown F1 sleep 1 || fail "xdotool: F1 held"
before=$(frames)
xdotool mousemove 20 120 keyup F1 mousemove 200 120 || fail "xdotool: F1 released outside"
wait_frames $((before + 1))
echo "e2e: F1 released outside the window: the repeat stopped"

# Escape ends the game with status 0 within a second.
start=$(now_ms)
xdotool key Escape || fail "xdotool key Escape"
deadline=$((start + 10000))
until ended "$game_pid"; do
    [ "$(now_ms)" -gt "$deadline" ] && fail "the game did not end within 10 s of Escape"
    sleep 0.01
done
elapsed=$(($(now_ms) - start))
wait "$game_pid"
status=$?
game_pid=""
[ "$status" -eq 0 ] || fail "the game ended with status $status after Escape"
[ "$elapsed" -le 1000 ] || fail "the game took ${elapsed} ms to end after Escape"
echo "e2e: Escape ended the game with status 0 after ${elapsed} ms"
total=$(($(now_ms) - test_start))
echo "e2e: the whole run took $((total / 1000)).$((total % 1000 / 100)) s${run:+ under $run}${compat:+ $compat}"
echo "e2e: PASS"
