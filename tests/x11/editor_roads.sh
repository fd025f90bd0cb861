#!/usr/bin/env bash
# The roads into the editor in the running program, at the scale the test
# runs it at (QT_SCALE_FACTOR, 1 on a 1920×1080 screen or 2 on a 3840×2160
# one). Each ends with Ctrl+C in the editor, whose PNG on the clipboard must be
# the area's pixels, all of them, at full size:
#   open_in_editor  an area capture with "Open in the editor" on;
#   card            an area capture's Quick Access card, its pencil;
#   pin             the card's Pin to Screen, then a double-click on the pin;
#   strip           the recent strip: after a second capture, a click on the
#                   first one's tile;
#   open_image      Ctrl+O in the capture's editor, its saved file chosen.
# And the strip's movies:
#   video_tile      a click on a movie's tile opens the video editor on it,
#                   and on a movie cut off after its index opens one that
#                   says the recording is damaged.
#
#   editor_roads.sh CASE ROOT_PATTERN
#
# The rig is seeded with flows.conf.
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1
pattern=${2:?}
save_to_shots
setting copyToClipboard false
setting showQuickAccess false
setting openEditor true
setting saveToDisk false
setting quickAccessAutoClose false
trap stop_app EXIT

s=${QT_SCALE_FACTOR:-1}
# The area, in screen pixels: 640 × 400 points at (200, 150) points.
ax=$((200 * s)) ay=$((150 * s)) aw=$((640 * s)) ah=$((400 * s))

editors() { our_windows_named '^Vexlin Capture\*?$'; }
editor=""
new_editor() { # editors before
    editor=$(comm -13 <(echo "$1") <(editors | sort) | head -n 1)
    [ -n "$editor" ]
}

# Paints SEED's desktop and keeps the area's pixels in $work/area-SEED.png.
paint() { # seed
    "$pattern" paint "$1" || fail "could not paint the desktop"
    import -window root -crop "${aw}x${ah}+${ax}+${ay}" +repage "$work/area-$1.png"
}
capture_area() {
    xdotool mousemove 20 20
    xdotool key shift+alt+super+4
    wait_for_overlay
    drag "$ax" "$ay" $((ax + aw)) $((ay + ah))
}

