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
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1
target_program=${2:?}
probe=${3:?}
page="$work/page.ppm"
save_to_shots

target=""
cleanup() {
    stop_app
    [ -z "$target" ] || kill "$target" 2>/dev/null || true
}
trap cleanup EXIT

# The viewport at 100,100 (600 × 400), 40 pixels a wheel click.
start_target() {
    "$target_program" 100 100 40 "$page" >"$work/target.out" &
    target=$!
    wait_for 100 grep -q ready "$work/target.out" || fail "the target page did not appear"
}

# Threads of the program named after the capture's queue (the system keeps
# the first 15 characters).
capture_threads() { cat /proc/"$pid"/task/*/comm 2>/dev/null | grep -c '^Vexlin.scrollin' || true; }
no_capture_thread() { [ "$(capture_threads)" = 0 ]; }
hud_shown() { [ -n "$(xdotool search --onlyvisible --pid "$pid" --name '^Scrolling Capture$' 2>/dev/null)" ]; }

# The scrolling hot key and a drag over the whole viewport.
start_capture() {
    xdotool mousemove 960 700
    xdotool key shift+alt+super+6
    wait_for_overlay
    drag 100 100 700 500
    wait_for 30 hud_shown || fail "no HUD after the drag"
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
    wait_for 20 no_window_shown ||
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
