#!/usr/bin/env bash
# Pinned screenshots and the share menu in the running program, from the
# editor of a 1000×600 area capture on a desktop of four coloured quarters:
#   pin_from_editor              the editor's Pin gives a 1000×600 pin at
#                                (460, 240), sticky and above, that shows the
#                                capture; a full-screen screenshot taken then
#                                holds the pin; a double-click closes it and
#                                opens it in a second editor.
#   share_shows_in_file_manager  Share, then "Show in File Manager", asks the
#                                file manager on the session bus to show the
#                                shared file.
#
#   pins.sh CASE ROOT_PATTERN FAKE_FILE_MANAGER
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1
pattern=${2:?}
fake_file_manager=${3:?}
save_to_shots
setting openEditor true
setting showQuickAccess false
setting copyToClipboard false

finish() {
    stop_app
    stop_fake_file_manager
}
trap finish EXIT

"$pattern" quadrants || fail "could not paint the desktop"

editors() { our_windows_named '^Vexlin Capture\*?$'; }
editor=""
find_editor() {
    editor=$(editors | head -n 1)
    [ -n "$editor" ]
}

# The area hot key over (100, 100)–(1100, 700): one saved file and an editor.
capture_area() {
    xdotool key shift+alt+super+4
    wait_for_overlay
    drag 100 100 1100 700
    wait_for 50 find_editor || fail "the area capture opened no editor"
    wait_for 20 one_file || fail "the capture was not saved: $(files)"
    capture=$(files)
    [ "$(size_of "$capture")" = 1000x600 ] || fail "the capture is $(size_of "$capture")"
    sleep 1 # laid out and painted
}

# A button of the editor's bottom bar, by its distance from the window's
# right edge (the bar is laid out from the right: Pin, Share, Copy, Save).
click_bar_button() { # pixels from the right edge
    local info x y w h
    info=$(xwininfo -id "$editor")
    x=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")
    y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
    w=$(awk '/Width:/ {print $2}' <<<"$info")
    h=$(awk '/Height:/ {print $2}' <<<"$info")
    xdotool mousemove $((x + w - $1)) $((y + h - 25))
    sleep 0.3
    xdotool click 1
}
pin_button=259
share_button=217

case "$case_name" in
pin_from_editor)
    start_app
    capture_area
    pin=""
    find_pin() {
        pin=$(our_windows_named '^Pinned Screenshot$' | head -n 1)
        [ -n "$pin" ]
    }
    click_bar_button "$pin_button"
    wait_for 30 find_pin || fail "Pin showed no pinned screenshot"
    sleep 0.5
    geometry=$(window_geometry "$pin")
    [ "$geometry" = 1000x600+460+240 ] || fail "the pin is at $geometry"
    props=$(xprop -id "$pin" _NET_WM_DESKTOP _NET_WM_STATE WM_NORMAL_HINTS)
    grep -q '_NET_WM_DESKTOP(CARDINAL) = 4294967295' <<<"$props" ||
        fail "the pin is not on every desktop: $props"
    grep -q '_NET_WM_STATE_ABOVE' <<<"$props" || fail "the pin is not above: $props"
    grep -q 'minimum aspect ratio: 5/3' <<<"$props" && grep -q 'maximum aspect ratio: 5/3' <<<"$props" ||
        fail "the pin's aspect is free: $props"
    grep -q 'minimum size: 40 by 40' <<<"$props" || fail "the pin has no minimum: $props"
    import -window root "$work/pinned.png"
    same_inside "$work/pinned.png" 460 240 "$capture" 0 0 1000x600 "the pin against the capture"

    # A full-screen screenshot keeps the pin.
    cp "$capture" "$work/area.png"
    before=$(files)
    xdotool key shift+alt+super+3
    second_file() { [ "$(files | wc -l)" = 2 ]; }
    wait_for 50 second_file || fail "the full-screen hot key saved nothing: $(files)"
    screenshot=$(comm -13 <(echo "$before") <(files))
    sleep 0.5
    same_inside "$screenshot" 460 240 "$work/area.png" 0 0 1000x600 "the pin in the screenshot"
    wait_for 50 find_pin || fail "the screenshot took the pin away"

    # A double-click closes the pin and opens it in an editor.
    editors_before=$(editors | wc -l)
    xdotool mousemove 960 540
    sleep 0.3
    xdotool click --repeat 2 --delay 80 1
    pin_gone() { [ -z "$(our_windows_named '^Pinned Screenshot$')" ]; }
    wait_for 30 pin_gone || fail "the double-click left the pin"
    more_editors() { [ "$(editors | wc -l)" -gt "$editors_before" ]; }
    wait_for 50 more_editors || fail "the double-click opened no editor"
    no_failure_traced
    ;;
share_shows_in_file_manager)
    start_fake_file_manager "$fake_file_manager"
    start_app
    capture_area
    menu=""
    find_menu() {
        menu=$(our_windows | grep -vx "$editor" | head -n 1)
        [ -n "$menu" ]
    }
    click_bar_button "$share_button"
    wait_for 30 find_menu || fail "Share showed no menu"
    sleep 0.3
    # The last entry.
    xdotool key Up Return
    read_shown_file
    path=$shown_file
    [ -f "$path" ] || fail "the shown file $path does not exist"
    [ "$(size_of "$path")" = 1000x600 ] || fail "the shown file is $(size_of "$path")"
    no_failure_traced
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
echo "1 passed, 0 failed"
