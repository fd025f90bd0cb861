#!/usr/bin/env bash
# A full-screen shot taken while the previous shot's Quick Access card stands
# in the bottom-left corner: the card leaves the picture, and where it stood
# the picture shows what lies beneath it, never the card nor the hole it left.
#   bare_desktop  the root window's pattern beneath: the whole picture is it.
#   slow_window   a window beneath that repaints 50 ms after it is uncovered
#                 and keeps the card's pixels until then: the card's place in
#                 the picture holds the window's colour.
#   slow_framed_window  the same window in the window manager's frame, whose
#                 decorations repaint at once: still the window's colour.
#
#   card_away.sh CASE ROOT_PATTERN SLOW_PAINTER [SCALE]
#
# SCALE (QT_SCALE_FACTOR, 1 by default) multiplies the card's size and place.
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1
pattern=${2:?}
painter=${3:?}
s=${4:-1}
export QT_SCALE_FACTOR=$s
save_to_shots
setting showQuickAccess true
setting quickAccessCorner bottomLeft
setting quickAccessAutoClose false
painter_pid=""
finish() {
    stop_app
    [ -z "$painter_pid" ] || kill "$painter_pid" 2>/dev/null || true
}
trap finish EXIT

screen_height=$(xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[2]}')
colour=3366cc

"$pattern" paint 7 || fail "could not paint the desktop"
if [ "$case_name" != bare_desktop ]; then
    # Wider and higher than the card, so that the card stands wholly on it.
    framed=""
    [ "$case_name" = slow_framed_window ] && framed=framed
    # Told to turn slow once the card stands still over it, so that no
    # repaints of the card's arrival are still due when the shot is taken.
    mkfifo "$work/painter.in"
    "$painter" "$colour" 0 "$((screen_height - 220 * s))" "$((300 * s))" "$((220 * s))" 50 \
        $framed <"$work/painter.in" >"$work/painter.txt" &
    painter_pid=$!
    exec 3>"$work/painter.in"
    painted() { grep -q painted "$work/painter.txt"; }
    wait_for 30 painted || fail "the slow window never painted"
fi
start_app

pictures() { find "$shots" -maxdepth 1 -name '*.png' | wc -l; }
card=""
place=""
# The card in its corner once it has slid in: 6 points from the left and the
# bottom, "WxH+X+Y" in pixels.
card_in_corner() {
    local w h x y
    card=$(our_windows_named '^Quick Access$' | head -n 1)
    [ -n "$card" ] || return 1
    place=$(window_geometry "$card")
    IFS='x+' read -r w h x y <<<"$place"
    [ "$x" = $((6 * s)) ] && [ $((y + h)) = $((screen_height - 6 * s)) ]
}

xdotool key shift+alt+super+3
wait_for 50 card_in_corner || fail "no card in the corner after the first shot: ${place:-none}"
card_size=${place%%+*}
card_x=$(cut -d+ -f2 <<<"$place")
card_y=$(cut -d+ -f3 <<<"$place")
# Within 300 x 220 points of the bottom-left corner, where the slow window is.
[ "${card_size%x*}" -le $((294 * s)) ] && [ "$card_y" -gt $((screen_height - 220 * s)) ] ||
    fail "the card stands at $place"
if [ -n "$painter_pid" ]; then
    echo slow >&3
    turned_slow() { grep -q '^slow$' "$work/painter.txt"; }
    wait_for 30 turned_slow || fail "the slow window did not turn slow"
fi
one() { [ "$(pictures)" = 1 ]; }
wait_for 50 one || fail "the first shot left no file"
first=$(find "$shots" -maxdepth 1 -name '*.png')

xdotool key shift+alt+super+3
two() { [ "$(pictures)" = 2 ]; }
wait_for 50 two || fail "the second shot left no file"
second=$(find "$shots" -maxdepth 1 -name '*.png' ! -path "$first")

case $case_name in
bare_desktop)
    "$pattern" check 7 "$second" || fail "the picture is not the desktop beneath the card"
    ;;
slow_window | slow_framed_window)
    convert -size "$card_size" "xc:#$colour" "$work/colour.png"
    convert "$second" -crop "$card_size+$card_x+$card_y" +repage "$work/place.png"
    d=$(differing "$work/place.png" "$work/colour.png")
    [ "$d" = 0 ] || fail "$d pixels of the card's place ($place) are not the window's"
    ;;
*) fail "no case $case_name" ;;
esac
no_failure_traced
echo "PASS card_away $case_name at scale $s"
