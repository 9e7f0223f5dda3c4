#!/bin/sh
# Counts the instructions one frame costs after each game action, natively
# (x86, under callgrind) and for the handheld's ARM build (under qemu's
# translation log), beside the count of one 640x480 16-bit memcpy measured the
# same way. Run on demand from anywhere:
#
#   bench/frame_cost.sh [--native DIR] [--arm DIR] [--sysroot DIR]
#                       [--no-build] [--no-native] [--no-arm] [ACTION...]
#
# DIR defaults: build/ and build-arm/ of this repository; --arm
# build-handheld measures the handheld's static game instead. The sysroot of
# the Debian ARM build comes from its CMakeCache.txt (JT_ARM_SYSROOT), else
# ~/.cache/jadeturtle/sysroot-armel-bookworm. Without --no-build the
# frame_cost target (and natively the assets) is built first. ACTIONs default
# to all of: select deselect remove undo redo deal f1 f2 nothing full
# select-first.
# "memcpy" and "loop" always run: the first is the yardstick, the second a
# loop of known length whose count must come out exact (or the run fails).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
native="$root/build"
arm="$root/build-arm"
sysroot=""
build=1
do_native=1
do_arm=1

usage() {
    sed -n '2,/^set -eu/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
}

while [ $# -gt 0 ]; do
    case "$1" in
    --native) native=$2; shift 2 ;;
    --arm) arm=$2; shift 2 ;;
    --sysroot) sysroot=$2; shift 2 ;;
    --no-build) build=0; shift ;;
    --no-native) do_native=0; shift ;;
    --no-arm) do_arm=0; shift ;;
    -h | --help) usage; exit 0 ;;
    -*) usage >&2; exit 2 ;;
    *) break ;;
    esac
done
actions=${*:-select deselect remove undo redo deal f1 f2 nothing full select-first}
jobs=$(nproc 2>/dev/null || echo 2)

die() {
    echo "frame_cost: $*" >&2
    exit 1
}

t_start=$(date +%s)
native=$(cd "$native" 2>/dev/null && pwd) || die "no native build folder"
if [ "$do_native" = 1 ]; then
    command -v valgrind >/dev/null || die "valgrind is not installed"
fi
if [ "$do_arm" = 1 ]; then
    arm=$(cd "$arm" 2>/dev/null && pwd) || die "no ARM build folder (scripts/build-arm.sh makes build-arm/)"
    # The handheld's static game (scripts/package.sh builds it in
    # build-handheld/) needs no sysroot.
    if grep -q '^JT_HANDHELD_LIBS:' "$arm/CMakeCache.txt" 2>/dev/null; then
        sysroot=""
    else
        if [ -z "$sysroot" ] && [ -f "$arm/CMakeCache.txt" ]; then
            sysroot=$(sed -n 's/^JT_ARM_SYSROOT:[A-Z]*=//p' "$arm/CMakeCache.txt")
        fi
        [ -n "$sysroot" ] || sysroot="$HOME/.cache/jadeturtle/sysroot-armel-bookworm"
        [ -d "$sysroot" ] || die "no ARM sysroot at $sysroot"
    fi
    command -v qemu-arm-static >/dev/null || die "qemu-arm-static is not installed"
    command -v arm-linux-gnueabi-nm >/dev/null || die "arm-linux-gnueabi-nm is not installed"
fi

if [ "$build" = 1 ]; then
    # The native build also makes data/, which both programs read.
    cmake --build "$native" --target frame_cost assets -j"$jobs" >/dev/null ||
        die "the native build of frame_cost failed"
    if [ "$do_arm" = 1 ]; then
        cmake --build "$arm" --target frame_cost -j"$jobs" >/dev/null ||
            die "the ARM build of frame_cost failed"
    fi
fi
[ -d "$native/data" ] || die "no data/ in $native (build its assets target)"
known=$("$native/bench/frame_cost" 2>&1 | sed -n 's/^actions: //p') || true
[ -n "$known" ] || die "no frame_cost program in $native/bench"
for action in $actions; do
    echo " $known " | grep -q " $action " || die "unknown action $action (known: $known)"
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/frame_cost.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
trap 'exit 130' INT TERM

# The ARM program reads data/ from its working folder: a link to the native
# build's, so that both programs start from the same files.
arm_cwd="$tmp/arm-run"
mkdir "$arm_cwd"
ln -s "$native/data" "$arm_cwd/data"

# Reads qemu's log of translated blocks (in_asm) and executed blocks (exec,
# with chaining off so that every execution is logged) and prints the
# instructions executed from the first entry to frame_cost_begin up to the
# entry to frame_cost_end. A translation is logged as
#     IN: symbol
#     0x40001dec:  e2533001  subs     r3, r3, #1
#     ...            (one line per guest instruction, then a blank line)
# and each execution as
#     Trace 0: 0x7fc350351fc0 [00000480/40001dec/00000000/00000200] symbol
# (cpu index, host code address, then cs_base/pc/flags/cflags). A pc can be
# translated more than once (after a flush, or with other flags), so blocks
# are keyed by their host code address, learned from the first execution
# that follows each translation.
cat >"$tmp/count_blocks.py" <<'EOF'
import sys

