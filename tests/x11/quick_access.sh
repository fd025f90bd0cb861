#!/usr/bin/env bash
# Quick Access in the running program, cards in the bottom-left corner after
# 1000×600 area captures:
#   copy   the card stands in the corner; hovering it and clicking "Copy"
#          puts the area on the clipboard, the card confirms and goes, and
#          nothing is written.
#   pin    of two cards, the newer one's "Pin to Screen" takes that card away,
#          the older one stays, and a 1000×600 pin at (460, 240) shows the
#          newer capture; a double-click closes the pin and opens it in an
#          editor.
#   share  the card's Share, then "Show in File Manager", asks the file
#          manager on the session bus to show the card's drag file: a PNG of
#          the area in a "Drag-<uuid>" folder of the temporary folder. The
#          card stays.
#
#   pin_tooltip a pin's close mark says "Close" on hover, the pin never
#          having been clicked.
#   tooltip the Save As button's tooltip shows within 2 s of hovering it,
#          though the card never becomes the active window, and goes when
#          the pointer leaves.
#
#   quick_access.sh CASE ROOT_PATTERN FAKE_FILE_MANAGER [SCALE]
#
# SCALE (QT_SCALE_FACTOR, 1 by default) multiplies every size and place in
# points below.
#
# The rig is seeded with flows.conf; saving and copying by the capture itself
# are turned off here, so the clipboard and the save folder hear only from
# the card.
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1
pattern=${2:?}
fake_file_manager=${3:?}
s=${4:-1}
export QT_SCALE_FACTOR=$s
save_to_shots
setting saveToDisk false
setting copyToClipboard false
setting showQuickAccess true
setting quickAccessCorner bottomLeft
setting quickAccessAutoClose false
finish() {
    stop_app
    stop_fake_file_manager
}
trap finish EXIT

screen_height=$(xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[2]}')
# The newest card's window, its tile 220 × 132 inside 18 points of padding.
newest="$((256 * s))x$((168 * s))+$((6 * s))+$((screen_height - 174 * s))"

cards() { our_windows_named '^Quick Access$' | sort; }
card=""
# A card that was not there before stands in the newest card's place.
new_card_in_place() { # cards before
    card=$(comm -13 <(echo "$1") <(cards) | head -n 1)
    [ -n "$card" ] && [ "$(window_geometry "$card")" = "$newest" ]
}

# The area hot key over (100, 100)–(1100, 700) of a desktop painted with
# SEED's pattern, the area kept in $work/area-SEED.png; sets $card to the
# new card, in place within 1 s.
capture_area() { # seed
    local before
    "$pattern" paint "$1" || fail "could not paint the desktop"
    import -window root -crop 1000x600+100+100 +repage "$work/area-$1.png"
    before=$(cards)
    xdotool mousemove 50 50
    xdotool key shift+alt+super+4
    wait_for_overlay
    drag 100 100 1100 700
    wait_for 10 new_card_in_place "$before" ||
        fail "no new card at $newest within 1 s: ${card:-none}$([ -n "$card" ] && echo " at $(window_geometry "$card")")"
    override=$(xwininfo -id "$card" | awk '/Override Redirect State:/ {print $4}')
    [ "$override" = yes ] || fail "the card is managed by the window manager"
}

# The pointer comes onto the newest card, which shows its buttons, and
# clicks at a point of its tile.
on_card() { # x y in the tile: the pointer comes onto the card, then there
    local x=$(((6 + 18 + $1) * s)) y=$((screen_height + (-174 + 18 + $2) * s))
    xdotool mousemove $(((6 + 18 + 110) * s)) $((screen_height + (-174 + 18 + 20) * s))
    sleep 0.3
    xdotool mousemove "$x" "$y"
}
click_on_card() { # x y in the tile
    on_card "$@"
    sleep 0.2
    xdotool click 1
}
# "Copy" and "Save", each 68 wide and 8 apart, sit in the tile's middle; the
# round buttons, 28 across, 6 in from its edges: "Pin to Screen" bottom left,
# then Share and Save As bottom right, 6 apart.
copy_button=(72 66)
pin_button=(20 112)
share_button=(166 112)
save_as_button=(200 112)

