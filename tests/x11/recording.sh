#!/usr/bin/env bash
# Recording sessions end to end: the record hot key, an area dragged on the
# selection overlay, the session's phases as the program traces them, and the
# movie or GIF it delivers into the save folder and its working folder; the
# control bar's buttons clicked where they are drawn, a recorded window that
# closes, and the tray icon under a tray host.
#
#   recording.sh CASE HOTKEY_PROBE CAPTURE_TARGET
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1
probe=${2:?}
target_program=${3:?}
save_to_shots
setting showQuickAccess false
setting copyToClipboard false
recordings="$XDG_CACHE_HOME/Vexlin/Recordings"
tray=""
cleanup() {
    stop_app
    for t in "${targets[@]}"; do kill "$t" 2>/dev/null || true; done
    [ -z "$tray" ] || kill "$tray" 2>/dev/null || true
}
trap cleanup EXIT

record_key() { xdotool key shift+alt+super+7; }
traced() { grep -qF -- "$1" "$log"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
traced_times() { [ "$(grep -cF -- "$1" "$log")" -ge "$2" ]; }
# Waits for the Nth traced line (the first by default) and gives the moment,
# in ms, the program stamped on it (a busy machine may run this script late),
# or the moment it was seen for a line without one.
seen_at() { # tenths line [N]
    local nth=${3:-1} at
    wait_for "$1" traced_times "$2" "$nth" || fail "not traced within $(($1 / 10)) s: $2"
    at=$(grep -F -- "$2" "$log" | sed -n "${nth}s/.* at=\([0-9]*\)$/\1/p")
    if [ -n "$at" ]; then echo "$at"; else now_ms; fi
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
# The recorded window: the record key, window mode, a click on the target.
record_target() {
    record_key
    wait_for_overlay
    xdotool key space
    sleep 0.2
    xdotool mousemove 400 300
    sleep 0.2
    xdotool click 1
    wait_for 30 traced "recording session region=" || fail "no session for the window"
    grep -q "recording session region=.* window=$((target_id))$" "$log" ||
        fail "the session does not record the target window alone: $(grep 'recording session' "$log")"
    wait_for 30 traced "recording phase=setup" || fail "no session in setup"
}
# The working movies now, by name, the ones still written too.
working() { find "$recordings" -maxdepth 1 -name '*.mp4*' -printf '%f\n' 2>/dev/null | sort; }
# The recording the session handed over: "duration scale" from the trace.
made() {
    wait_for 100 traced "recording made " || fail "no recording was made"
    sed -n 's/.*recording made file=".*" duration=\([0-9.]*\) scale=\([0-9.]*\)$/\1 \2/p' "$log"
}
duration_of() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }
within() { # value expected tolerance
    awk -v v="$1" -v e="$2" -v t="$3" 'BEGIN { exit !((v - e) <= t && (e - v) <= t) }'
}

# The program's scale on this screen (QT_SCALE_FACTOR, as the test runs it).
ui_scale=${QT_SCALE_FACTOR:-1}
# bar_button N: sets bx,by to the root position of the control bar's Nth
# icon button left of the red Stop capsule (1 Discard, 2 Restart, 3
# Pause/Resume), found in the bar's pixels as the screen shows them: the
# capsule is the rightmost red run, and the buttons before it are 28 points
# wide with 10 between.
bx=""
by=""
bar_button() {
    local bar geometry x y found
    bar=$(our_windows_named '^Recording$' | head -n 1)
    [ -n "$bar" ] || fail "no control bar is shown"
    geometry=$(window_geometry "$bar")
    # Columns and rows of Stop-red pixels in the row (the notes below it
    # left out), the capsule's left edge and middle.
    found=$(xwd -silent -id "$bar" |
        convert xwd:- -crop "x$((64 * ui_scale))+0+0" -alpha off -depth 8 txt:- |
        awk -F'[,:() ]+' '
        /^#/ { next }
        $3 >= 224 && $4 <= 112 && $5 <= 112 { red[$1] = 1; rows[$1] = rows[$1] " " $2 }
        $1 > right { right = $1 }
        END {
            x = -1
            for (c = right; c >= 0; c--) if (c in red) { x = c; break }
            if (x < 0) exit 1
            while ((x - 1) in red || (x - 2) in red || (x - 3) in red) x--
            n = split(rows[x + 6], ys, " "); top = 1e9; bottom = -1
            for (i = 1; i <= n; i++) { if (ys[i] < top) top = ys[i]; if (ys[i] > bottom) bottom = ys[i] }
            print x, int((top + bottom) / 2)
        }') || fail "no red Stop capsule in the control bar"
    read -r x y <<<"$found"
    geometry=${geometry#*+}
    bx=$((${geometry%+*} + x - (24 + ($1 - 1) * 38) * ui_scale))
    by=$((${geometry#*+} + y))
}
sleep_until() { # ms
    local left=$(($1 - $(now_ms)))
    [ "$left" -le 0 ] || sleep "$(awk -v l="$left" 'BEGIN { printf "%.3f", l / 1000 }')"
}
click_at() { # x y
    xdotool mousemove "$1" "$2"
    sleep 0.1
    xdotool click 1
}

# A movie that plays from start to end: every packet decodes.
plays() { # file
    [ -n "$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 "$1")" ] &&
        [ -z "$(ffmpeg -v error -i "$1" -f null - 2>&1)" ]
}
# A picture that never stands still (moving shapes and noise) at X Y W H;
# it ends by itself after two minutes should a kill miss it while it starts.
busy_picture() {
    timeout -k 5 120 ffplay -loglevel error -noborder -left "$1" -top "$2" -an -f lavfi \
        "testsrc2=s=$3x$4:r=60,noise=alls=40:allf=t" >/dev/null 2>&1 &
    targets+=($!)
}
# Runs this script again in a mount namespace of its own (unprivileged when
# need be), where a small file system can stand in for a full disk; says
# SKIP and passes where none can be made.
in_own_mounts() {
    [ -n "${VEXLIN_OWN_MOUNTS:-}" ] && return 0
    local how=(--mount)
    [ "$(id -u)" = 0 ] || how=(--user --map-root-user --mount)
    if ! unshare "${how[@]}" true 2>/dev/null; then
        echo "SKIP: no mount namespace can be made here"
        exit 0
    fi
    VEXLIN_OWN_MOUNTS=1 exec unshare "${how[@]}" bash "$0" "$case_name" "$probe" "$target_program"
}

case "$case_name" in
killed)
    # kill -9 while recording: the next start makes a movie of what was
    # written, saves it into the save folder with a toast, and leaves nothing
    # unplayable in the working folder.
    start_app
    record_area 640 400
    record_key
    seen_at 30 "recording elapsed=0:00" >/dev/null
    seen_at 60 "recording elapsed=0:03" >/dev/null
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    pid=""
    [ -n "$(find "$recordings" -maxdepth 1 -name '.*.mp4.part')" ] ||
        fail "no working movie after the kill: $(ls -A "$recordings")"
    [ -z "$(files)" ] || fail "something was saved before the restart: $(files)"
    mv "$log" "$log.killed"
    start_app
    wait_for 100 traced "recording recovered file=" || fail "the cut-off recording was not recovered"
    wait_for 100 one_file || fail "no recording saved: $(files)"
    saved=$(files)
    [[ "$(basename "$saved")" =~ ^Vexlin\ Capture\ Recording\ .*\.mp4$ ]] || fail "saved as $(basename "$saved")"
    plays "$saved" || fail "the saved movie does not play: $(ffmpeg -v error -i "$saved" -f null - 2>&1 | head -3)"
    duration=$(duration_of "$saved")
    awk -v d="$duration" 'BEGIN { exit !(d >= 2.0) }' || fail "the saved movie lasts $duration s of at least 3 s recorded"
    toast_shown() { [ -n "$(our_windows)" ]; }
    wait_for 30 toast_shown || fail "no toast says so"
    hidden=$(find "$recordings" -maxdepth 1 -name '.*')
    [ -z "$hidden" ] || fail "unfinished files are left: $hidden"
    working_movie=$(only_in "$recordings" "*.mp4") || fail "no single working movie: $(ls -A "$recordings")"
    plays "$working_movie" || fail "the working movie does not play"
    no_failure_traced
    ;;
full_working_folder)
    # The working folder on a small file system that fills while recording:
    # the session stops by itself with an alert naming the folder and the
    # cause, and what was written is delivered as a playable movie.
    in_own_mounts
    mkdir -p "$recordings"
    mount -t tmpfs -o size=1m tmpfs "$recordings" || { echo "SKIP: tmpfs cannot be mounted"; exit 0; }
    setting recordingQuality high
    setting recordingFPS 60
    start_app
    busy_picture 100 100 640 400
    record_area 640 400
    record_key
    seen_at 30 "recording elapsed=0:00" >/dev/null
    wait_for 300 traced "recording alert title=" || fail "no alert while recording: $(df -k "$recordings" | tail -n 1)"
    alert=$(grep -F "recording alert title=" "$log" | head -n 1)
    grep -qF "No space left on device" <<<"$alert" || fail "the alert names no cause: $alert"
    grep -qF "$recordings" <<<"$alert" || fail "the alert names no folder: $alert"
    grep -qF "What was recorded until then is kept" <<<"$alert" || fail "the alert keeps nothing: $alert"
    traced "recording made file=" || fail "nothing was delivered"
    ! traced "recording-stop" || fail "the recording was stopped by hand"
    wait_for 100 one_file || fail "no recording saved: $(files)"
    saved=$(files)
    plays "$saved" || fail "the kept movie does not play"
    duration=$(duration_of "$saved")
    awk -v d="$duration" 'BEGIN { exit !(d >= 1.0) }' || fail "the kept movie lasts $duration s"
    [ -z "$(find "$recordings" -maxdepth 1 -name '.*')" ] || fail "unfinished files are left: $(ls -A "$recordings")"
    ;;
sound_server_stops)
    # The sound server goes away while recording: the recording goes on
    # without sound, the bar says so, and the movie keeps its sound track,
    # silent from there, as long as its pictures.
    setting recordSystemAudio true
    start_app
    ( ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=20 -f f32le -ar 48000 -ac 2 - |
        pacat --format=float32le --rate=48000 --channels=2 --raw ) &
    targets+=($!)
    record_area 640 400
    record_key
    seen_at 30 "recording elapsed=0:00" >/dev/null
    seen_at 30 "recording elapsed=0:01" >/dev/null
    kill -TERM "${VEXLIN_PULSE_PID:?}"
    wait_for 50 traced 'recording sound-note="Sound is no longer recorded: ' ||
        fail "no note of the lost sound: $(grep 'sound-note\|alert' "$log")"
    seen_at 40 "recording elapsed=0:03" >/dev/null
    ! traced "recording alert" || fail "the recording was stopped: $(grep 'recording alert' "$log")"
    record_key
    wait_for 100 one_file || fail "no recording saved: $(files)"
    saved=$(files)
    plays "$saved" || fail "the movie does not play"
    video=$(ffprobe -v error -select_streams v:0 -show_entries stream=duration -of csv=p=0 "$saved")
    sound=$(ffprobe -v error -select_streams a:0 -show_entries stream=duration -of csv=p=0 "$saved")
    within "$video" 3.5 1.0 || fail "the movie lasts $video s"
    within "$sound" "$video" 0.05 || fail "the sound lasts $sound s, the pictures $video s"
    no_failure_traced
    ;;
save_folder_full)
    # A save folder without room for the movie: the alert says what failed
    # and where the movie is, and it plays there.
    in_own_mounts
    mount -t tmpfs -o size=64k tmpfs "$shots" || { echo "SKIP: tmpfs cannot be mounted"; exit 0; }
    start_app
    busy_picture 100 100 640 400
    record_area 640 400
    record_key
    seen_at 30 "recording elapsed=0:00" >/dev/null
    seen_at 60 "recording elapsed=0:02" >/dev/null
    record_key
    wait_for 100 traced "alert The recording couldn’t be copied into the save folder" ||
        fail "no alert of the save folder: $(grep -F alert "$log")"
    alert=$(grep -F "alert The recording couldn’t be copied" "$log" | head -n 1)
    grep -qF "enough space" <<<"$alert" || fail "the alert names no cause: $alert"
    kept=$(sed -n 's/.*The movie is kept in “\(.*\)”\..*/\1/p' <<<"$alert")
    [ -n "$kept" ] && [[ "$kept" == "$recordings"/* ]] || fail "the alert names no movie: $alert"
    plays "$kept" || fail "the movie it names does not play"
    ;;
no_sound_server)
    # Both sound toggles on and no sound server: a movie without sound, and
    # the control bar says why.
    export PULSE_SERVER=unix:/nonexistent/vexlin-native
    setting recordSystemAudio true
    setting recordMicrophone true
    start_app
    record_area 640 400
    record_key
    seen_at 30 "recording elapsed=0:00" >/dev/null
    wait_for 30 traced 'recording sound-note="Recording without sound: no sound server is running' ||
        fail "no note of the missing sound: $(grep 'sound-note' "$log")"
    bar=$(our_windows_named '^Recording$' | head -n 1)
    [ -n "$bar" ] || fail "no control bar is shown"
    xwd -silent -id "$bar" | convert xwd:- -resize 200% -colorspace Gray -negate "$work/bar.png"
    said=$(OMP_THREAD_LIMIT=1 tesseract "$work/bar.png" - 2>/dev/null | tr '\n' ' ')
    grep -qi "without sound" <<<"$said" || fail "the bar says: $said"
    sleep 1
    record_key
    wait_for 100 one_file || fail "no recording saved: $(files)"
    streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$(files)" | tr '\n' ' ')
    [ "$streams" = "video " ] || fail "the movie's tracks: $streams"
    plays "$(files)" || fail "the movie does not play"
    wait_for 20 no_window_shown || fail "the bar and its note are still shown"
    no_failure_traced
    ;;
sound_tone)
    # 30 s of the whole display at 60 fps with a tone on the system's output
    # (a sound server of the test's own): the sound track has no gap longer
    # than 20 ms and ends with the pictures, however many frames the machine
    # could encode.
    setting recordSystemAudio true
    setting recordingFPS 60
    start_app
    ( ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=45 -f f32le -ar 48000 -ac 2 - |
        pacat --format=float32le --rate=48000 --channels=2 --raw ) &
    targets+=($!)
    playing() { pactl list short sink-inputs | grep -q .; }
    wait_for 50 playing || fail "the tone does not play"
    record_key
    wait_for_overlay
    # In window mode, a click on the desktop takes the whole display.
    xdotool key space
    sleep 0.2
    xdotool mousemove 60 60
    sleep 0.3
    xdotool click 1
    wait_for 30 traced "recording phase=setup" || fail "no session in setup"
    # Shown once the display is picked: a player takes the keyboard's focus.
    busy_picture 320 180 1280 720
    # A few seconds to look at the bar, as a user does: the sound is already
    # being taken then.
    sleep 3
    record_key
    began=$(seen_at 30 "recording elapsed=0:00")
    sleep_until $((began + 30000))
    record_key
    wait_for 300 one_file || fail "no recording saved: $(files)"
    saved=$(files)
    stream_length() { # v|a
        ffprobe -v error -select_streams "$1:0" -show_entries stream=duration -of csv=p=0 "$saved"
    }
    video=$(stream_length v)
    sound=$(stream_length a)
    frames=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$saved")
    echo "pictures: $video s, $frames frames; sound: $sound s"
    within "$video" 30 1.5 || fail "the movie lasts $video s of 30 s"
    within "$sound" "$video" 0.05 || fail "the sound lasts $sound s, the pictures $video s"
    # A sound server's output starts handing its sound to a new reader up to
    # a second or two late (a null sink that played with a long latency); the
    # recording opened it while it was set up, so the track is whole from its
    # start, but for the encoder's first frame of sound (21 ms) and one piece
    # of the server's (20 ms).
    heard=$(ffmpeg -v error -i "$saved" -map 0:a:0 -ac 1 -f f32le - | python3 -c '
import sys, array
samples = array.array("f", sys.stdin.buffer.read())
start = next((i for i, v in enumerate(samples) if abs(v) >= 0.02), len(samples))
quiet, gaps = 0, []
for i in range(start, len(samples)):
    if abs(samples[i]) < 0.02:
        quiet += 1
        continue
    if quiet > 960:
        gaps.append("%.3f s for %d ms" % ((i - quiet) / 48000, quiet * 1000 // 48000))
    quiet = 0
if quiet > 960:
    gaps.append("%.3f s for %d ms at the end" % ((len(samples) - quiet) / 48000, quiet * 1000 // 48000))
print("%.3f|%s" % (start / 48000, "; ".join(gaps)))')
    echo "the sound starts at ${heard%%|*} s"
    awk -v s="${heard%%|*}" 'BEGIN { exit !(s <= 0.05) }' || fail "the sound starts only at ${heard%%|*} s"
    [ -z "${heard#*|}" ] || fail "silent gaps in the sound: ${heard#*|}"
    no_failure_traced
    ;;
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
    phases=$(grep -o "recording phase=[^ ]*" "$log" | head -5 | tr '\n' ' ')
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
    # 12 frames a second on the GIF's clock of hundredths: 8 or 9 each, the
    # last what is left of the movie.
    [ -z "$(identify -format '%T\n' "$gif" | sed '$d' | grep -vx '[89]')" ] &&
        [ "$(identify -format '%T\n' "$gif" | tail -n 1)" -le 9 ] ||
        fail "delays: $(identify -format '%T ' "$gif" | head -c 200)"
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
overlays_leave | overlays_leave_composited)
    # A click and Ctrl+Shift+B over a desktop coloured by xsetroot (which
    # publishes no picture of it), then a wait: the pulse and the label are
    # in the movie while the screen shows them, and later frames are the
    # desktop's colour alone, with and without a compositing manager.
    xsetroot -solid '#806040'
    if [ "$case_name" = overlays_leave_composited ]; then
        xcompmgr >/dev/null 2>&1 &
        tray=$!
        composited() { xwininfo -root -tree | grep -q '"xcompmgr"'; }
        wait_for 50 composited || fail "xcompmgr did not start"
    fi
    # What the screen shows of the desktop there (a compositing manager
    # paints its own background where no picture is published).
    read -r dr dg db <<<"$(import -window root -crop 1x1+700+450 +repage -depth 8 txt:- |
        sed -n 's/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p' | head -n 1)"
    [ -n "$db" ] || fail "the screen's colour cannot be read"
    setting recordHighlightClicks true
    setting recordShowKeystrokes true
    setting recordShowCursor false
    start_app
    record_area 640 400
    # A hand lets go of the record key's modifiers after the recording began.
    xdotool keydown shift+alt+super key 7
    began=$(seen_at 30 "recording elapsed=0:00")
    sleep 0.3
    xdotool keyup shift+alt+super
    sleep 0.2
    clicked=$(($(now_ms) - began))
    xdotool mousemove 420 300 click 1
    xdotool mousemove 1500 900 key ctrl+shift+b
    pressed=$(($(now_ms) - began))
    # The pulse lasts 0.5 s, the label 1.2 s after the key and its fade.
    sleep 3
    # The record key shows in the label too, so frames from here on do not count.
    stopping=$(($(now_ms) - began))
    record_key
    wait_for 100 one_file || fail "no recording saved: $(files)"
    saved=$(files)
    size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 "$saved")
    # Pixels of each frame from START for LENGTH seconds that are not the
    # desktop's colour (beyond the encoder's rounding): the largest count.
    foreign() { # start length
        ffmpeg -v error -ss "$1" -t "$2" -i "$saved" -f rawvideo -pix_fmt rgb24 - |
            python3 -c '
import sys
w, h = map(int, sys.argv[1].split("x"))
r, g, b = map(int, sys.argv[2:5])
data = sys.stdin.buffer.read()
# Per channel a table that marks the values far from the desktop, so that
# a frame is counted with byte operations rather than pixel by pixel.
far = [bytes(int(abs(v - c) > 24) for v in range(256)) for c in (r, g, b)]
most = 0
for f in range(0, len(data) // (w * h * 3)):
    frame = data[f * w * h * 3:(f + 1) * w * h * 3]
    marks = 0
    for channel in range(3):
        marks |= int.from_bytes(frame[channel::3].translate(far[channel]), "little")
    most = max(most, bin(marks).count("1"))
print(most)' "$size" "$dr" "$dg" "$db"
    }
    seconds() { awk -v ms="$1" 'BEGIN { printf "%.3f", ms / 1000 }'; }
    shown=$(foreign "$(seconds "$clicked")" 0.3)
    [ "$shown" -gt 200 ] || fail "the pulse is not in the movie ($shown pixels besides the desktop)"
    shown=$(foreign "$(seconds $((pressed + 200)))" 0.5)
    [ "$shown" -gt 500 ] || fail "the label is not in the movie ($shown pixels besides the desktop)"
    # The label names the keys pressed, and not the record key's modifiers
    # that were down when the keystroke display began.
    ffmpeg -v error -ss "$(seconds $((pressed + 400)))" -i "$saved" -frames:v 1 "$work/label.png"
    said=$(convert "$work/label.png" -gravity south -crop 100%x45%+0+0 +repage -negate \
        -colorspace Gray -resize 200% png:- | OMP_THREAD_LIMIT=1 tesseract - - --psm 7 2>/dev/null)
    # (The recogniser may take the l of Ctrl for an i.)
    grep -Eq '^Ctr.\+Shift\+B$' <<<"$said" || fail "the label says: $said"
    # From a second after the label has left the screen on.
    gone=$((pressed + 1200 + 250 + 1000))
    left=$(foreign "$(seconds "$gone")" "$(seconds $((stopping - gone)))")
    [ "$left" = 0 ] || fail "$left pixels besides the desktop after the pulse and the label left"
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
pause_by_bar)
    # 2 s, the bar's Pause, 1 s paused, its Resume, 1 s, the record key: a
    # movie of 3 s at the display's scale (the area is dragged in pixels, so
    # the movie has the same size at any scale).
    start_app
    record_area 640 400
    record_key
    began=$(seen_at 30 "recording elapsed=0:00")
    bar_button 3
    # A busy machine may take longer than the 2 s to find the button, or to
    # act on a click: the time to be recorded is what the program's own
    # moments (the stream's start, the pause, the resume, the stop) leave
    # between them.
    sleep_until $((began + 2000))
    click_at "$bx" "$by"
    paused=$(seen_at 10 "recording paused=true")
    sleep_until $((paused + 1000))
    click_at "$bx" "$by"
    resumed=$(seen_at 10 "recording paused=false")
    sleep_until $((resumed + 1000))
    record_key
    stopped=$(seen_at 10 "recording phase=finishing(Saving")
    active=$(awk -v a=$((paused - began + stopped - resumed)) 'BEGIN { printf "%.3f", a / 1000 }')
    read -r duration scale <<<"$(made)"
    within "$duration" "$active" 0.3 || fail "the recording claims $duration s of $active s recorded"
    [ "$scale" = "$ui_scale" ] || fail "the recording claims scale $scale on a display of scale $ui_scale"
    wait_for 100 one_file || fail "no recording saved: $(files)"
    probed=$(duration_of "$(files)")
    within "$probed" "$duration" 0.3 || fail "the movie lasts $probed s, the recording claims $duration s"
    size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 "$(files)")
    [ "$size" = 640x400 ] || fail "the movie is $size"
    no_failure_traced
    ;;
bar_tooltips)
    # The bar's icon buttons say what they do on hover, although its panel
    # never becomes the active window.
    start_app
    record_area 640 400
    record_key
    seen_at 30 "recording elapsed=0:00" >/dev/null
    tip_says() { # button text
        local tip="" said
        bar_button "$1"
        xdotool mousemove "$bx" "$by"
        sleep 0.1
        xdotool mousemove "$((bx + 1))" "$by"
        tip_shown() {
            local w
            for w in $(our_windows); do
                if xprop -id "$w" _NET_WM_WINDOW_TYPE | grep -q TOOLTIP; then
                    tip=$w
                    return 0
                fi
            done
            return 1
        }
        wait_for 30 tip_shown || fail "no tool tip over bar button $1"
        # Read until its text is painted: a tip is mapped before it is drawn.
        tip_reads() {
            # Without the tip's frame, which the recogniser takes for text.
            xwd -silent -id "$tip" | convert xwd:- -shave 2x2 -resize 400% -colorspace Gray \
                -bordercolor white -border 40 "$work/tip.png"
            said=$(OMP_THREAD_LIMIT=1 tesseract "$work/tip.png" - --psm 7 2>/dev/null |
                tr '\n' ' ')
            grep -q "$2" <<<"$said"
        }
        wait_for 30 tip_reads "$@" || fail "the tool tip of bar button $1 says: $said"
        xdotool mousemove 1500 900
        gone() { ! tip_shown; }
        wait_for 30 gone || fail "the tool tip stays"
    }
    tip_says 1 Discard
    tip_says 3 Pause
    record_key
    wait_for 100 one_file || fail "no recording saved: $(files)"
    no_failure_traced
    ;;
restart_paused)
    # Restart while paused: recording again, unpaused, into a new working
    # movie, the old one gone; the delivered movie is the second take alone.
    start_app
    record_area 320 200
    record_key
    began=$(seen_at 30 "recording elapsed=0:00")
    first=""
    one_working() {
        first=$(working)
        [ -n "$first" ] && [ "$(wc -l <<<"$first")" = 1 ]
    }
    wait_for 30 one_working || fail "no single working movie: $(working)"
    sleep 1.5
    bar_button 3
    click_at "$bx" "$by"
    paused=$(seen_at 10 "recording paused=true")
    bar_button 2
    click_at "$bx" "$by"
    seen_at 10 "recording paused=false" >/dev/null
    # The second stream's start.
    restarted=$(seen_at 20 "recording elapsed=0:00" 2)
    second=""
    replaced() {
        second=$(working)
        [ -n "$second" ] && [ "$(wc -l <<<"$second")" = 1 ] && [ "$second" != "$first" ]
    }
    wait_for 30 replaced || fail "working movies after the restart: $(working | tr '\n' ' '), before: $first"
    sleep_until $((restarted + 1000))
    record_key
    stopped=$(seen_at 10 "recording phase=finishing(Saving")
    read -r duration _ <<<"$(made)"
    # At least 1 s of the second take, and nothing of the first (1.5 s and
    # more before the pause).
    awk -v d="$duration" -v all=$((stopped - began)) -v first=$((paused - began)) \
        'BEGIN { exit !(d >= 0.7 && d <= (all - first) / 1000 + 0.3) }' ||
        fail "the recording lasts $duration s; the first take $((paused - began)) ms, both $((stopped - began)) ms"
    wait_for 100 one_file || fail "no recording saved: $(files)"
    # The movie written while recording is the one finished.
    [ "$(working)" = "$(sed 's/^\.//; s/\.part$//' <<<"$second")" ] ||
        fail "working movies at the end: $(working | tr '\n' ' '), while recording: $second"
    no_failure_traced
    ;;
window_closed_countdown)
    setting recordingCountdown 3
    start_target 200 150 480 300
    start_app
    record_target
    record_key
    seen_at 20 "recording phase=countdown(3)" >/dev/null
    kill "${targets[0]}"
    wait_for 20 traced 'recording toast title="The window was closed."' ||
        fail "no toast for the closed window"
    wait_for 20 traced "recording ended without a recording" || fail "the session did not end"
    toast_shown() { [ -n "$(our_windows)" ]; }
    wait_for 10 toast_shown || fail "the toast is not shown"
    sleep 1.2 # past the next countdown step
    ! traced "recording phase=countdown(2)" || fail "the countdown went on after the end"
    ! traced "recording phase=recording" || fail "a recording started after the end"
    [ -z "$(files)" ] || fail "something was delivered: $(files)"
    [ -z "$(working)" ] || fail "a working movie was left: $(working)"
    no_failure_traced
    ;;
window_closed_recording)
    start_target 200 150 480 300
    start_app
    record_target
    record_key
    seen_at 30 "recording phase=recording" >/dev/null
    sleep 1
    kill "${targets[0]}"
    wait_for 20 traced 'recording toast title="The window was closed, so the recording stopped."' ||
        fail "no toast for the closed window"
    read -r duration _ <<<"$(made)"
    within "$duration" 1.0 0.4 || fail "the recording lasts $duration s"
    wait_for 100 one_file || fail "no recording saved: $(files)"
    no_failure_traced
    ;;
tray)
    # Under a tray host the icon is the red stop button while recording, its
    # tool tip the elapsed time; a click on it stops the recording, and after
    # the delivery the brand icon and its menu are back.
    trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel \
        --height 32 >/dev/null 2>&1 &
    tray=$!
    start_app
    icon=""
    icon_embedded() {
        icon=$(xwininfo -root -tree | awk '/"trayer"/ {inside = 1}
            inside && /"vexlin-capture"/ {print $1; exit}')
        [ -n "$icon" ]
    }
    wait_for 50 icon_embedded || fail "the icon is not in the tray"
    geometry=$(window_geometry "$icon")
    size=${geometry%%+*}
    at=${geometry#*+}
    ix=${at%+*}
    iy=${at#*+}
    cx=$((ix + ${size%x*} / 2))
    cy=$((iy + ${size#*x} / 2))
    red_pixels() { # in the icon as the screen shows it
        import -window root -crop "$geometry" +repage "$work/icon.png"
        convert "$work/icon.png" -alpha off -depth 8 txt:- |
            awk -F'[,:() ]+' '!/^#/ && $3 >= 224 && $4 <= 112 && $5 <= 112 {n++} END {print n + 0}'
    }
    [ "$(red_pixels)" = 0 ] || fail "the brand icon is red"
    record_area 320 200
    record_key
    started=$(seen_at 30 "recording elapsed=0:00")
    shows_stop() { [ "$(red_pixels)" -gt 20 ]; }
    wait_for 20 shows_stop || fail "the icon is not the red stop button while recording"
    sleep_until $((started + 1500))
    hovered=$(($(now_ms) - started))
    xdotool mousemove "$cx" "$cy"
    sleep 0.1
    xdotool mousemove "$((cx + 1))" "$cy"
    tip=""
    tip_shown() {
        local w
        for w in $(our_windows); do
            if xprop -id "$w" _NET_WM_WINDOW_TYPE | grep -q TOOLTIP; then
                tip=$w
                return 0
            fi
        done
        return 1
    }
    wait_for 30 tip_shown || fail "no tool tip over the icon"
    sleep 0.2
    xwd -silent -id "$tip" | convert xwd:- -resize 400% -colorspace Gray "$work/tip.png"
    shot=$(($(now_ms) - started))
    said=$(OMP_THREAD_LIMIT=1 tesseract "$work/tip.png" - 2>/dev/null | tr '\n' ' ')
    grep -q "Stop Recording" <<<"$said" || fail "the tool tip says: $said"
    # The time when it was shown, between the hover and the picture.
    shown=$(grep -o '0:[0-5][0-9]' <<<"$said" | head -n 1)
    [ -n "$shown" ] && [ $((10#${shown#0:})) -ge $((hovered / 1000 - 1)) ] &&
        [ $((10#${shown#0:})) -le $((shot / 1000 + 1)) ] ||
        fail "the tool tip shows no elapsed time between $hovered and $shot ms: $said"
    xdotool click 1
    seen_at 20 "recording phase=finishing(Saving" >/dev/null
    wait_for 100 one_file || fail "no recording saved: $(files)"
    wait_for 50 traced "recording finished" || fail "not delivered"
    not_red() { [ "$(red_pixels)" = 0 ]; }
    wait_for 20 not_red || fail "the icon stays the stop button after the delivery"
    only_icon() { [ "$(our_windows)" = "$((icon))" ]; }
    wait_for 20 only_icon || fail "windows of ours beside the icon: $(our_windows)"
    xdotool mousemove "$cx" "$cy" click 1
    menu_shown() { [ -n "$(our_windows | grep -vx "$((icon))")" ]; }
    wait_for 20 menu_shown || fail "a click on the icon after the delivery opens no menu"
    xdotool key Escape
    [ "$(grep -c "recording phase=recording" "$log")" = 1 ] || fail "the click started another recording"
    no_failure_traced
    ;;
*)
    fail "no case $case_name"
    ;;
esac
