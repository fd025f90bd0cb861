#!/usr/bin/env bash
# Screenshots end to end: the running program on the rig's X server, its hot
# keys pressed with xdotool, the pictures checked in the save folder and on the
# clipboard against what another program (ImageMagick's import) reads of the
# screen. A target program shows known pixels.
#
#   flows.sh CASE CAPTURE_TARGET HOTKEY_PROBE [SCALE]
#
# The rig is seeded with flows.conf (onboarding complete, saving on); the save
# folder, in the rig's scratch space, and each case's own settings are added
# here.
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1
target_program=${2:?}
probe=${3:?}
save_to_shots
# A Quick Access card would stand in the screen the pictures are compared with.
setting showQuickAccess false

targets=()
cleanup() {
    stop_app
    for t in "${targets[@]}"; do kill "$t" 2>/dev/null || true; done
    # A folder made read-only must go with the rig.
    chattr -i "$shots" 2>/dev/null || true
    chmod 755 "$shots" 2>/dev/null || true
}
trap cleanup EXIT

expect_same() { # picture reference what
    local d
    d=$(differing "$1" "$2")
    [ "$d" = 0 ] || fail "$3: $d pixels differ from the screen"
}
# The part W×H+X+Y of the screen as another program reads it now.
screen_part() { import -window root -crop "$1" +repage "$2"; }

clipboard_png() { # → file; true once the clipboard holds a PNG
    xclip -selection clipboard -t image/png -o >"$1" 2>/dev/null && [ -s "$1" ] &&
        identify "$1" >/dev/null 2>&1
}

file=""
check_full_screen() { # extension; sets file
    start_target 40 60 400 300
    start_app
    xdotool mousemove 600 500
    sleep 0.2
    xdotool key shift+alt+super+3
    wait_for 20 one_file || fail "no single file within 2 s: $(files)"
    file=$(files)
    [[ "$(basename "$file")" =~ ^Vexlin\ Capture\ [0-9]{4}-[0-9]{2}-[0-9]{2}\ at\ [0-9]{2}\.[0-9]{2}\.[0-9]{2}\.$1$ ]] ||
        fail "unexpected file name: $(basename "$file")"
    [ "$(size_of "$file")" = 1920x1080 ] || fail "the picture is $(size_of "$file")"
    no_failure_traced
}

# Makes a folder take no new files, for root too (which the mode bits do not
# stop); a file system that cannot do it skips the case.
make_read_only() {
    chmod 555 "$1"
    if touch "$1/.probe" 2>/dev/null; then
        rm -f "$1/.probe"
        chattr +i "$1" 2>/dev/null || true
    fi
    if touch "$1/.probe" 2>/dev/null; then
        rm -f "$1/.probe"
        echo "skipped: no folder can be made read-only here"
        exit 0
    fi
}

