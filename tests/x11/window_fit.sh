#!/usr/bin/env bash
# Every window of ours stands whole on the screen, frame and all, at the
# scale the test runs the program at (QT_SCALE_FACTOR): the welcome guide of
# a first start with its closing button, the settings a second start opens,
# the editor a full-screen capture opens, and the About and review windows
# its application menu opens. A 1920×1080 screen at scale 2
# has 960×540 points, less than the welcome guide and the settings are tall.
#
#   window_fit.sh
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
save_to_shots
setting hasCompletedOnboarding false
setting openEditor true
setting showQuickAccess false
trap stop_app EXIT

read -r screen_w screen_h < <(xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[1], d[2]}')

# The window with its window manager's frame inside the screen.
whole_on_screen() { # window what
    local info x y w h left right top bottom
    info=$(xwininfo -id "$1")
    x=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")
    y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
    w=$(awk '/^  Width:/ {print $2}' <<<"$info")
    h=$(awk '/^  Height:/ {print $2}' <<<"$info")
    read -r left right top bottom < <(xprop -id "$1" _NET_FRAME_EXTENTS |
        sed -n 's/.*= *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1 \2 \3 \4/p')
    left=${left:-0} right=${right:-0} top=${top:-0} bottom=${bottom:-0}
    [ $((x - left)) -ge 0 ] && [ $((y - top)) -ge 0 ] &&
        [ $((x + w + right)) -le "$screen_w" ] && [ $((y + h + bottom)) -le "$screen_h" ] ||
        fail "$2 runs off the ${screen_w}x${screen_h} screen: ${w}x${h}+${x}+${y}, frame $left $right $top $bottom"
    echo "$2: ${w}x${h}+${x}+${y} on ${screen_w}x${screen_h}"
}

# The settled place of a window: the same twice in a row.
settled() { # window
    local a b
    a=$(window_geometry "$1")
    sleep 0.3
    b=$(window_geometry "$1")
    [ "$a" = "$b" ]
}

start_app
welcome=""
find_welcome() {
    welcome=$(our_windows_named '^Welcome to Vexlin Capture$' | head -n 1)
    [ -n "$welcome" ]
}
wait_for 50 find_welcome || fail "a first start showed no welcome guide"
wait_for 30 settled "$welcome" || fail "the welcome guide does not settle"
whole_on_screen "$welcome" "the welcome guide"
import -window "$welcome" "$work/welcome.png"
[ -z "${VEXLIN_PICTURES:-}" ] || cp "$work/welcome.png" "$VEXLIN_PICTURES/welcome-scale${QT_SCALE_FACTOR:-1}.png"
# Its closing button ends the guide: Return presses it.
xdotool windowactivate --sync "$welcome" 2>/dev/null || true
xdotool key Return
welcome_gone() { [ -z "$(our_windows_named '^Welcome to Vexlin Capture$')" ]; }
wait_for 30 welcome_gone || fail "Return did not close the welcome guide"

timeout 10 "$app" >/dev/null 2>&1 || fail "the second start failed"
settings=""
find_settings() {
    settings=$(our_windows_named '^General$' | head -n 1)
    [ -n "$settings" ]
}
wait_for 50 find_settings || fail "the second start opened no settings"
wait_for 30 settled "$settings" || fail "the settings do not settle"
whole_on_screen "$settings" "the settings"
[ -z "${VEXLIN_PICTURES:-}" ] || import -window "$settings" "$VEXLIN_PICTURES/settings-scale${QT_SCALE_FACTOR:-1}.png"
xdotool windowactivate --sync "$settings" 2>/dev/null || true
xdotool key ctrl+w
settings_gone() { [ -z "$(our_windows_named '^General$')" ]; }
wait_for 30 settings_gone || fail "Ctrl+W did not close the settings"

xdotool mousemove $((screen_w / 2)) $((screen_h / 2))
xdotool key shift+alt+super+3
editor=""
find_editor() {
    editor=$(our_windows_named '^Vexlin Capture\*?$' | head -n 1)
    [ -n "$editor" ]
}
wait_for 50 find_editor || fail "the full-screen capture opened no editor"
wait_for 30 settled "$editor" || fail "the editor does not settle"
whole_on_screen "$editor" "the editor"
[ -z "${VEXLIN_PICTURES:-}" ] || import -window "$editor" "$VEXLIN_PICTURES/editor-scale${QT_SCALE_FACTOR:-1}.png"

# An item of the editor's application menu, the first menu of its bar: the
# item's middle so many points below the bar's top.
points() { awk -v p="$1" -v s="${QT_SCALE_FACTOR:-1}" 'BEGIN { printf "%d", p * s }'; }
from_menu() { # points-down window-title what
    local x y found="" title=$2
    read -r x y < <(xwininfo -id "$editor" |
        awk '/Absolute upper-left X:/ {x = $4} /Absolute upper-left Y:/ {print x, $4}')
    xdotool windowactivate --sync "$editor" 2>/dev/null || true
    xdotool mousemove $((x + $(points 40))) $((y + $(points 10))) click 1
    sleep 0.8
    xdotool mousemove $((x + $(points 60))) $((y + $(points "$1")))
    sleep 0.3
    xdotool click 1
    find_it() {
        found=$(our_windows_named "^$title\$" | head -n 1)
        [ -n "$found" ]
    }
    wait_for 50 find_it || fail "the application menu opened no $3"
    wait_for 30 settled "$found" || fail "the $3 does not settle"
    whole_on_screen "$found" "the $3"
    [ -z "${VEXLIN_PICTURES:-}" ] ||
        import -window "$found" "$VEXLIN_PICTURES/${3// /-}-scale${QT_SCALE_FACTOR:-1}.png"
    xdotool windowactivate --sync "$found" 2>/dev/null || true
    xdotool key ctrl+w
    closed() { [ -z "$(our_windows_named "^$title\$")" ]; }
    wait_for 30 closed || fail "Ctrl+W did not close the $3"
}
from_menu 36 'About Vexlin Capture' 'About window'
from_menu 80 'Write a Review' 'review window'
no_failure_traced
echo "passed"
