#!/usr/bin/env bash
# Recording sessions end to end: the record hot key, an area dragged on the
# selection overlay, the session's phases as the program traces them, and the
# movie or GIF it delivers into the save folder and its working folder.
#
#   recording.sh CASE HOTKEY_PROBE
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1
probe=${2:?}
save_to_shots
setting showQuickAccess false
setting copyToClipboard false
recordings="$XDG_CACHE_HOME/Vexlin/Recordings"
trap stop_app EXIT

record_key() { xdotool key shift+alt+super+7; }
traced() { grep -qF -- "$1" "$log"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Waits for a traced line and gives the moment it was seen, in ms.
seen_at() { # tenths line
    wait_for "$1" traced "$2" || fail "not traced within $(($1 / 10)) s: $2"
    now_ms
}
# The record key, then an area W×H at 100,100.
record_area() { # width height
    record_key
    wait_for_overlay
    drag 100 100 $((100 + $1)) $((100 + $2))
    wait_for 30 traced "recording phase=setup" || fail "no session in setup"
}
only_in() { # folder pattern → the one matching entry
    local found
    found=$(find "$1" -maxdepth 1 -name "$2" 2>/dev/null | sort)
    [ -n "$found" ] && [ "$(wc -l <<<"$found")" = 1 ] && echo "$found"
}
duration_of() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }
within() { # value expected tolerance
    awk -v v="$1" -v e="$2" -v t="$3" 'BEGIN { exit !((v - e) <= t && (e - v) <= t) }'
}

case "$case_name" in
countdown)
    setting recordingCountdown 3
    start_app
    record_area 320 200
    record_key
    started=$(seen_at 20 "recording phase=countdown(3)")
    record_key # during the countdown: nothing
    wait_for 20 traced "recording-ignored phase=countdown" || fail "the record key was not ignored"
    seen_at 20 "recording phase=countdown(2)" >/dev/null
    seen_at 20 "recording phase=countdown(1)" >/dev/null
    recording=$(seen_at 30 "recording phase=recording")
    elapsed=$((recording - started))
    within "$elapsed" 3000 300 || fail "recording began ${elapsed} ms after the countdown began"
    phases=$(grep -o "recording phase=[a-z]*([0-9]*)\|recording phase=[a-z]*$" "$log" | head -5 | tr '\n' ' ')
    [ "$phases" = "recording phase=setup recording phase=countdown(3) recording phase=countdown(2) recording phase=countdown(1) recording phase=recording " ] ||
        fail "phases: $phases"
    sleep 1
    record_key
    wait_for 100 one_file || fail "no recording saved: $(files)"
    no_failure_traced
    ;;
stop_by_hotkey)
    start_app
    record_area 640 400
    record_key
    seen_at 30 "recording phase=recording" >/dev/null
    sleep 2
    record_key
    seen_at 20 "recording phase=finishing(Saving" >/dev/null
    wait_for 100 one_file || fail "no recording saved: $(files)"
    saved=$(files)
    [[ "$(basename "$saved")" =~ ^Vexlin\ Capture\ Recording\ .*\.mp4$ ]] || fail "saved as $(basename "$saved")"
    duration=$(duration_of "$saved")
    within "$duration" 2.0 0.4 || fail "the movie lasts $duration s"
    size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 "$saved")
    [ "$size" = 640x400 ] || fail "the movie is $size"
    only_in "$recordings" "*.mp4" >/dev/null || fail "no single working movie: $(ls "$recordings")"
    wait_for 20 no_window_shown || fail "a window of ours is still shown"
    no_failure_traced
    ;;
gif)
    setting recordingFormat gif
    setting gifFPS 12
    setting gifMaxWidth 320
    start_app
    record_area 480 270
    record_key
    seen_at 30 "recording phase=recording" >/dev/null
    sleep 2
    record_key
    seen_at 100 "recording phase=finishing(Creating GIF" >/dev/null
    wait_for 200 one_file || fail "no GIF saved: $(files)"
    gif=$(only_in "$recordings" "*.gif") || fail "no single GIF in Recordings: $(ls "$recordings")"
    [ -z "$(find "$recordings" -name '*.mp4')" ] || fail "the movie was left: $(ls "$recordings")"
    [ "$(identify -format '%Wx%H\n' "$gif" | sort -u)" = 320x180 ] || fail "GIF canvas: $(identify -format '%Wx%H ' "$gif" | head -c 200)"
    [ "$(identify -format '%T\n' "$gif" | sort -u)" = 8 ] || fail "delays: $(identify -format '%T ' "$gif" | head -c 200)"
    frames=$(identify -format '.' "$gif" | wc -c)
    [ "$frames" -ge 20 ] && [ "$frames" -le 30 ] || fail "$frames frames for about 2 s"
    no_failure_traced
    ;;
