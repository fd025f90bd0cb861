#!/usr/bin/env bash
# The shortcut recorder against the real hot keys, and the welcome window of a
# first start.
#   shortcuts.sh CASE PANE PROBE [SCALE]
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1 pane=$2 probe=$3

pane_pid=""
pane_out="$scratch/pane.out"
cleanup() {
    for p in $pane_pid $holder; do kill "$p" 2>/dev/null || true; done
    stop_app
}
trap cleanup EXIT

case "$case_name" in
record_area)
    "$pane" >"$pane_out" 2>"$scratch/pane.err" &
    pane_pid=$!
    pane_up() { grep -q '^area ' "$pane_out"; }
    wait_for 100 pane_up || fail "the pane did not show: $(cat "$scratch/pane.err")"
    read -r _ x y < <(grep '^area ' "$pane_out")
    # The defaults are held: nobody else gets the area's keys.
    probe_says 3 shift+alt+super 4

    xdotool mousemove "$x" "$y" click 1
    # While the recorder listens every hot key is free.
    listening() { "$probe" shift+alt+super 4 >/dev/null; }
    wait_for 50 listening || fail "the recorder did not start listening"
    probe_says 0 shift+alt+super 4
    probe_says 0 shift+alt+super 5
    xdotool key ctrl+shift+4
    stored() { grep -q '^stored ' "$pane_out"; }
    wait_for 50 stored || fail "nothing was stored"
    [ "$(grep '^stored ' "$pane_out")" = 'stored {"keyCode":21,"modifiers":393216}' ] ||
        fail "stored: $(cat "$pane_out")"
    # Afterwards the new key is ours, the old one is nobody's, the others are
    # back.
    probe_says 3 control+shift 4
    probe_says 0 shift+alt+super 4
    probe_says 3 shift+alt+super 5
    ;;

print_key)
    # Ctrl+Print recorded for the full-screen capture, then pressed to the
    # running program, makes a screenshot of the whole screen.
    scale=${4:-1}
    export QT_SCALE_FACTOR=$scale
    save_to_shots
    setting showQuickAccess false
    setting saveToDisk true
    "$pane" >"$pane_out" 2>"$scratch/pane.err" &
    pane_pid=$!
    pane_up() { grep -q '^fullscreen ' "$pane_out"; }
    wait_for 100 pane_up || fail "the pane did not show: $(cat "$scratch/pane.err")"
    read -r _ x y < <(grep '^fullscreen ' "$pane_out")
    xdotool mousemove "$x" "$y" click 1
    # Listening: the hot keys stand aside.
    released() { "$probe" shift+alt+super 3 >/dev/null; }
    wait_for 50 released || fail "the recorder did not start listening"
    xdotool key ctrl+Print
    stored() { grep -q '"fullscreen":{"keyCode":105,"modifiers":262144}' "$pane_out"; }
    wait_for 50 stored || fail "Ctrl+Print was not stored: $(cat "$pane_out")"
    kill "$pane_pid"
    wait "$pane_pid" 2>/dev/null || true
    pane_pid=""

    start_app
    [ -z "$(files)" ] || fail "files before the press: $(files)"
    xdotool key ctrl+Print
    wait_for 100 one_file || fail "Ctrl+Print made no file: $(files)"
    screen=$(xdpyinfo | awk '/dimensions:/ {print $2}')
    [ "$(size_of "$(files)")" = "$screen" ] || fail "the file is $(size_of "$(files)"), not $screen"
    ;;

shared_keys)
    # The window capture given the area's keys: both rows are outlined.
    export QT_SCALE_FACTOR=${4:-1}
    "$pane" >"$pane_out" 2>"$scratch/pane.err" &
    pane_pid=$!
    pane_up() { grep -q '^window ' "$pane_out"; }
    wait_for 100 pane_up || fail "the pane did not show: $(cat "$scratch/pane.err")"
    read -r _ x y < <(grep '^window ' "$pane_out")
    xdotool mousemove "$x" "$y" click 1
    released() { "$probe" shift+alt+super 5 >/dev/null; }
    wait_for 50 released || fail "the recorder did not start listening"
    xdotool key shift+alt+super+4
    both() { [ "$(grep '^flagged ' "$pane_out" | tail -n 1)" = "flagged area window" ]; }
    wait_for 50 both || fail "not both flagged: $(cat "$pane_out")"
    ;;

welcome_closes)
    # No settings at all: a first start.
    rm -f "$conf"
    start_app
    welcome() { [ -n "$(our_windows_named 'Welcome to Vexlin Capture')" ]; }
    wait_for 50 welcome || fail "no welcome window"
    grep -q '^hasCompletedOnboarding=true' "$conf" 2>/dev/null && fail "completed before closing"
    window=$(our_windows_named 'Welcome to Vexlin Capture' | head -1)
    # The window manager's close (openbox: Alt+F4), not the program's button.
    xdotool windowactivate --sync "$window"
    xdotool key --clearmodifiers alt+F4
    closed() { ! welcome; }
    wait_for 50 closed || fail "the welcome window stayed"
    done_flag() { grep -q '^hasCompletedOnboarding=true' "$conf"; }
    wait_for 20 done_flag || fail "onboarding not stored: $(cat "$conf")"
    kill -0 "$pid" || fail "the program ended with the window"
    ;;

*) fail "unknown case $case_name" ;;
esac
echo "1 passed, 0 failed"