# The window active, so that keys go to it.
is_active() { [ "$(xdotool getactivewindow 2>/dev/null || true)" = "$1" ]; }
activate() { # window what
    xdotool windowactivate --sync "$1" 2>/dev/null || true
    wait_for 30 is_active "$1" || fail "$2 did not become the active window"
}
# The card in the newest card's place, its slide over: 256 points wide
# (its height follows the capture's shape), 6 in from the bottom left
# corner. It sets $card.
screen_height=$(xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[2]}')
screen_width=$(xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[1]}')
card=""
card_in_place() {
    card=$(our_windows_named '^Quick Access$' | head -n 1)
    [ -n "$card" ] || return 1
    [[ "$(window_geometry "$card")" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
    [ "${BASH_REMATCH[1]}" = $((256 * s)) ] && [ "${BASH_REMATCH[3]}" = $((6 * s)) ] &&
        [ $((BASH_REMATCH[2] + BASH_REMATCH[4])) = $((screen_height - 6 * s)) ]
}
# The pointer onto the card's tile, then at X Y in the card once the card
# shows its buttons.
card_point() { # x y
    local cx cy
    read -r cx cy < <(window_origin "$card")
    import -window "$card" "$work/card-before.png"
    xdotool mousemove --sync $((cx + s * 128)) $((cy + s * 84))
    shows_buttons() {
        import -window "$card" "$work/card-hovered.png"
        [ "$(differing "$work/card-before.png" "$work/card-hovered.png")" != 0 ]
    }
    wait_for 30 shows_buttons || fail "the card shows no buttons under the pointer"
    xdotool mousemove --sync $((cx + s * $1)) $((cy + s * $2))
}

clipboard_png() { # file
    timeout 30 xclip -selection clipboard -t image/png -o >"$1" 2>/dev/null && [ -s "$1" ] &&
        identify "$1" >/dev/null 2>&1
}
# Ctrl+C in the editor: the clipboard's PNG is the picture, pixel for pixel.
copy_gives() { # picture what
    printf 'before the copy' | xclip -selection clipboard -i
    activate "$editor" "the editor"
    xdotool key ctrl+c
    copied() { clipboard_png "$work/clip.png"; }
    wait_for 50 copied || fail "Ctrl+C put no PNG on the clipboard ($2)"
    [ "$(size_of "$work/clip.png")" = "$(size_of "$1")" ] ||
        fail "the copied picture is $(size_of "$work/clip.png"), not $(size_of "$1") ($2)"
    local differ
    differ=$(differing "$1" "$work/clip.png")
    [ "$differ" = 0 ] || fail "the copied picture differs from $2 in $differ pixels"
    [ -z "${VEXLIN_PICTURES:-}" ] ||
        import -window "$editor" "$VEXLIN_PICTURES/editor-$case_name-scale$s.png"
}

# Where a colour shows in a picture, within a tolerance: "W H X Y".
box_near() { # picture colour fuzz
    local box
    box=$(convert "$1" -alpha off -fuzz "$3" -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%@' info:)
    [[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
    [ "${BASH_REMATCH[1]}" -gt 4 ] && [ "${BASH_REMATCH[2]}" -gt 4 ] || return 1
    echo "${BASH_REMATCH[@]:1}"
}
window_origin() { # window → "X Y"
    local info
    info=$(xwininfo -id "$1")
    echo "$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info") $(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")"
}

case "$case_name" in
open_in_editor)
    start_app
    paint 11
    before=$(editors | sort)
    capture_area
    wait_for 50 new_editor "$before" || fail "the capture opened no editor"
    copy_gives "$work/area-11.png" "the area"
    ;;
card)
    setting openEditor false
    setting showQuickAccess true
    setting quickAccessCorner bottomLeft
    start_app
    paint 12
    capture_area
    wait_for 30 card_in_place || fail "the capture showed no card in its place: ${card:-none}$([ -n "$card" ] && echo " at $(window_geometry "$card")")"
    # The pencil: 28 points across, 6 in from the tile's top right corner;
    # the tile 220 points wide, 18 in from the card's edge.
    card_point 218 38
    before=$(editors | sort)
    xdotool click 1
    wait_for 50 new_editor "$before" || fail "the card's pencil opened no editor"
    copy_gives "$work/area-12.png" "the area of the card"
    ;;
pin)
    setting openEditor false
    setting showQuickAccess true
    setting quickAccessCorner bottomLeft
    start_app
    paint 15
    capture_area
    wait_for 30 card_in_place || fail "the capture showed no card in its place: ${card:-none}$([ -n "$card" ] && echo " at $(window_geometry "$card")")"
    # Pin to Screen: 28 points across, 6 in from the tile's bottom left.
    card_point 38 130
    xdotool click 1
    # The pin: the area's size, in the middle of the screen.
    pin=""
    pin_in_place() {
        pin=$(our_windows_named '^Pinned Screenshot$' | head -n 1)
        [ -n "$pin" ] &&
            [ "$(window_geometry "$pin")" = "${aw}x${ah}+$(((screen_width - aw) / 2))+$(((screen_height - ah) / 2))" ]
    }
    wait_for 30 pin_in_place || fail "Pin to Screen showed no pin in its place: ${pin:-none}"
    read -r px py < <(window_origin "$pin")
    xdotool mousemove --sync $((px + aw / 2)) $((py + ah / 2))
    before=$(editors | sort)
    xdotool click --repeat 2 --delay 80 1
    wait_for 50 new_editor "$before" || fail "the pin's double-click opened no editor"
    copy_gives "$work/area-15.png" "the area of the pin"
    ;;
strip)
    setting saveToDisk true
    start_app
    paint 13
    before=$(editors | sort)
    capture_area
    wait_for 50 new_editor "$before" || fail "the first capture opened no editor"
    wait_for 30 one_file || fail "the first capture was not saved"
    xdotool windowactivate --sync "$editor" 2>/dev/null || true
    xdotool key ctrl+w
    gone() { [ -z "$(editors)" ]; }
    wait_for 30 gone || fail "Ctrl+W left the editor"
    paint 14
    capture_area
    wait_for 50 new_editor "" || fail "the second capture opened no editor"
    # The first capture's tile: the only place of its colour in the window,
    # the canvas showing the second.
    colour=$(convert "$work/area-13.png" -resize 1x1\! -format '%[pixel:p{0,0}]' info:)
    tile=""
    find_tile() {
        import -window "$editor" "$work/window.png"
        tile=$(box_near "$work/window.png" "$colour" 6%)
    }
    wait_for 50 find_tile || fail "no tile of the first capture ($colour) in the strip"
    read -r tw th tx ty <<<"$tile"
    read -r ex ey < <(window_origin "$editor")
    xdotool mousemove --sync $((ex + tx + tw / 2)) $((ey + ty + th / 2))
    xdotool click 1
    # The canvas shows the first capture: its colour is no longer the tile's
    # alone.
    opened_first() {
        import -window "$editor" "$work/window.png"
        [ "$(box_near "$work/window.png" "$colour" 6%)" != "$tile" ]
    }
    wait_for 50 opened_first || fail "the first capture's tile did not open it in the editor"
    copy_gives "$work/area-13.png" "the first capture, opened from the strip"
    ;;
open_image)
    setting saveToDisk true
    start_app
    paint 16
    before=$(editors | sort)
    capture_area
    wait_for 50 new_editor "$before" || fail "the capture opened no editor"
    wait_for 30 one_file || fail "the capture was not saved"
    capture=$(files)
    first=$editor
    xdotool windowactivate --sync "$editor" 2>/dev/null || true
    xdotool key ctrl+o
    dialog=""
    find_dialog() {
        dialog=$(our_windows_named 'Choose an image to annotate' | head -n 1)
        [ -n "$dialog" ]
    }
    wait_for 50 find_dialog || fail "Ctrl+O showed no open panel"
    activate "$dialog" "the open panel"
    # The file name field has the keyboard; a whole path there opens it.
    xdotool type --delay 20 "$capture"
    xdotool key Return
    second() {
        editor=$(editors | grep -vx "$first" | head -n 1)
        [ -n "$editor" ]
    }
    wait_for 50 second || fail "the open panel opened no second editor"
    copy_gives "$work/area-16.png" "the saved capture, opened with Open Image"
    ;;