begin_off = int(sys.argv[1], 16) & ~1
end_off = int(sys.argv[2], 16) & ~1
PAGE = 0x1000

by_host = {}      # host code address -> guest instructions of that translation
by_pc = {}        # pc -> guest instructions of its latest translation
pending = None    # (pc, instructions) translated, not yet seen executing
begin_pc = end_pc = None
begin_tag = None
state = 0         # 0 before the region, 1 inside it, 2 after it
total = blocks = 0
cpus = set()
unmapped = 0      # executions inside the region with no known translation
regrown = 0       # retranslations of a pc with another length
orphans = 0       # translations not followed by their own execution
translations = 0


def trace(line):
    global pending, state, total, blocks, unmapped, orphans
    if state == 2:
        pending = None
        return
    if pending is None and state == 0 and (begin_tag is None or begin_tag not in line):
        return
    lb = line.index(b'[')
    head = line[6:lb].split()          # [b'0:', b'0x7fc3...']
    host = head[1]
    pc = int(line[lb + 1:line.index(b']', lb)].split(b'/')[1], 16)
    if pending is not None:
        if pending[0] == pc:
            by_host[host] = pending[1]
        else:
            orphans += 1
        pending = None
    if state == 0:
        if pc != begin_pc:
            return
        state = 1
    elif pc == end_pc:
        state = 2
        return
    cpus.add(head[0])
    n = by_host.get(host)
    if n is None:
        unmapped += 1
        n = by_pc.get(pc, 0)
    total += n
    blocks += 1


def translation(symbol, first, count):
    global pending, begin_pc, end_pc, begin_tag, regrown, translations, orphans
    translations += 1
    if pending is not None:
        orphans += 1
    pending = (first, count)
    if first in by_pc and by_pc[first] != count:
        regrown += 1
    by_pc[first] = count
    # The marker's first translation starts at its entry; the load bias is
    # then a whole number of pages.
    if begin_pc is None and symbol == b'frame_cost_begin' and (first - begin_off) % PAGE == 0:
        bias = first - begin_off
        begin_pc = first
        end_pc = bias + end_off
        begin_tag = b'/%08x/' % begin_pc


f = sys.stdin.buffer
line = f.readline()
while line:
    if line.startswith(b'Trace '):
        trace(line)
        line = f.readline()
    elif line.startswith(b'IN:'):
        symbol = line[3:].strip()
        first = None
        count = 0
        line = f.readline()
        while line.startswith(b'0x'):
            if first is None:
                first = int(line[2:line.index(b':')], 16)
            count += 1
            line = f.readline()
        if first is not None:
            translation(symbol, first, count)
    else:
        line = f.readline()

print('instructions %d blocks %d begin %s state %d cpus %d unmapped %d regrown %d orphans %d '
      'translations %d' % (total, blocks, hex(begin_pc) if begin_pc is not None else 'none',
                           state, len(cpus), unmapped, regrown, orphans, translations))
EOF

# x86: callgrind collects only while inside the measured functions.
run_native() {
    out="$tmp/native.$1"
    (cd "$native" && valgrind --tool=callgrind --collect-atstart=no \
        --toggle-collect=measured_frame --toggle-collect=measured_memcpy \
        --toggle-collect=measured_loop --callgrind-out-file="$out.cg" \
        ./bench/frame_cost "$1") >"$out.out" 2>"$out.err" ||
        { cat "$out.err" >&2; die "frame_cost $1 failed under valgrind"; }
    count=$(sed -n 's/^summary: *//p' "$out.cg")
    [ -n "$count" ] || die "no instruction count in callgrind's output for $1"
    echo "$count"
}

# ARM: qemu logs every translation and every block executed (about 650 MB
# a run, one write per line: faster into a file than through a pipe); the
# log is read once and deleted.
run_arm() {
    out="$tmp/arm.$1"
    status=0
    (cd "$arm_cwd" && qemu-arm-static -cpu arm926 ${sysroot:+-L "$sysroot"} \
        -d in_asm,exec,nochain -D "$out.log" \
        "$arm/bench/frame_cost" "$1") >"$out.out" 2>"$out.err" || status=$?
    if [ "$status" -ne 0 ]; then
        rm -f "$out.log"
        cat "$out.err" >&2
        die "frame_cost $1 failed under qemu"
    fi
    python3 "$tmp/count_blocks.py" "$marker_begin" "$marker_end" <"$out.log" >"$out.count" ||
        { rm -f "$out.log"; die "the ARM log counter failed for $1"; }
    rm -f "$out.log"
    marker=$(sed -n 's/.* begin_marker \(0x[0-9a-f]*\).*/\1/p' "$out.out")
    # instructions N blocks N begin PC state S cpus C unmapped U regrown R orphans O translations T
    set -- "$1" $(cat "$out.count")
    [ "$7" = "$marker" ] ||
        die "ARM $1: the counter found frame_cost_begin at $7, the program at $marker"
    [ "$9" = 2 ] || die "ARM $1: the log never reached frame_cost_end"
    [ "${11}" = 1 ] || die "ARM $1: blocks of ${11} threads in the measured region"
    [ "${13}" = 0 ] || die "ARM $1: ${13} executed blocks without a known translation"
    [ "${17}" = 0 ] || die "ARM $1: ${17} translations not followed by their execution"
    echo "$3 ${15}"
}

