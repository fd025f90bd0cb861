#!/usr/bin/env bash
# The running shell on the rig's X server: started with onboarding complete it
# shows no window and says nothing (Xvfb has no tray), a second start opens the
# settings of the first and leaves, and the self-timer's panel comes and goes
# with the area hot key and Escape.
#
#   shell.sh CASE [hotkey_probe]
set -euo pipefail
app=${VEXLIN_APP:?}
case_name=$1
probe=${2:-}
scratch=${VEXLIN_RIG_HOME:?}
log="$scratch/app.log"

fail() { echo "FAIL: $*"; [ -f "$log" ] && sed 's/^/  app: /' "$log"; exit 1; }

pid=""
stop_app() {
    [ -n "$pid" ] || return 0
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=""
}
trap stop_app EXIT

start_app() {
    VEXLIN_TRACE_COORDINATOR=1 "$app" >"$log" 2>&1 &
    pid=$!
    # Ready once the hot keys are registered (the trace's first line).
    for _ in $(seq 1 100); do
        grep -q "hotkeys conflicts=" "$log" 2>/dev/null && return 0
        kill -0 "$pid" 2>/dev/null || fail "the program ended at start"
        sleep 0.05
    done
    fail "the program did not register its hot keys"
}

# Mapped top-level windows of the process.
visible_windows() { xdotool search --onlyvisible --pid "$1" 2>/dev/null || true; }

wait_for() { # seconds, command…
    local deadline=$(($(date +%s%N) + ${1/./} * 100000000))
    shift
    while ! "$@"; do
        [ "$(date +%s%N)" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

case "$case_name" in
starts_hidden)
    start_app
    sleep 1
    kill -0 "$pid" || fail "the program did not keep running"
    [ -z "$(visible_windows "$pid")" ] || fail "a window is shown at start: $(visible_windows "$pid")"
    # Nothing else on the screen belongs to us either: no mapped top-level
    # window carries our class.
    [ -z "$(xdotool search --onlyvisible --class vexlin-capture 2>/dev/null || true)" ] ||
        fail "a mapped window of class vexlin-capture"
    # No tray on this server, and still not a word beyond the test trace.
    grep -v '^coordinator: ' "$log" && fail "the program printed something"
    ;;
reopen)
    start_app
    [ -z "$(visible_windows "$pid")" ] || fail "a window is shown at start"
    status=0
    timeout 10 "$app" >"$scratch/second.log" 2>&1 || status=$?
    [ "$status" -eq 0 ] || fail "the second start exited with $status"
    [ ! -s "$scratch/second.log" ] || fail "the second start printed: $(cat "$scratch/second.log")"
    settings_shown() { xdotool search --onlyvisible --pid "$pid" --name "Settings" >/dev/null 2>&1; }
    wait_for 3 settings_shown || fail "the first program did not open its settings"
    kill -0 "$pid" || fail "the first program ended"
    # With a window shown, another start changes nothing.
    before=$(visible_windows "$pid" | wc -l)
    timeout 10 "$app" || fail "the third start failed"
    sleep 0.5
    [ "$(visible_windows "$pid" | wc -l)" -eq "$before" ] || fail "a third start opened another window"
    ;;
self_timer)
    start_app
    xdotool key shift+alt+super+4
    panel=""
    find_panel() {
        for w in $(visible_windows "$pid"); do
            geometry=$(xwininfo -id "$w")
            width=$(awk '/Width:/ {print $2}' <<<"$geometry")
            height=$(awk '/Height:/ {print $2}' <<<"$geometry")
            if [ "$width" = 96 ] && [ "$height" = 96 ]; then
                panel=$w
                x=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$geometry")
                y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$geometry")
                return 0
            fi
        done
        return 1
    }
    wait_for 2 find_panel || fail "no 96x96 self-timer panel after the area hot key"
    # Centred on the 1920x1080 screen: (960 - 48, 540 - 48).
    [ "$x" = 912 ] && [ "$y" = 492 ] || fail "the panel is at $x,$y, not centred"
    grep -q "coordinator: area fromMenu=false self-timer-start seconds=3" "$log" ||
        fail "the coordinator did not start the self-timer for area"
    if [ -n "$probe" ] && "$probe" none Escape >/dev/null; then
        fail "Escape is not held while the panel shows"
    fi

    xdotool key Escape
    panel_gone() { ! xwininfo -id "$panel" 2>/dev/null | grep -q IsViewable; }
    wait_for 0.5 panel_gone || fail "the panel is still shown 0.5 s after Escape"
    sleep 3.5 # past the end of the countdown
    grep -q "coordinator: area self-timer-cancelled" "$log" || fail "the countdown was not cancelled"
    if grep -qE "coordinator: area (fromMenu=false start|self-timer-fired|step )" "$log"; then
        fail "a capture started after Escape"
    fi
    if [ -n "$probe" ]; then
        "$probe" none Escape >/dev/null || fail "Escape is still grabbed after the countdown ended"
    fi
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
echo "1 passed, 0 failed"