click_highlights)
    # Left clicks inside the recorded area while it records: the pulses are
    # on screen, so the movie has them.
    setting recordHighlightClicks true
    start_app
    record_area 640 400
    record_key
    seen_at 30 "recording phase=recording" >/dev/null
    sleep 0.5
    for _ in 1 2 3 4 5 6; do
        xdotool mousemove 420 300 click 1
        sleep 0.4
    done
    sleep 0.3
    record_key
    wait_for 100 one_file || fail "no recording saved: $(files)"
    saved=$(files)
    # Frames of the 90 × 90 square about the clicks (area-local 320,200):
    # pixels far bluer than red, as the accent colour is, on the black root.
    blue=$(ffmpeg -v error -i "$saved" -vf "crop=90:90:275:155" -f rawvideo -pix_fmt rgb24 - |
        python3 -c '
import sys
data = sys.stdin.buffer.read()
print(sum(1 for i in range(0, len(data) - 2, 3) if data[i + 2] > 120 and data[i + 2] > data[i] + 60))')
    [ "$blue" -gt 200 ] || fail "no pulse in the movie ($blue accent pixels)"
    # Away from the clicks nothing of the kind.
    stray=$(ffmpeg -v error -i "$saved" -vf "crop=90:90:20:20" -f rawvideo -pix_fmt rgb24 - |
        python3 -c '
import sys
data = sys.stdin.buffer.read()
print(sum(1 for i in range(0, len(data) - 2, 3) if data[i + 2] > 120 and data[i + 2] > data[i] + 60))')
    [ "$stray" -eq 0 ] || fail "accent pixels away from the clicks: $stray"
    wait_for 20 no_window_shown || fail "a window of ours is still shown"
    no_failure_traced
    ;;
camera_without_device)
    # The rig has no video device: the camera option shows no bubble, and the
    # recording goes on.
    [ -z "$(ls /dev/video* 2>/dev/null)" ] || fail "this case needs a machine without cameras"
    setting recordShowCamera true
    start_app
    record_area 640 400
    sleep 1
    [ -z "$(our_windows_named '^Camera$')" ] || fail "a camera bubble is shown"
    record_key
    seen_at 30 "recording phase=recording" >/dev/null
    sleep 1
    [ -z "$(our_windows_named '^Camera$')" ] || fail "a camera bubble is shown while recording"
    record_key
    wait_for 100 one_file || fail "no recording saved: $(files)"
    wait_for 20 no_window_shown || fail "a window of ours is still shown"
    no_failure_traced
    ;;
escape)
    start_app
    record_area 320 200
    ours=""
    frame_shown() {
        ours=$(our_windows)
        [ -n "$ours" ]
    }
    wait_for 20 frame_shown || fail "the frame is not shown in setup"
    escape_held() { ! "$probe" none Escape >/dev/null; }
    wait_for 20 escape_held || fail "Escape is not held in setup"
    xdotool key Escape
    wait_for 20 traced "recording ended without a recording" || fail "Escape did not end the session"
    gone() {
        local tree
        tree=$(xwininfo -root -tree)
        for w in $ours; do
            grep -qi "$(printf '0x%x' "$w") " <<<"$tree" && return 1
        done
        return 0
    }
    wait_for 20 gone || fail "a window of ours is left after Escape"
    "$probe" none Escape >/dev/null || fail "Escape is still held after the session"
    sleep 0.5
    [ -z "$(files)" ] || fail "Escape wrote a file: $(files)"
    [ -z "$(ls -A "$recordings" 2>/dev/null)" ] || fail "Escape left a working file: $(ls -A "$recordings")"
    no_failure_traced
    ;;
unwritable)
    # Root writes into read-only folders, so the working folder is made
    # unusable by a file standing where it should be.
    mkdir -p "$(dirname "$recordings")"
    echo taken >"$recordings"
    start_app
    record_area 320 200
    record_key
    wait_for 50 our_windows_named "The recording stopped" >/dev/null ||
        fail "no alert"
    alert_shown() { [ -n "$(our_windows_named "The recording stopped")" ]; }
    wait_for 50 alert_shown || fail "no alert"
    wait_for 20 traced "recording ended without a recording" || fail "the session did not end"
    sleep 0.3
    [ -z "$(files)" ] || fail "something was delivered: $(files)"
    ;;
*)
    fail "no case $case_name"
    ;;
esac
