#!/bin/sh
# The game's last moments as a process, with a preloaded shim (handoff_shim.c)
# that records the exit handler's calls, sends its change of folder to a
# scratch root and can refuse one allocation of a given size.
#
#   handoff.sh launcher GAME HELPER SHIM
#     Without a tile set, standard output on a file and a stand-in launcher
#     in the scratch root: the failure message is in the file before the
#     launcher's own line, the handler's calls come in their order, the
#     launcher inherits no descriptor above 2 (the font's file is open), and
#     the exit status is the launcher's.
#   handoff.sh memory GAME HELPER SHIM
#     Each out-of-memory site in turn, with no launcher to hand over to: its
#     message, its exit status, and whether the handler was registered yet.
#
# JT_RUN_PREFIX names an emulator to run the programs with (cross build).
set -u
absolute() {
    case $1 in
    /*) echo "$1" ;;
    *) echo "$(pwd)/$1" ;;
    esac
}
mode=$1
game=$(absolute "$2")
helper=$(absolute "$3")
shim=$(absolute "$4")
prefix=${JT_RUN_PREFIX:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/jt_handoff.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "handoff: FAIL: $*"
    failures=$((failures + 1))
}
# Prints a file indented, for a failure report.
show() {
    echo "    $1:"
    sed 's/^/        /' "$2"
}

mkdir -p "$work/game"
if ! $prefix "$helper" assets "$work/game" >"$work/helper.txt" 2>&1; then
    cat "$work/helper.txt"
    echo "handoff: FAIL: the test assets could not be written"
    exit 1
fi
if [ ! -f "$work/game/data/font/ariblk.ttf" ]; then
    echo "handoff: FAIL: no font for the test assets (the descriptor check needs one open)"
    exit 1
fi

# Runs the game in $work/game with the shim; standard output to out.txt,
# standard error to err.txt, the shim's log to calls.txt. Sets status. Every
# run here should end by itself at start-up; one that does not is stopped.
run_game() {
    rm -f "$work/out.txt" "$work/err.txt" "$work/calls.txt"
    : >"$work/calls.txt"
    if [ -n "$prefix" ]; then
        # The emulator takes the guest's preload itself; in its own
        # environment the variable would name a library it cannot load.
        (cd "$work/game" && exec env "$@" JT_CALL_LOG="$work/calls.txt" \
            SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
            timeout 120 $prefix -E LD_PRELOAD="$shim" "$game" </dev/null >"$work/out.txt" 2>"$work/err.txt")
    else
        (cd "$work/game" && exec env "$@" JT_CALL_LOG="$work/calls.txt" \
            SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy LD_PRELOAD="$shim" \
            timeout 120 "$game" </dev/null >"$work/out.txt" 2>"$work/err.txt")
    fi
    status=$?
}

# Compares a file with the lines given after it.
same_lines() {
    file=$1
    shift
    printf '%s\n' "$@" >"$work/want.txt"
    cmp -s "$file" "$work/want.txt"
}

case $mode in
launcher)
    rm -f "$work/game/data/image/tiles"*.pcx
    mkdir -p "$work/root/usr/gp2x"
    launcher="$work/root/usr/gp2x/gp2xmenu"
    # The stand-in says it started, on the standard output it inherited, and
    # lists its descriptors with their targets, ls's own reading of the
    # folder among them.
    cat >"$launcher" <<EOF
#!/bin/sh
echo "launcher: started"
LC_ALL=C exec ls -l /proc/self/fd/ >"$work/fds.txt"
EOF
    chmod +x "$launcher"
    run_game JT_LAUNCHER_ROOT="$work/root"

    [ "$status" -eq 0 ] || fail "the process ended with status $status, not the launcher's 0"
    if ! same_lines "$work/out.txt" "Failed to load a tile set, code 1" "launcher: started"; then
        fail "standard output is not the message followed by the launcher's line"
        show "standard output" "$work/out.txt"
        show "standard error" "$work/err.txt"
    fi
    if ! same_lines "$work/calls.txt" Mix_CloseAudio SDL_Quit "chdir /usr/gp2x" \
        "execl ./gp2xmenu ./gp2xmenu"; then
        fail "the exit handler's calls differ"
        show "calls" "$work/calls.txt"
    fi
    if [ ! -f "$work/fds.txt" ]; then
        fail "the launcher did not list its descriptors"
    else
        sed -n 's/.* \([0-9][0-9]*\) -> \(.*\)/\1 \2/p' "$work/fds.txt" >"$work/fd_list.txt"
        # Standard output must be among them, or the listing was misread.
        grep -q '^1 ' "$work/fd_list.txt" || fail "the launcher's descriptor list is unreadable"
        awk '$1 > 2 && $2 !~ /^\/proc\/[0-9]+\/fd$/' "$work/fd_list.txt" >"$work/leaked.txt"
        if [ -s "$work/leaked.txt" ]; then
            fail "the launcher inherited descriptors of the game"
            show "inherited" "$work/leaked.txt"
        fi
    fi
    ;;
memory)
    # Sizes of the game's allocations: the 1024-byte reader buffer, each
    # colour table (65536 16-bit entries), the shadow mask (height x (width
    # + 7) / 8 bytes of the 640 x 480 work surface), a screen slot (the
    # work surface's 16-bit pixels) and the first tile set's pixel array.
    tiles="$work/game/data/image/tiles0.pcx"
    set -- $(od -An -tu2 -j8 -N4 "$tiles")
    tile_bytes=$((($1 + 1) * ($2 + 1)))
    mkdir -p "$work/root"
    # SIZE OUTPUT STATUS HANDLER: HANDLER 1 when the exit handler must have
    # run (and found no launcher), 0 when the failure comes before it is
    # registered.
    while read -r size message code handler; do
        message=$(echo "$message" | tr _ ' ')
        run_game JT_FAIL_ALLOC="$size" JT_LAUNCHER_ROOT="$work/root"
        what="refusing $size bytes"
        [ "$status" -eq "$code" ] || fail "$what: status $status, not $code"
        if ! same_lines "$work/out.txt" "$message"; then
            fail "$what: standard output is not \"$message\""
            show "standard output" "$work/out.txt"
            show "standard error" "$work/err.txt"
        fi
        if [ "$handler" -eq 1 ]; then
            same_lines "$work/calls.txt" "allocation refused" Mix_CloseAudio SDL_Quit \
                "chdir /usr/gp2x"
        else
            same_lines "$work/calls.txt" "allocation refused"
        fi || {
            fail "$what: the calls differ"
            show "calls" "$work/calls.txt"
        }
    done <<EOF
131072 No_memory:_5 1 0
1024 No_memory:_1 1 1
$tile_bytes Failed_to_load_a_tile_set,_code_8 2 1
$((480 * (640 + 7) / 8)) No_memory:_20 1 1
$((640 * 480 * 2)) No_memory:_25 1 1
EOF
    ;;
*)
    echo "usage: handoff.sh launcher|memory GAME HELPER SHIM"
    exit 2
    ;;
esac

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "handoff $mode: PASS"