case "$case_name" in
copy)
    clipboard_png() { # → file; true once the clipboard holds a PNG
        xclip -selection clipboard -t image/png -o >"$1" 2>/dev/null && [ -s "$1" ] &&
            identify "$1" >/dev/null 2>&1
    }
    start_app
    capture_area 7
    clipboard_png "$work/before.png" && fail "the clipboard holds a picture before Copy"
    click_on_card "${copy_button[@]}"
    clicked=$(date +%s%N)
    card_gone() { [ -z "$(cards)" ]; }
    wait_for 15 card_gone || fail "the card is still shown 1.5 s after Copy"
    echo "card gone after $((($(date +%s%N) - clicked) / 1000000)) ms"
    wait_for 30 clipboard_png "$work/clip.png" || fail "no PNG on the clipboard after Copy"
    [ "$(size_of "$work/clip.png")" = 1000x600 ] || fail "the clipboard holds $(size_of "$work/clip.png")"
    d=$(differing "$work/clip.png" "$work/area-7.png")
    [ "$d" = 0 ] || fail "$d pixels of the copy differ from the area"
    sleep 0.3
    [ -z "$(files)" ] || fail "Copy wrote a file: $(files)"
    ;;
pin)
    start_app
    capture_area 7
    older=$card
    capture_area 8
    pin=""
    find_pin() {
        pin=$(our_windows_named '^Pinned Screenshot$' | head -n 1)
        [ -n "$pin" ]
    }
    click_on_card "${pin_button[@]}"
    wait_for 30 find_pin || fail "Pin to Screen showed no pinned screenshot"
    only_older_card() { [ "$(cards)" = "$older" ]; }
    wait_for 15 only_older_card || fail "the cards after Pin to Screen: $(cards | tr '\n' ' ')"
    # The older card takes the newest one's place.
    older_in_place() { [ "$(window_geometry "$older")" = "$newest" ]; }
    wait_for 15 older_in_place || fail "the older card stays at $(window_geometry "$older")"
    sleep 0.5
    geometry=$(window_geometry "$pin")
    [ "$geometry" = 1000x600+460+240 ] || fail "the pin is at $geometry"
    import -window root "$work/pinned.png"
    same_inside "$work/pinned.png" 460 240 "$work/area-8.png" 0 0 1000x600 \
        "the pin against the newer capture"

    editors() { our_windows_named '^Vexlin Capture\*?$'; }
    [ -z "$(editors)" ] || fail "an editor is open before the double-click"
    xdotool mousemove 960 540
    sleep 0.3
    xdotool click --repeat 2 --delay 80 1
    pin_gone() { [ -z "$(our_windows_named '^Pinned Screenshot$')" ]; }
    wait_for 30 pin_gone || fail "the double-click left the pin"
    editor=""
    find_editor() {
        editor=$(editors | head -n 1)
        [ -n "$editor" ]
    }
    wait_for 50 find_editor || fail "the double-click opened no editor"
    [ "$(editors | wc -l)" = 1 ] || fail "the double-click opened $(editors | wc -l) editors"
    [ -z "$(files)" ] || fail "pinning wrote a file: $(files)"
    ;;
