#!/bin/sh
# Checks of the game executable as a process: the exported SDL_videofd,
# start-up without a tile set (message on standard output, exit status 2),
# and a started game ending with status 0 on SIGTERM and on Escape pressed
# in its window in a virtual X server (the server runs natively; a
# cross-built game is its client under the emulator).
#
# usage: startup.sh GAME
# NM names the symbol lister for the game's target and JT_RUN_PREFIX an
# emulator to run it with (both set for a cross-built game).
set -u
# Display numbers of its own, apart from the end-to-end test's.
display_number=$((800 + $$ % 150))
. "$(dirname "$0")/xserver.sh"
case $1 in
/*) game=$1 ;;
*) game=$(pwd)/$1 ;;
esac
failures=0
fail() {
    echo "startup: FAIL: $*"
    failures=$((failures + 1))
}

# SDL_videofd: a defined 4-byte object in the dynamic symbol table.
symbol=$(${NM:-nm} -D -S --defined-only "$game" | awk '$4 == "SDL_videofd"')
if [ -z "$symbol" ]; then
    fail "SDL_videofd is not exported"
else
    set -- $symbol
    [ "$((0x$2))" -eq 4 ] || fail "SDL_videofd is $((0x$2)) bytes, not 4"
    case $3 in
    B | D | b | d) ;;
    *) fail "SDL_videofd is not a data object (type $3)" ;;
    esac
fi

# No tile set: one line on standard output and status 2.
empty=$(mktemp -d "${TMPDIR:-/tmp}/jt_startup.XXXXXX") || exit 1
trap 'rm -rf "$empty"' EXIT
(cd "$empty" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ${JT_RUN_PREFIX:-} "$game" >out.txt 2>err.txt)
status=$?
[ "$status" -eq 2 ] || fail "without a tile set the game ended with status $status, not 2"
if ! grep -qx 'Failed to load a tile set, code [1-9][0-9]*' "$empty/out.txt" ||
    [ "$(wc -l <"$empty/out.txt")" -ne 1 ]; then
    fail "unexpected standard output without a tile set:"
    sed 's/^/    /' "$empty/out.txt"
fi

# With the build's assets: the game starts, deals, draws and keeps running
# until asked to quit; SDL turns SIGTERM into the same quit request as the
# window's close button, and the game then ends with status 0 (there is no
# launcher to hand over to here).
data=$(dirname "$game")/data
if [ -d "$data/image" ]; then
    played=$(mktemp -d "${TMPDIR:-/tmp}/jt_play.XXXXXX") || exit 1
    trap 'rm -rf "$empty" "$played"' EXIT
    ln -s "$data" "$played/data"
    (cd "$played" && exec env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
        ${JT_RUN_PREFIX:-} "$game" >out.txt 2>err.txt) &
    pid=$!
    sleep 3
    if kill -0 "$pid" 2>/dev/null; then
        kill -TERM "$pid"
        wait "$pid"
        status=$?
        [ "$status" -eq 0 ] || fail "asked to quit, the game ended with status $status, not 0"
    else
        wait "$pid"
        fail "the game ended by itself with status $? before it was asked to quit"
        sed 's/^/    /' "$played/out.txt" "$played/err.txt"
    fi
fi

# With the build's assets, in a virtual X server: Escape in the game's window
# ends it with status 0.
if [ -d "$data/image" ]; then
    for tool in Xvfb xdotool; do
        command -v "$tool" >/dev/null 2>&1 || fail "$tool is missing (scripts/setup.sh installs it)"
    done
fi
if [ -d "$data/image" ] && [ "$failures" -eq 0 ]; then
    xplay=$(mktemp -d "${TMPDIR:-/tmp}/jt_xplay.XXXXXX") || exit 1
    xvfb_pid=""
    game_pid=""
    trap '[ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
          [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
          wait 2>/dev/null; rm -rf "$empty" "$played" "$xplay"' EXIT
    ln -s "$data" "$xplay/data"
    # A server that cannot be reached within 10 s is given up for the next.
    start_xvfb "$xplay/xvfb.log" 10 || xvfb_pid=""
    if [ -z "$xvfb_pid" ]; then
        fail "no virtual X server could be started"
    else
        (cd "$xplay" && exec env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \
            ${JT_RUN_PREFIX:-} "$game" >out.txt 2>err.txt) &
        game_pid=$!
        # The window appears once the game has set its video mode; under
        # emulation that takes several seconds.
        deadline=$(($(now_ms) + 60000))
        window=""
        while [ -z "$window" ] && ! ended "$game_pid" && [ "$(now_ms)" -le "$deadline" ]; do
            window=$(xdotool search --onlyvisible --class jadeturtle 2>/dev/null | head -n 1)
            [ -n "$window" ] || sleep 0.1
        done
        if [ -z "$window" ]; then
            if ended "$game_pid"; then
                wait "$game_pid"
                fail "in the X server, the game ended by itself with status $? before its window appeared"
            else
                fail "in the X server, the game's window did not appear within 60 s"
            fi
            sed 's/^/    /' "$xplay/out.txt" "$xplay/err.txt"
        else
            xdotool key Escape || fail "xdotool key Escape"
            deadline=$(($(now_ms) + 20000))
            until ended "$game_pid" || [ "$(now_ms)" -gt "$deadline" ]; do
                sleep 0.02
            done
            if ended "$game_pid"; then
                wait "$game_pid"
                status=$?
                [ "$status" -eq 0 ] || fail "after Escape the game ended with status $status, not 0"
            else
                fail "the game did not end within 20 s of Escape"
            fi
        fi
        game_pid=""
    fi
fi

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "startup: PASS"