case "$case_name" in
unsaved_folder)
    # The save folder takes no files: a full-screen shot still reaches the
    # clipboard, and the alert says it was taken but not saved, names the
    # folder and offers another; Return chooses one, and the same picture is
    # saved there.
    export QT_SCALE_FACTOR=${4:-1}
    # "gtk": a GNOME session, whose own folder chooser Qt then uses.
    desktop=${5:-}
    [ "$desktop" = gtk ] && export XDG_CURRENT_DESKTOP=GNOME
    setting copyToClipboard true
    make_read_only "$shots"
    start_app
    xdotool key shift+alt+super+3
    alert=""
    find_alert() {
        alert=$(our_windows_named '^Vexlin Capture$' | head -n 1)
        [ -n "$alert" ]
    }
    wait_for 50 find_alert || fail "no alert after the capture"
    traced=$(grep '^coordinator: alert ' "$log") || fail "no alert traced"
    [[ "$traced" == "coordinator: alert The screenshot was taken but couldn’t be saved | "* ]] ||
        fail "the alert says: $traced"
    [[ "$traced" == *"“$shots”"* ]] || fail "the alert does not name the folder: $traced"
    [[ "$traced" == *"It is on the clipboard. Choose another folder to save it there." ]] ||
        fail "the alert offers nothing: $traced"
    wait_for 30 clipboard_png "$work/clip.png" || fail "the picture is not on the clipboard"
    screen=$(xdpyinfo | awk '/dimensions:/ {print $2}')
    [ "$(size_of "$work/clip.png")" = "$screen" ] || fail "the clipboard holds $(size_of "$work/clip.png")"

    # The alert takes the keyboard, its first button the focus.
    alert_active() { [ "$(xdotool getactivewindow 2>/dev/null || true)" = "$alert" ]; }
    wait_for 50 alert_active || fail "the alert is not the active window"
    xdotool key Return
    chooser=""
    find_chooser() {
        chooser=$(our_windows_named '^Choose where Vexlin Capture saves' | head -n 1)
        [ -n "$chooser" ]
    }
    wait_for 50 find_chooser || fail "Return did not open the folder chooser"
    gone() { [ -z "$(our_windows_named '^Vexlin Capture$')" ]; }
    wait_for 30 gone || fail "the alert stayed"
    # The desktop's own dialog where the session offers one, else Qt's.
    role=$(xprop -id "$chooser" WM_WINDOW_ROLE)
    if [ "$desktop" = gtk ]; then
        [[ "$role" == *'"GtkFileChooserDialog"' ]] || fail "not the desktop's chooser: $role"
        echo "passed"
        exit 0
    fi
    [[ "$role" != *GtkFileChooserDialog* ]] || fail "a desktop's chooser without a desktop"
    mkdir -p "$work/other"
    chooser_active() { [ "$(xdotool getactivewindow 2>/dev/null || true)" = "$chooser" ]; }
    wait_for 50 chooser_active || fail "the folder chooser is not the active window"
    xdotool key ctrl+a
    xdotool type --delay 20 "$work/other/"
    xdotool key Return
    saved() { [ "$(find "$work/other" -name '*.png' | wc -l)" = 1 ]; }
    wait_for 50 saved || fail "the picture was not saved in the folder chosen"
    file=$(find "$work/other" -name '*.png')
    [ "$(size_of "$file")" = "$screen" ] || fail "the file is $(size_of "$file")"
    d=$(differing "$file" "$work/clip.png")
    [ "$d" = 0 ] || fail "$d pixels of the file differ from the copy"
    ;;
fullscreen_png)
    check_full_screen png
    screen_part 1920x1080+0+0 "$work/screen.png"
    expect_same "$file" "$work/screen.png" "the full-screen picture"
    [ "$(file -b --mime-type "$file")" = image/png ] || fail "not a PNG"
    ;;
fullscreen_jpeg)
    setting imageFormat jpeg
    check_full_screen jpg
    [ "$(file -b --mime-type "$file")" = image/jpeg ] || fail "not a JPEG"
    screen_part 1920x1080+0+0 "$work/screen.png"
    # JPEG at quality 90: close to the screen, not equal.
    rmse=$(compare -metric RMSE "$file" "$work/screen.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/' || true)
    awk -v e="$rmse" 'BEGIN { exit !(e < 0.05) }' || fail "the JPEG is far from the screen: $rmse"
    ;;
area_copy)
    start_target 40 60 400 300
    start_app
    xdotool key control+shift+alt+super+4
    wait_for_overlay
    drag 100 100 300 250
    wait_for 30 clipboard_png "$work/clip.png" || fail "no PNG on the clipboard"
    [ "$(size_of "$work/clip.png")" = 200x150 ] || fail "the clipboard holds $(size_of "$work/clip.png")"
    wait_for 20 no_window_shown || fail "the overlay is still shown"
    screen_part 200x150+100+100 "$work/screen.png"
    expect_same "$work/clip.png" "$work/screen.png" "the copied area"
    sleep 0.5
    [ -z "$(files)" ] || fail "a copy-only capture wrote a file: $(files)"
    no_failure_traced
    ;;
window_alone | window_shadow)
    if [ "$case_name" = window_alone ]; then setting windowShadow false; else setting windowShadow true; fi
    start_target 700 300 400 300
    start_app
    xdotool mousemove 900 450
    sleep 0.2
    xdotool key shift+alt+super+5
    wait_for_overlay
    xdotool click 1
    wait_for 20 one_file || fail "no single file within 2 s: $(files)"
    file=$(files)
    # The window with its manager's frame: the client area plus the extents.
    read -r left right top bottom < <(xprop -id "$target_id" _NET_FRAME_EXTENTS |
        sed 's/.*= //; s/,/ /g')
    width=$((400 + left + right))
    height=$((300 + top + bottom))
    screen_part "${width}x${height}+$((700 - left))+$((300 - top))" "$work/screen.png"
    if [ "$case_name" = window_alone ]; then
        [ "$(size_of "$file")" = "${width}x${height}" ] ||
            fail "the picture is $(size_of "$file"), the window ${width}x${height}"
        expect_same "$file" "$work/screen.png" "the window picture"
    else
        # 40 points left and right, 26 above and 54 below.
        [ "$(size_of "$file")" = "$((width + 80))x$((height + 80))" ] ||
            fail "the shadowed picture is $(size_of "$file"), the window ${width}x${height}"
        convert "$file" -crop "${width}x${height}+40+26" +repage "$work/inside.png"
        expect_same "$work/inside.png" "$work/screen.png" "the window inside its shadow"
    fi
    no_failure_traced
    ;;
