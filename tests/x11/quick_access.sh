#!/usr/bin/env bash
# Quick Access in the running program: after an area capture a card appears
# in the bottom-left corner; hovering it and clicking "Copy" puts the area on
# the clipboard, the card confirms and goes, and nothing is written.
#
#   quick_access.sh ROOT_PATTERN
#
# The rig is seeded with flows.conf; saving and copying by the capture itself
# are turned off here, so the clipboard and the save folder hear only from
# the card.
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
pattern=${1:?}
save_to_shots
setting saveToDisk false
setting copyToClipboard false
setting showQuickAccess true
setting quickAccessCorner bottomLeft
setting quickAccessAutoClose false
trap stop_app EXIT

screen_height=$(xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[2]}')

card=""
find_card() {
    card=$(our_windows_named '^Quick Access$' | head -n 1)
    [ -n "$card" ]
}
card_gone() { [ -z "$(our_windows_named '^Quick Access$')" ]; }
geometry() { # window → "WxH+X+Y"
    local info
    info=$(xwininfo -id "$1")
    printf '%sx%s+%s+%s' \
        "$(awk '/^  Width:/ {print $2}' <<<"$info")" \
        "$(awk '/^  Height:/ {print $2}' <<<"$info")" \
        "$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")" \
        "$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")"
}
want="256x168+6+$((screen_height - 174))"
card_in_place() { find_card && [ "$(geometry "$card")" = "$want" ]; }
clipboard_png() { # → file; true once the clipboard holds a PNG
    xclip -selection clipboard -t image/png -o >"$1" 2>/dev/null && [ -s "$1" ] &&
        identify "$1" >/dev/null 2>&1
}

"$pattern" paint 7 || fail "could not paint the desktop"
import -window root -crop 1000x600+100+100 +repage "$work/area.png"
start_app
xdotool mousemove 50 50
xdotool key shift+alt+super+4
wait_for_overlay
drag 100 100 1100 700
wait_for 10 card_in_place ||
    fail "no card at $want within 1 s: ${card:-none}$([ -n "$card" ] && echo " at $(geometry "$card")")"
override=$(xwininfo -id "$card" | awk '/Override Redirect State:/ {print $4}')
[ "$override" = yes ] || fail "the card is managed by the window manager"
clipboard_png "$work/before.png" && fail "the clipboard holds a picture before Copy"

# The tile is 220 × 132 inside 18 points of padding; "Copy" and "Save", each
# 68 wide and 8 apart, sit in its middle.
x=$((6 + 18 + (220 - 144) / 2 + 34))
y=$((screen_height - 174 + 18 + 66))
xdotool mousemove $((x + 40)) $((y - 30))
sleep 0.3
xdotool mousemove "$x" "$y"
sleep 0.2
xdotool click 1
clicked=$(date +%s%N)
wait_for 15 card_gone || fail "the card is still shown 1.5 s after Copy"
echo "card gone after $((($(date +%s%N) - clicked) / 1000000)) ms"
wait_for 30 clipboard_png "$work/clip.png" || fail "no PNG on the clipboard after Copy"
[ "$(size_of "$work/clip.png")" = 1000x600 ] || fail "the clipboard holds $(size_of "$work/clip.png")"
d=$(differing "$work/clip.png" "$work/area.png")
[ "$d" = 0 ] || fail "$d pixels of the copy differ from the area"
sleep 0.3
[ -z "$(files)" ] || fail "Copy wrote a file: $(files)"
no_failure_traced
echo "passed"
