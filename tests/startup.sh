#!/bin/sh
# Checks of the game executable as a process: the exported SDL_videofd, and
# start-up without a tile set (message on standard output, exit status 2).
#
# usage: startup.sh GAME
# NM names the symbol lister for the game's target and JT_RUN_PREFIX an
# emulator to run it with (both set for a cross-built game).
set -u
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

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "startup: PASS"
