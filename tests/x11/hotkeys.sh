#!/usr/bin/env bash
# Global hot keys on a real X server, against another client that wants the
# same keys and against key presses from xdotool.
#   hotkeys.sh CASE DRIVER PROBE
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1 driver=$2 probe=$3

# With nothing stored the shortcuts are the defaults: Shift+Option+Command
# (Shift+Alt+Super here) with 4, 5, 3, 6, 2, 7 for the six plain actions, and
# with Control added on 4, 5, 3 for the three copies.
defaults='{}'

# The rest relies on xdotool's super and alt being Mod4 and Mod1, as the
# program's modifier mapping has it.
xmodmap -pm | grep -E '^mod1 ' | grep -q 'Alt_L' || fail "Alt_L is not on Mod1"
xmodmap -pm | grep -E '^mod4 ' | grep -q 'Super_L' || fail "Super_L is not on Mod4"

driver_pid=""
cleanup() {
    for p in $driver_pid $holder; do kill "$p" 2>/dev/null || true; done
}
trap cleanup EXIT

start_driver() {
    coproc DRIVER { exec "$driver"; }
    driver_pid=$DRIVER_PID
    expect "ready"
}
send() { echo "$*" >&"${DRIVER[1]}"; }
# The driver's next line must be exactly $1; it has 5 s to say it. (No
# subshells here: they cannot read from a coprocess.)
expect() {
    local line
    IFS= read -r -t 5 -u "${DRIVER[0]}" line || fail "the driver did not say '$1'"
    [ "$line" = "$1" ] || fail "expected '$1', got '$line'"
}
# Nothing more was heard: the next line is the answer to a ping.
expect_quiet() {
    sleep 0.3
    send ping
    expect pong
}
stop_driver() {
    send quit
    wait "$driver_pid" || fail "the driver did not end cleanly"
    driver_pid=""
}

case "$case_name" in
held_keys_refuse_others)
    start_driver
    send follow
    expect "registered conflicts=-"
    # Every lock variant of both area keys is ours now.
    probe_says 3 shift+alt+super 4
    probe_says 3 control+shift+alt+super 4
    probe_says 3 shift+alt+super 7
    # Nothing else is: the same key without Super, and Escape.
    probe_says 0 shift+alt 4
    probe_says 0 none Escape
    # A change of the stored shortcuts re-registers at once: area disabled,
    # then on Shift+Command+A, then back.
    send 'set area null'
    expect "registered conflicts=-"
    probe_says 0 shift+alt+super 4
    send 'set area {"keyCode":0,"modifiers":1179648}'
    expect "registered conflicts=-"
    probe_says 3 shift+super a
    send 'set area {"keyCode":21,"modifiers":1703936}'
    expect "registered conflicts=-"
    probe_says 0 shift+super a
    probe_says 3 shift+alt+super 4
    # A suspension lets go of everything, its end takes it all back.
    send suspend
    expect suspended
    probe_says 0 shift+alt+super 5
    send resume
    expect resumed
    probe_says 3 shift+alt+super 5
    stop_driver
    probe_says 0 shift+alt+super 4
    ;;

taken_key_is_a_conflict)
    hold_with_probe shift+alt+super 4

    start_driver
    send follow
    expect "registered conflicts=area"
    xdotool key shift+alt+super+5
    expect "action window"
    # The held key belongs to the probe and never reaches the driver.
    xdotool key shift+alt+super+4
    expect_quiet
    # The copy variant of area is a different key and still works.
    xdotool key control+shift+alt+super+4
    expect "action areaCopy"

    # Caps Lock and Num Lock do not get in the way.
    xdotool key Caps_Lock
    xdotool key shift+alt+super+6
    expect "action scrolling"
    xdotool key Num_Lock
    xdotool key shift+alt+super+5
    expect "action window"
    xdotool key Caps_Lock
    xdotool key shift+alt+super+3
    expect "action fullscreen"
    xdotool key Num_Lock
    expect_quiet

    # Once the probe is gone, the next registration gets area too.
    kill "$holder"
    wait "$holder" || true
    holder=""
    send "register $defaults"
    expect "registered conflicts=-"
    xdotool key shift+alt+super+4
    expect "action area"
    stop_driver
    ;;

escape_stack)
    start_driver
    probe_says 0 none Escape
    send "hold first"
    expect "token first 1 escape=1"
    send "hold second"
    expect "token second 2 escape=1"
    probe_says 3 none Escape
    # Only the newest holder hears it.
    xdotool key Escape
    expect "escape second"
    expect_quiet
    send "release 2"
    expect "released escape=1"
    xdotool key Escape
    expect "escape first"
    expect_quiet
    # A token that is not held changes nothing.
    send "release 2"
    expect "released escape=1"
    send "release 1"
    expect "released escape=0"
    probe_says 0 none Escape
    xdotool key Escape
    expect_quiet
    # A new hold grabs it again.
    send "hold third"
    expect "token third 3 escape=1"
    xdotool key Escape
    expect "escape third"
    stop_driver
    ;;

key_repeat_is_one_press)
    # Held past the server's repeat delay, the key repeats; a capture hot key
    # must still fire once (a second press would cancel the self-timer).
    start_driver
    send "register $defaults"
    expect "registered conflicts=-"
    xset r on r rate 250 30
    xdotool keydown shift+alt+super+5
    sleep 1
    xdotool keyup 5
    expect "action window"
    expect_quiet
    # Pressed again for real (the modifiers are still down), it fires again.
    xdotool key 5
    expect "action window"
    xdotool keyup shift+alt+super
    expect_quiet
    stop_driver
    ;;

*) fail "unknown case $case_name" ;;
esac
echo "1 passed, 0 failed"