# The picture the measured frame left on the display, from the program's line.
picture() {
    sed -n 's/.* display \([0-9a-f]*\).*/\1/p' "$1"
}

if [ "$do_arm" = 1 ]; then
    marker_begin=$(arm-linux-gnueabi-nm "$arm/bench/frame_cost" | awk '$3 == "frame_cost_begin" { print $1 }')
    marker_end=$(arm-linux-gnueabi-nm "$arm/bench/frame_cost" | awk '$3 == "frame_cost_end" { print $1 }')
    [ -n "$marker_begin" ] && [ -n "$marker_end" ] || die "no marker symbols in $arm/bench/frame_cost"
fi

# One line per action in $tmp/results: action x86 arm x86-picture arm-picture regrown
: >"$tmp/results"
for action in memcpy loop $(echo "$actions" | tr ' ' '\n' | grep -vx 'memcpy\|loop'); do
    x=- a=- xp=- ap=- regrown=0
    if [ "$do_native" = 1 ]; then
        x=$(run_native "$action")
        xp=$(picture "$tmp/native.$action.out")
    fi
    if [ "$do_arm" = 1 ]; then
        r=$(run_arm "$action")
        set -- $r
        a=$1 regrown=$2
        ap=$(picture "$tmp/arm.$action.out")
    fi
    echo "$action $x $a $xp $ap $regrown" >>"$tmp/results"
    echo "frame_cost: $action done ($(($(date +%s) - t_start)) s)" >&2
done

# The loop's count is known: 2 + 3 * rounds instructions of its own, plus the
# few of the calls to and from the markers (6 on x86 and 7 on ARM as
# compiled today). A block left out or counted twice is off by far more.
rounds=$(sed -n 's/.* loop_rounds \([0-9]*\).*/\1/p' "$tmp"/*.loop.out | head -n 1)
expected=$((2 + 3 * rounds))
check_loop() {
    [ "$2" = - ] && return 0
    [ "$2" -ge "$expected" ] && [ "$2" -le $((expected + 16)) ] ||
        die "$1 counting is off: the loop counted $2 instructions, it has $expected (+ up to 16 for the calls)"
}
set -- $(awk '$1 == "loop" { print $2, $3 }' "$tmp/results")
check_loop x86 "$1"
check_loop ARM "$2"

awk -v expected="$expected" '
function ratio(n, d) { return (n == "-" || d == "-" || d == 0) ? "-" : sprintf("%.2f", n / d) }
function num(n,   s) {
    if (n == "-") return n
    s = ""
    while (length(n) > 3) { s = "," substr(n, length(n) - 2) s; n = substr(n, 1, length(n) - 3) }
    return n s
}
{ act[NR] = $1; x[NR] = $2; a[NR] = $3; xp[NR] = $4; ap[NR] = $5; re[NR] = $6 }
$1 == "memcpy" { mx = $2; ma = $3; memcpy_row = NR }
END {
    fmt = "| %-8s | %16s | %12s | %16s | %12s | %-8s |\n"
    printf fmt, "action", "x86 instructions", "x86 / memcpy", "ARM instructions", "ARM / memcpy", "picture"
    printf "|----------|------------------|--------------|------------------|--------------|----------|\n"
    # The actions in the order given, then the yardstick.
    for (j = 1; j <= NR + 1; j++) {
        i = j <= NR ? j : memcpy_row
        if (act[i] == "loop" || (act[i] == "memcpy" && j <= NR)) continue
        pic = (xp[i] == "-" || ap[i] == "-" || xp[i] == ap[i]) ? (xp[i] != "-" ? xp[i] : ap[i]) : "DIFFERS"
        if (act[i] == "memcpy") pic = ""
        printf fmt, act[i], num(x[i]), ratio(x[i], mx), num(a[i]), ratio(a[i], ma), pic
        if (re[i] > 0) regrown += re[i]
    }
    for (i = 1; i <= NR; i++) if (act[i] == "loop")
        printf "\ncounting check: a loop of %s instructions counted %s on x86 and %s on ARM (the rest is the calls around it)\n", num(expected), num(x[i]), num(a[i])
    if (regrown > 0)
        printf "note: %d ARM blocks were translated again with another length; each execution was counted with its own translation\n", regrown
}' "$tmp/results"
echo "frame_cost: $(($(date +%s) - t_start)) s in all" >&2
