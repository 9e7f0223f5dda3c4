# Sourced by the scripts that play the game in a virtual X server (the
# end-to-end test, the start-up check, the click-burst measurement): the
# clock, a check for ended children, starting Xvfb and finding the game's
# window.

now_ms() {
    echo $(($(date +%s%N) / 1000000))
}

# Whether child process $1 has ended (one that ended but was not waited for
# yet still has its /proc entry, in state Z, and still takes kill -0).
ended() {
    [ ! -e "/proc/$1/stat" ] || [ "$(awk '{ print $3 }' "/proc/$1/stat")" = Z ]
}

# Display numbers are tried upwards from here, away from the low ones
# desktops take; a number whose server cannot be reached is given up for the
# next, so concurrent runs and servers shutting down nearby do no harm.
: "${display_number:=$((200 + $$ % 600))}"

# start_xvfb LOG SECONDS: starts an Xvfb whose screen is xvfb_screen (width x
# height x depth; 320x240x16 unless set) on the next free display number,
# writing its output to LOG, and waits up to SECONDS until it takes
# connections; then sets xvfb_pid and exports DISPLAY. Returns 1 when no
# server could be started.
start_xvfb() {
    xvfb_tries=0
    while [ "$xvfb_tries" -lt 20 ]; do
        xvfb_n=$display_number
        display_number=$((display_number + 1))
        xvfb_tries=$((xvfb_tries + 1))
        [ -e "/tmp/.X$xvfb_n-lock" ] || [ -e "/tmp/.X11-unix/X$xvfb_n" ] && continue
        # -noreset: by default the server resets when its last client leaves,
        # and a client connecting during the reset is refused; the probe
        # below and SDL's own availability check both leave at once.
        Xvfb ":$xvfb_n" -screen 0 "${xvfb_screen:-320x240x16}" -nolisten tcp -noreset >"$1" 2>&1 &
        xvfb_pid=$!
        xvfb_deadline=$(($(now_ms) + $2 * 1000))
        while ! ended "$xvfb_pid" && [ "$(now_ms)" -le "$xvfb_deadline" ]; do
            if DISPLAY=":$xvfb_n" xdotool getmouselocation >/dev/null 2>&1; then
                DISPLAY=":$xvfb_n"
                export DISPLAY
                return 0
            fi
            sleep 0.05
        done
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=""
    done
    return 1
}

# find_window DEADLINE: prints the id of the game's visible window once it
# appears; returns 1 when it has not appeared by DEADLINE (a now_ms time).
find_window() {
    while [ "$(now_ms)" -le "$1" ]; do
        xdotool search --onlyvisible --class jadeturtle 2>/dev/null | head -n 1 | grep . && return 0
        sleep 0.1
    done
    return 1
}