escape)
    echo -n before | xclip -selection clipboard
    start_app
    xdotool key shift+alt+super+4
    wait_for_overlay
    overlays=$(our_windows)
    tree=$(xwininfo -root -tree)
    for w in $overlays; do
        grep -qi "$(printf '0x%x' "$w") " <<<"$tree" || fail "overlay $w not in the window tree"
    done
    "$probe" none Escape >/dev/null && fail "Escape is not held while the overlay is open"
    xdotool key Escape
    gone() {
        local tree
        tree=$(xwininfo -root -tree)
        for w in $overlays; do
            grep -qi "$(printf '0x%x' "$w") " <<<"$tree" && return 1
        done
        return 0
    }
    wait_for 10 gone || fail "an overlay window is left after Escape"
    sleep 0.5
    [ -z "$(files)" ] || fail "Escape wrote a file: $(files)"
    [ "$(xclip -selection clipboard -o 2>/dev/null)" = before ] || fail "Escape changed the clipboard"
    "$probe" none Escape >/dev/null || fail "Escape is still held after the selection"
    no_failure_traced
    ;;
window_closes)
    # The window under the pointer closes while the overlay is open; the
    # click then falls on the desktop and takes the display.
    start_target 700 300 400 300
    start_app
    xdotool mousemove 900 450
    sleep 0.2
    xdotool key shift+alt+super+5
    wait_for_overlay
    kill "${targets[0]}"
    sleep 0.5
    xdotool click 1
    wait_for 20 one_file || fail "no single file after the click: $(files)"
    size=$(size_of "$(files)")
    [ "$size" = 1920x1080 ] || fail "the picture is $size, not the display"
    no_failure_traced
    ;;
two_displays_fullscreen)
    start_target 2000 50 400 300
    start_app
    xdotool mousemove 2500 600
    sleep 0.2
    xdotool key shift+alt+super+3
    wait_for 20 one_file || fail "no single file within 2 s: $(files)"
    file=$(files)
    [ "$(size_of "$file")" = 1280x1024 ] || fail "the picture is $(size_of "$file"), not the second display"
    screen_part 1280x1024+1920+0 "$work/screen.png"
    expect_same "$file" "$work/screen.png" "the second display"
    no_failure_traced
    ;;
two_displays_area)
    start_target 2000 50 400 300
    start_app
    xdotool mousemove 2500 600
    xdotool key shift+alt+super+4
    wait_for_overlay
    drag 2020 100 2220 250
    wait_for 20 one_file || fail "no single file within 2 s: $(files)"
    file=$(files)
    [ "$(size_of "$file")" = 200x150 ] || fail "the area is $(size_of "$file")"
    screen_part 200x150+2020+100 "$work/screen.png"
    expect_same "$file" "$work/screen.png" "the area on the second display"
    no_failure_traced
    ;;
display_removed)
    # A display goes away while the overlay covers it: the selection ends
    # quietly and the program goes on.
    start_app
    xdotool mousemove 500 500
    xdotool key shift+alt+super+4
    wait_for_overlay
    overlays=$(our_windows)
    xrandr --delmonitor vexlin-1 >/dev/null
    wait_for 30 no_window_shown || fail "the overlay stayed after its display went away"
    sleep 0.5
    [ -z "$(files)" ] || fail "a file was written: $(files)"
    grep -q "Vexlin Capture couldn" "$log" && fail "an alert was shown"
    "$probe" none Escape >/dev/null || fail "Escape is still held"
    no_failure_traced
    # And the next capture works on the display that is left.
    xdotool key shift+alt+super+3
    wait_for 20 one_file || fail "no file from the next capture: $(files)"
    [ "$(size_of "$(files)")" = 1920x1080 ] || fail "the next picture is $(size_of "$(files)")"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
echo "1 passed, 0 failed"