video_tile)
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "color=c=magenta:s=320x180:r=10:d=2" \
        -c:v libx264 -pix_fmt yuv420p -movflags +faststart "$work/clip.mp4" ||
        fail "ffmpeg made no movie"
    # The same movie cut a little way into its data: its index reads whole.
    python3 - "$work/clip.mp4" "$shots/cut.mp4" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = 0
while at + 8 <= len(data):
    size, kind = struct.unpack(">I4s", data[at:at + 8])
    if kind == b"mdat":
        open(sys.argv[2], "wb").write(data[:at + 8 + 64])
        break
    at += size
PY
    [ -s "$shots/cut.mp4" ] || fail "could not cut the movie"
    touch -d '-1 minute' "$shots/cut.mp4"
    cp "$work/clip.mp4" "$shots/clip.mp4"
    start_app
    "$pattern" quadrants
    xdotool mousemove 20 20
    xdotool key shift+alt+super+3
    wait_for 50 new_editor "" || fail "the capture opened no editor"
    tile=""
    find_tile() {
        import -window "$editor" "$work/window.png"
        tile=$(box_near "$work/window.png" '#ff00ff' 12%)
    }
    wait_for 50 find_tile || fail "no magenta tile of the movie in the strip"
    read -r tw th tx ty <<<"$tile"
    read -r ex ey < <(window_origin "$editor")
    videos() { our_windows_named '^Vexlin Capture Recording '; }
    video=""
    find_video() {
        video=$(videos | head -n 1)
        [ -n "$video" ]
    }
    xdotool mousemove --sync $((ex + tx + tw / 2)) $((ey + ty + th / 2))
    xdotool click 1
    wait_for 50 find_video || fail "the movie's tile opened no video editor"
    # It plays the movie: its picture is magenta.
    shows_movie() {
        import -window "$video" "$work/video.png"
        box_near "$work/video.png" '#ff00ff' 12% >/dev/null
    }
    wait_for 50 shows_movie || fail "the video editor does not show the movie"
    [ -z "${VEXLIN_PICTURES:-}" ] || cp "$work/video.png" "$VEXLIN_PICTURES/video-editor-scale$s.png"
    [ "$(videos | wc -l)" = 1 ] || fail "$(videos | wc -l) video editors"
    windows_before=$(our_windows | sort)
    # The cut movie's tile is the next one along: 120 points and 8 apart.
    activate "$editor" "the editor"
    xdotool mousemove --sync $((ex + tx + tw / 2 + s * 128)) $((ey + ty + th / 2))
    xdotool click 1
    two_videos() { [ "$(videos | wc -l)" = 2 ]; }
    wait_for 50 two_videos || fail "the cut movie's tile opened no video editor"
    alert=""
    find_alert() {
        alert=$(comm -13 <(echo "$windows_before") <(our_windows | sort) | grep -vxF "$(videos)" | head -n 1)
        [ -n "$alert" ]
    }
    wait_for 50 find_alert || fail "opening the cut movie said nothing"
    said=""
    says_damaged() {
        import -window "$alert" "$work/alert.png"
        said=$(OMP_THREAD_LIMIT=1 tesseract "$work/alert.png" - 2>/dev/null | tr '\n' ' ')
        grep -qi "damaged or incomplete" <<<"$said"
    }
    wait_for 100 says_damaged || fail "the alert says: $said"
    [ -z "${VEXLIN_PICTURES:-}" ] || cp "$work/alert.png" "$VEXLIN_PICTURES/damaged-alert-scale$s.png"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
no_failure_traced
echo "passed"
