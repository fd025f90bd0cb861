#!/usr/bin/env bash
# Scrolling capture end to end: the running program on the rig's X server, its
# scrolling hot key pressed and the viewport of a target page dragged over
# with xdotool; auto-scroll turns the target's wheel and the tall picture is
# checked in the save folder against the page itself.
#
#   scrolling.sh CASE SCROLL_TARGET HOTKEY_PROBE
#
# The rig is seeded with scrolling.conf (onboarding complete, saving on,
# auto-scroll at once, no clipboard, no Quick Access).
set -euo pipefail
app=${VEXLIN_APP:?}
case_name=$1
target_program=${2:?}
probe=${3:?}
scratch=${VEXLIN_RIG_HOME:?}
conf="$XDG_CONFIG_HOME/Vexlin/VexlinCapture.conf"
shots="$scratch/shots"
log="$scratch/app.log"
work="$scratch/work"
page="$work/page.ppm"
mkdir -p "$shots" "$work"
echo "saveFolderBookmark=$shots" >>"$conf"

fail() {
    echo "FAIL: $*"
    [ -f "$log" ] && sed 's/^/  app: /' "$log"
    exit 1
}

pid=""
target=""
cleanup() {
    [ -z "$pid" ] || kill -TERM "$pid" 2>/dev/null || true
    [ -z "$pid" ] || wait "$pid" 2>/dev/null || true
    [ -z "$target" ] || kill "$target" 2>/dev/null || true
}
trap cleanup EXIT

wait_for() { # tenths of a second, command…
    local tries=$1
    shift
    for _ in $(seq 1 "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

start_app() {
    VEXLIN_TRACE_COORDINATOR=1 "$app" >"$log" 2>&1 &
    pid=$!
    wait_for 100 grep -q "hotkeys conflicts=" "$log" || fail "the program did not register its hot keys"
}

# The viewport at 100,100 (600 × 400), 40 pixels a wheel click.
start_target() {
    "$target_program" 100 100 40 "$page" >"$work/target.out" &
    target=$!
    wait_for 100 grep -q ready "$work/target.out" || fail "the target page did not appear"
}

files() { find "$shots" -mindepth 1 -maxdepth 1 | sort; }
one_file() {
    local all
    all=$(files)
    [ -n "$all" ] && [ "$(wc -l <<<"$all")" = 1 ] && [[ "$(basename "$all")" != .* ]]
}
size_of() { identify -format '%wx%h' "$1"; }
differing() {
    convert "$1" -alpha off "$work/a.png"
    convert "$2" -alpha off "$work/b.png"
    compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1 || true
}
our_windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true; }
# Threads of the program named after the capture's queue (the system keeps
# the first 15 characters).
capture_threads() { cat /proc/"$pid"/task/*/comm 2>/dev/null | grep -c '^Vexlin.scrollin' || true; }
no_capture_thread() { [ "$(capture_threads)" = 0 ]; }
hud_shown() { [ -n "$(xdotool search --onlyvisible --pid "$pid" --name '^Scrolling Capture$' 2>/dev/null)" ]; }

drag() { # x1 y1 x2 y2
    xdotool mousemove "$1" "$2"
    sleep 0.15
    xdotool mousedown 1
    sleep 0.05
    xdotool mousemove $((($1 + $3) / 2)) $((($2 + $4) / 2))
    sleep 0.05
    xdotool mousemove "$3" "$4"
    sleep 0.05
    xdotool mouseup 1
}

# The scrolling hot key and a drag over the whole viewport.
start_capture() {
    xdotool mousemove 960 700
    xdotool key shift+alt+super+6
    wait_for 30 bash -c '[ -n "$(xdotool search --onlyvisible --pid '"$pid"' 2>/dev/null)" ]' ||
        fail "no selection overlay after the hot key"
    sleep 0.3
    drag 100 100 700 500
    wait_for 30 hud_shown || fail "no HUD after the drag"
}

no_failure_traced() {
    if grep -q "step-failed" "$log"; then fail "a capture step failed"; fi
    kill -0 "$pid" 2>/dev/null || fail "the program ended"
}

case "$case_name" in
auto_scroll)
    start_target
    start_app
    start=$(date +%s)
    start_capture
    wait_for 300 one_file || fail "no single file within 30 s: $(files)"
    echo "delivered after $(($(date +%s) - start)) s"
    file=$(files)
    [ "$(size_of "$file")" = 600x6000 ] || fail "the picture is $(size_of "$file"), not 600x6000"
    d=$(differing "$file" "$page")
    [ "$d" = 0 ] || fail "$d pixels differ from the page"
    wait_for 20 no_capture_thread || fail "the capture thread is still there"
    hud_shown && fail "the HUD is still shown"
    "$probe" none Escape >/dev/null || fail "Escape is still held"
    no_failure_traced
    ;;
escape)
    start_target
    start_app
    start_capture
    sleep 1.5
    [ "$(capture_threads)" = 1 ] || fail "no capture thread while capturing ($(capture_threads))"
    xdotool key Escape
    wait_for 20 bash -c '[ -z "$(xdotool search --onlyvisible --pid '"$pid"' 2>/dev/null)" ]' ||
        fail "a window of the program is left after Escape: $(our_windows)"
    wait_for 20 no_capture_thread || fail "the capture thread outlived the capture"
    sleep 1
    [ -z "$(files)" ] || fail "Escape wrote a file: $(files)"
    "$probe" none Escape >/dev/null || fail "Escape is still held after the capture"
    no_failure_traced
    # The program is free for the next capture.
    xdotool key shift+alt+super+3
    wait_for 30 one_file || fail "no screenshot after the cancelled capture"
    ;;
window_closes)
    # The page closes mid-capture: the capture loses track but goes on until
    # the user ends it (the scrolling hot key again), and what it had is
    # delivered.
    start_target
    start_app
    start_capture
    sleep 1.5
    kill "$target"
    target=""
    sleep 1.5
    [ -z "$(files)" ] || fail "the capture ended by itself: $(files)"
    xdotool key shift+alt+super+6
    wait_for 50 one_file || fail "no file after the capture was ended"
    size=$(size_of "$(files)")
    [[ "$size" =~ ^600x([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -gt 400 ] ||
        fail "the picture is $size"
    wait_for 20 no_capture_thread || fail "the capture thread outlived the capture"
    no_failure_traced
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
echo "1 passed, 0 failed"
