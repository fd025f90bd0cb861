#!/usr/bin/env bash
# The editor window in the running program: with "open the editor" on, the
# full-screen hot key opens an editor that shows the picture; Ctrl+W closes an
# unchanged one at once; after a change Ctrl+W asks first, Escape keeps the
# window, and "Don't Save" (Alt+D) closes it with nothing written; Ctrl+Q
# ends the program at once, unsaved changes or not.
#
#   editor.sh CASE ROOT_PATTERN
#
# The desktop is four coloured quarters, so the picture's place, size and
# orientation in the window can be read from the window's own pixels. The rig
# is seeded with flows.conf (saving on).
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1
pattern=${2:?}
save_to_shots
setting openEditor true
setting showQuickAccess false
setting copyToClipboard false
trap stop_app EXIT

"$pattern" quadrants || fail "could not paint the desktop"

editor=""
find_editor() {
    editor=$(our_windows_named '^Vexlin Capture\*?$' | head -n 1)
    [ -n "$editor" ]
}
editor_gone() { [ -z "$(our_windows_named '^Vexlin Capture')" ]; }
title() { xdotool getwindowname "$editor"; }

# Bounding box W H X Y of one colour's pixels in a picture; nothing when the
# colour is not there.
box_of() { # picture colour
    local box
    box=$(convert "$1" -alpha off -fill black +opaque "$2" -format '%@' info:)
    [[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
    [ "${BASH_REMATCH[1]}" -gt 1 ] || return 1
    echo "${BASH_REMATCH[@]:1}"
}

# The window's client area on screen, and the picture in it: the quarters
# must sit as on the desktop, equal in size, together the desktop's
# proportions. Sets rx ry (the red quarter's top-left) and qw qh (a quarter's
# size) in window pixels, and wx wy (the window's place).
open_capture() {
    start_app
    xdotool mousemove 960 540
    sleep 0.2
    xdotool key shift+alt+super+3
    wait_for 50 find_editor || fail "the full-screen hot key opened no editor window"
    wait_for 20 one_file || fail "the capture was not saved: $(files)"
    sleep 1 # shown, laid out and painted
    local info
    info=$(xwininfo -id "$editor")
    wx=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")
    wy=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
    import -window "$editor" "$work/window.png"
    local red green blue yellow gx gy bx by yx yy
    red=$(box_of "$work/window.png" '#ff0000') || fail "no red quarter in the editor window"
    green=$(box_of "$work/window.png" '#00ff00') || fail "no green quarter in the editor window"
    blue=$(box_of "$work/window.png" '#0000ff') || fail "no blue quarter in the editor window"
    yellow=$(box_of "$work/window.png" '#ffff00') || fail "no yellow quarter in the editor window"
    read -r qw qh rx ry <<<"$red"
    read -r _ _ gx gy <<<"$green"
    read -r _ _ bx by <<<"$blue"
    read -r _ _ yx yy <<<"$yellow"
    near() { [ $(($1 - $2)) -le 2 ] && [ $(($2 - $1)) -le 2 ]; }
    near "$gx" $((rx + qw)) && near "$gy" "$ry" || fail "green is not right of red: $red / $green"
    near "$bx" "$rx" && near "$by" $((ry + qh)) || fail "blue is not below red: $red / $blue"
    near "$yx" "$gx" && near "$yy" "$by" || fail "yellow is not below green: $green / $yellow"
    # 1920×1080 shrunk alike in both directions, never enlarged.
    awk -v w="$qw" -v h="$qh" 'BEGIN { r = w / h; exit !(r > 1.74 && r < 1.82) }' ||
        fail "the picture is distorted: a quarter is ${qw}x${qh}"
    [ "$qw" -le 960 ] && [ "$qw" -ge 400 ] || fail "the picture is shown ${qw} wide a quarter"
    no_failure_traced
}

case "$case_name" in
unchanged_closes)
    open_capture
    [ "$(title)" = "Vexlin Capture" ] || fail "the window is titled '$(title)'"
    xdotool key ctrl+w
    wait_for 20 editor_gone || fail "Ctrl+W did not close the unchanged editor"
    kill -0 "$pid" || fail "the program ended"
    ;;
changed_asks)
    open_capture
    capture=$(files)
    before=$(md5sum <"$capture")
    # An arrow across the red quarter: one change.
    drag $((wx + rx + qw / 4)) $((wy + ry + qh / 4)) $((wx + rx + qw * 3 / 4)) $((wy + ry + qh * 3 / 4))
    edited() { [ "$(title)" = "Vexlin Capture*" ]; }
    wait_for 20 edited || fail "the change did not mark the window edited: '$(title)'"
    asked() { [ "$(our_windows | wc -l)" = 2 ]; }
    xdotool key ctrl+w
    wait_for 30 asked || fail "Ctrl+W on a changed document showed no question"
    sleep 0.5
    find_editor || fail "the editor closed without asking"
    xdotool key Escape
    answered() { [ "$(our_windows | wc -l)" = 1 ]; }
    wait_for 30 answered || fail "Escape did not answer the question"
    sleep 0.3
    find_editor || fail "Cancel closed the editor"
    xdotool key ctrl+w
    wait_for 30 asked || fail "the second Ctrl+W showed no question"
    sleep 0.5
    xdotool key alt+d
    wait_for 30 editor_gone || fail "Don't Save did not close the editor"
    sleep 0.5
    [ "$(files)" = "$capture" ] || fail "the save folder changed: $(files)"
    [ "$(md5sum <"$capture")" = "$before" ] || fail "the capture's file changed"
    edits="$XDG_DATA_HOME/Vexlin/Edits"
    [ -z "$(find "$edits" -mindepth 1 2>/dev/null)" ] || fail "edit records written: $(find "$edits")"
    kill -0 "$pid" || fail "the program ended"
    ;;
quit_at_once)
    open_capture
    capture=$(files)
    drag $((wx + rx + qw / 4)) $((wy + ry + qh / 4)) $((wx + rx + qw * 3 / 4)) $((wy + ry + qh * 3 / 4))
    edited() { [ "$(title)" = "Vexlin Capture*" ]; }
    wait_for 20 edited || fail "the change did not mark the window edited: '$(title)'"
    xdotool key ctrl+q
    ended() { ! kill -0 "$pid" 2>/dev/null; }
    wait_for 30 ended || fail "Ctrl+Q did not end the program with an edited document"
    wait "$pid" || fail "the program ended with status $?"
    pid=""
    [ "$(files)" = "$capture" ] || fail "the save folder changed: $(files)"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
echo "1 passed, 0 failed"