share)
    start_fake_file_manager "$fake_file_manager"
    start_app
    capture_area 7
    click_on_card "${share_button[@]}"
    menu=""
    find_menu() {
        menu=$(our_windows | grep -vxF "$(cards)" | head -n 1)
        [ -n "$menu" ]
    }
    wait_for 30 find_menu || fail "Share showed no menu"
    sleep 0.3
    # The last entry.
    xdotool key Up Return
    read_shown_file
    drag_folder=$(dirname "$shown_file")
    [ "$(dirname "$drag_folder")" = "$TMPDIR" ] &&
        [[ "$(basename "$drag_folder")" =~ ^Drag-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$ ]] ||
        fail "the shown file $shown_file is not in a drag folder of $TMPDIR"
    [ -f "$shown_file" ] || fail "the shown file $shown_file does not exist"
    [[ "$shown_file" == *.png ]] || fail "the shown file is no PNG: $shown_file"
    [ "$(size_of "$shown_file")" = 1000x600 ] || fail "the shown file is $(size_of "$shown_file")"
    d=$(differing "$shown_file" "$work/area-7.png")
    [ "$d" = 0 ] || fail "$d pixels of the shown file differ from the area"
    [ "$(cards)" = "$card" ] || fail "the cards after Share: $(cards | tr '\n' ' ')"
    [ "$(xdotool getwindowfocus 2>/dev/null || true)" != "$card" ] || fail "the card took the focus"
    [ -z "$(files)" ] || fail "Share wrote into the save folder: $(files)"
    ;;
tooltip)
    start_app
    capture_area 7
    on_card "${save_as_button[@]}"
    tip=""
    # A window of one line of text, whatever else of ours is mapped.
    find_tip() {
        local w
        tip=""
        for w in $(our_windows | grep -vxF "$(cards)"); do
            geometry=$(window_geometry "$w" 2>/dev/null) || continue
            read -r gw gh _ <<<"$(tr 'x+' '  ' <<<"$geometry")"
            if [ "$gh" -le $((40 * s)) ] && [ "$gw" -le $((140 * s)) ]; then
                tip=$w
                return 0
            fi
        done
        return 1
    }
    wait_for 20 find_tip || fail "no tooltip within 2 s of hovering Save As"
    import -window "$tip" "$work/tip.png"
    read -r w h < <(identify -format '%w %h\n' "$work/tip.png")
    # One line of text, about as wide as "Save As…" is at this scale.
    [ "$h" -ge $((12 * s)) ] && [ "$h" -le $((40 * s)) ] && [ "$w" -ge $((40 * s)) ] &&
        [ "$w" -le $((140 * s)) ] || fail "the tooltip is ${w}x$h"
    [ "$(xdotool getwindowfocus 2>/dev/null || true)" != "$card" ] || fail "the card took the focus"
    xdotool mousemove 960 300
    tip_gone() { ! find_tip; }
    wait_for 30 tip_gone || fail "the tooltip stayed after the pointer left"
    ;;
pin_tooltip)
    start_app
    capture_area 7
    pin=""
    find_pin() {
        pin=$(our_windows_named '^Pinned Screenshot$' | head -n 1)
        [ -n "$pin" ]
    }
    click_on_card "${pin_button[@]}"
    wait_for 30 find_pin || fail "Pin to Screen showed no pinned screenshot"
    card_gone() { [ -z "$(cards)" ]; }
    wait_for 30 card_gone || fail "the card stayed"
    # Onto the pin, then onto its close mark (24 points at 6, 6).
    xdotool mousemove $((960 * s)) $((540 * s))
    sleep 0.3
    xdotool mousemove $(((460 + 18) * s)) $(((240 + 18) * s))
    tip=""
    find_tip() {
        tip=$(our_windows | grep -vxF "$pin" | head -n 1)
        [ -n "$tip" ]
    }
    wait_for 20 find_tip || fail "no tooltip within 2 s of hovering the close mark"
    [ "$(xdotool getactivewindow 2>/dev/null || true)" != "$pin" ] || fail "the pin became active"
    xdotool mousemove $((960 * s)) $((540 * s))
    tip_gone() { [ -z "$(our_windows | grep -vxF "$pin")" ]; }
    wait_for 30 tip_gone || fail "the tooltip stayed after the pointer left the close mark"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
no_failure_traced
echo "passed"
