#!/usr/bin/env bash
# The editor window in the running program: with "open the editor" on, the
# full-screen hot key opens an editor that shows the picture; Ctrl+W closes an
# unchanged one at once; after a change Ctrl+W asks first, Escape keeps the
# window, and "Don't Save" (Alt+D) closes it with nothing written; Ctrl+Q
# ends the program at once, unsaved changes or not. The capture's road: Ctrl+C
# copies it, a rectangle and Ctrl+S write over its file and keep the original,
# Ctrl+O opens the file again in a second window with the rectangle still a
# mark to delete. With "close after export" on, Ctrl+C closes the editor.
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
# The recent strip's thumbnails would show the quarters a second time.
setting editorShowsRecent false
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
measure_window() { # window
    local info
    info=$(xwininfo -id "$1")
    wx=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")
    wy=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
    import -window "$1" "$work/window.png"
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
}

# The full-screen hot key with the editor on: one editor, one saved file.
open_capture() {
    start_app
    xdotool mousemove 960 540
    sleep 0.2
    xdotool key shift+alt+super+3
    wait_for 50 find_editor || fail "the full-screen hot key opened no editor window"
    wait_for 20 one_file || fail "the capture was not saved: $(files)"
    sleep 1 # shown, laid out and painted
    measure_window "$editor"
    no_failure_traced
}

# The clipboard's PNG, as another program reads it, into a file.
clipboard_png() { # file
    timeout 30 xclip -selection clipboard -t image/png -o >"$1" 2>/dev/null && [ -s "$1" ]
}
# Ctrl+C in the front editor: the clipboard then holds a PNG with no pixel
# other than in the picture given. A text put there first tells a copy of
# the same pixels from the copy before; its xclip ends once the program takes
# the clipboard.
copy_gives() { # picture what
    printf 'before the copy' | xclip -selection clipboard -i
    xdotool key ctrl+c
    copied() { clipboard_png "$work/clip.png"; }
    wait_for 50 copied || fail "Ctrl+C put no PNG on the clipboard ($2)"
    [ "$(size_of "$work/clip.png")" = "$(size_of "$1")" ] ||
        fail "the copied picture is $(size_of "$work/clip.png"), not $(size_of "$1") ($2)"
    local differ
    differ=$(differing "$1" "$work/clip.png")
    [ "$differ" = 0 ] || fail "the copied picture differs from $2 in $differ pixels"
}

case "$case_name" in
capture_road)
    # From the hot key to a file that was annotated, saved over, opened again
    # and taken back to what was captured.
    import -window root "$work/desktop.png"
    open_capture
    capture=$(files)
    cp "$capture" "$work/captured.png"
    differ=$(differing "$work/desktop.png" "$work/captured.png")
    [ "$differ" = 0 ] || fail "the saved capture differs from the desktop in $differ pixels"
    copy_gives "$work/captured.png" "the capture"

    # A rectangle over the red quarter, then Ctrl+S: the same file, rewritten.
    xdotool key r
    sleep 0.3
    drag $((wx + rx + qw / 4)) $((wy + ry + qh / 4)) $((wx + rx + qw * 3 / 4)) $((wy + ry + qh * 3 / 4))
    edited() { [ "$(title)" = "Vexlin Capture*" ]; }
    wait_for 20 edited || fail "the rectangle did not mark the window edited: '$(title)'"
    xdotool key ctrl+s
    saved() { [ "$(title)" = "Vexlin Capture" ] && ! cmp -s "$capture" "$work/captured.png"; }
    wait_for 50 saved || fail "Ctrl+S did not save: '$(title)'"
    sleep 0.3
    [ "$(files)" = "$capture" ] || fail "Ctrl+S did not write over the capture: $(files)"
    # The outline, a full-strength (255,59,71) frame where the drag went
    # (the desktop is 1920×1080, so the red quarter's middle half).
    outline=$(box_of "$capture" '#ff3b47') || fail "no (255,59,71) outline in the saved file"
    read -r ow oh ox oy <<<"$outline"
    [ "$ox" -gt 200 ] && [ "$ox" -lt 280 ] && [ "$oy" -gt 100 ] && [ "$oy" -lt 170 ] &&
        [ "$ow" -gt 420 ] && [ "$ow" -lt 540 ] && [ "$oh" -gt 220 ] && [ "$oh" -lt 320 ] ||
        fail "the outline is not where the drag went: $outline"
    edge=$(convert "$capture" -alpha off -format "%[pixel:p{$((ox + 1)),$((oy + oh / 2))}]" info:)
    [ "$edge" = "srgb(255,59,71)" ] || fail "the outline's left edge is $edge"
    inside=$(convert "$capture" -alpha off -format "%[pixel:p{$((ox + ow / 2)),$((oy + oh / 2))}]" info:)
    [ "$inside" = "srgb(255,0,0)" ] || fail "the rectangle is filled: $inside inside"
    # What was captured is kept under the new file's content key.
    key=$(sha256sum <"$capture" | cut -d' ' -f1)
    kept="$XDG_DATA_HOME/Vexlin/Edits/$key/original"
    [ -f "$kept" ] || fail "no edit record for the saved file: $(find "$XDG_DATA_HOME/Vexlin" 2>/dev/null)"
    cmp -s "$kept" "$work/captured.png" || fail "the kept original is not the captured file"

    # Ctrl+O on the file: a second window with the rectangle still a mark.
    first=$editor
    xdotool key ctrl+o
    dialog=""
    find_dialog() {
        dialog=$(our_windows_named 'Choose an image to annotate' | head -n 1)
        [ -n "$dialog" ]
    }
    wait_for 50 find_dialog || fail "Ctrl+O showed no open panel"
    sleep 0.5
    xdotool windowactivate --sync "$dialog" 2>/dev/null || true
    # The file name field has the keyboard; a whole path there opens it.
    xdotool type --delay 20 "$capture"
    sleep 0.3
    xdotool key Return
    second() {
        editor=$(our_windows_named '^Vexlin Capture\*?$' | grep -vx "$first" | head -n 1)
        [ -n "$editor" ]
    }
    wait_for 50 second || fail "the open panel did not open a second editor"
    [ "$(our_windows_named '^Vexlin Capture\*?$' | wc -l)" = 2 ] || fail "not two editor windows"
    sleep 1
    measure_window "$editor"
    # A click on the outline's left edge, in this window's scale, selects
    # the rectangle; Delete takes it away.
    xdotool mousemove $((wx + rx + (ox + 2) * qw / 960)) $((wy + ry + (oy + oh / 2) * qh / 540))
    sleep 0.15
    xdotool click 1
    sleep 0.3
    xdotool key Delete
    wait_for 20 edited || fail "Delete changed nothing: '$(title)'"
    copy_gives "$work/captured.png" "the original after the rectangle was deleted"
    no_failure_traced
    ;;
close_after_export)
    setting closeEditorAfterExport true
    open_capture
    copy_gives "$(files)" "the capture"
    wait_for 30 editor_gone || fail "Ctrl+C did not close the editor"
    kill -0 "$pid" || fail "the program ended"
    ;;
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
