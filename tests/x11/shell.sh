#!/usr/bin/env bash
# The running shell on the rig's X server: started with onboarding complete it
# shows no window and says nothing (Xvfb has no tray), a second start opens the
# settings of the first and leaves, or brings back a window hidden with Ctrl+H,
# its hot keys hold against another client and the other way round, and the
# self-timer's panel comes and goes with the area hot key and Escape, and a
# socket another user put at the old fixed name is ignored.
#
#   shell.sh CASE HOTKEY_PROBE [TRAY_CONTRAST NOTIFICATIONS ANSWERING_SOCKET]
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1
probe=${2:?}
tray_contrast=${3:-}
notifications=${4:-}
answering=${5:-}
tray_colors=${6:-}

shared=""
cleanup() {
    stop_app
    [ -z "$holder" ] || kill "$holder" 2>/dev/null || true
    stop_fake_file_manager
    [ -z "$shared" ] || rm -rf "$shared"
}
trap cleanup EXIT

case "$case_name" in
starts_hidden)
    start_app
    sleep 1
    kill -0 "$pid" || fail "the program did not keep running"
    [ -z "$(our_windows)" ] || fail "a window is shown at start: $(our_windows)"
    # Nothing else on the screen belongs to us either: no mapped top-level
    # window carries our class.
    [ -z "$(xdotool search --onlyvisible --class vexlin-capture 2>/dev/null || true)" ] ||
        fail "a mapped window of class vexlin-capture"
    # No tray on this server: one line says how to reach the settings, and
    # nothing else is printed beyond the test trace.
    [ "$(grep -c 'no system tray was found' "$log")" -eq 1 ] || fail "no word about the missing tray"
    grep -v -e '^coordinator: ' -e 'no system tray was found' "$log" &&
        fail "the program printed something"
    ;;
reopen)
    start_app
    [ -z "$(our_windows)" ] || fail "a window is shown at start"
    status=0
    timeout 10 "$app" >"$scratch/second.log" 2>&1 || status=$?
    [ "$status" -eq 0 ] || fail "the second start exited with $status"
    [ ! -s "$scratch/second.log" ] || fail "the second start printed: $(cat "$scratch/second.log")"
    settings_shown() { [ -n "$(our_windows_named '^General$')" ]; }
    wait_for 30 settings_shown || fail "the first program did not open its settings"
    kill -0 "$pid" || fail "the first program ended"
    # With a window shown, another start changes nothing.
    before=$(our_windows | wc -l)
    timeout 10 "$app" || fail "the third start failed"
    sleep 0.5
    [ "$(our_windows | wc -l)" -eq "$before" ] || fail "a third start opened another window"
    ;;
late_tray)
    # A tray that comes after the start, and one that goes and comes back,
    # gets the icon.
    start_app
    start_tray() {
        trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel \
            --height 32 >/dev/null 2>&1 &
        holder=$!
    }
    # Our icon window sits inside the tray's window tree.
    icon_embedded() {
        xwininfo -root -tree | awk '/"trayer"/ {inside = 1} inside && /"vexlin-capture"/ {found = 1}
            END {exit !found}'
    }
    start_tray
    wait_for 50 icon_embedded || fail "the icon did not join a tray that came after the start"
    kill "$holder"
    wait "$holder" 2>/dev/null || true
    holder=""
    sleep 0.5
    start_tray
    wait_for 50 icon_embedded || fail "the icon did not come back with the tray"
    kill -0 "$pid" || fail "the program ended"
    ;;
no_tray_notice)
    # No tray host at start: one notification says the program runs, its
    # capture keys and the way to its settings; nothing opens and the
    # terminal stays quiet. A tray that comes later still gets the icon.
    start_fake_file_manager "$notifications" # the server logs to $shown
    start_app
    noticed() { [ -s "$shown" ]; }
    wait_for 50 noticed || fail "no notification"
    expected="Vexlin Capture	Vexlin Capture is running	No tray was found for its icon. Press \
Alt+Shift+Super+4 to capture an area; start Vexlin Capture again to open its settings."
    [ "$(cat "$shown")" = "$expected" ] || fail "notified: $(cat "$shown")"
    [ -z "$(our_windows)" ] || fail "a window is shown at start: $(our_windows)"
    grep -v -e '^coordinator: ' "$log" && fail "the program printed something"
    trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel \
        --height 32 >/dev/null 2>&1 &
    holder=$!
    icon_embedded() {
        xwininfo -root -tree | awk '/"trayer"/ {inside = 1} inside && /"vexlin-capture"/ {found = 1}
            END {exit !found}'
    }
    wait_for 50 icon_embedded || fail "the icon did not join a tray that came after the start"
    [ "$(wc -l <"$shown")" = 1 ] || fail "more than one notification: $(cat "$shown")"
    ;;
tray_colors)
    # A tray that says its colours (as a desktop theme's tray does) gets the
    # mark in its foreground, not the ringed mark meant for unknown panels.
    trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel \
        --height 32 --transparent true --alpha 0 --tint 0x202020 >/dev/null 2>&1 &
    holder=$!
    # trayer takes the tray selection anew while it starts: the colours go
    # on the window that holds it once its panel is up.
    panel_up() { xwininfo -root -tree | grep -q '"panel": ("panel" "trayer")'; }
    wait_for 50 panel_up || fail "the tray did not come up"
    "$tray_colors" 255 0 0 || fail "the tray's colours could not be set"
    start_app
    tray_window=""
    find_tray_icon() {
        tray_window=$(xwininfo -root -tree | awk '/"trayer"/ {inside = 1}
            inside && /"vexlin-capture"/ {print $1; exit}')
        [ -n "$tray_window" ]
    }
    wait_for 50 find_tray_icon || fail "the icon did not join the tray"
    geometry=$(window_geometry "$tray_window")
    # The share of the icon's pixels in the tray's red, and in the light of
    # the ringed mark.
    share_of() { # colour
        convert "$scratch/tray.png" -crop "$geometry" +repage -fuzz 12% -fill black \
            +opaque "$1" -fill white -opaque "$1" -format '%[fx:mean]' info:
    }
    painted_red() {
        import -window root "$scratch/tray.png"
        awk -v s="$(share_of '#ff0000')" 'BEGIN { exit !(s >= 0.08) }'
    }
    wait_for 50 painted_red || fail "the icon is not in the tray's colour: $(share_of '#ff0000')"
    awk -v s="$(share_of '#f7f7f7')" 'BEGIN { exit !(s < 0.01) }' ||
        fail "the icon still has the light mark: $(share_of '#f7f7f7')"
    # The tray announces itself with other colours (a new theme, another
    # tray): the mark follows.
    painted_green() {
        import -window root "$scratch/tray.png"
        find_tray_icon && geometry=$(window_geometry "$tray_window") &&
            awk -v s="$(share_of '#00ff00')" 'BEGIN { exit !(s >= 0.08) }'
    }
    "$tray_colors" 0 255 0 || fail "the tray's colours could not be set"
    wait_for 50 painted_green || fail "the icon did not follow: $(share_of '#00ff00')"
    ;;
tray_contrast)
    # The mark stands out from a near-black and a near-white panel alike, at
    # one and two pixels a point, whatever the application's own colours.
    tray_window=""
    find_tray_icon() {
        tray_window=$(xwininfo -root -tree | awk '/"trayer"/ {inside = 1}
            inside && /"vexlin-capture"/ {print $1; exit}')
        [ -n "$tray_window" ]
    }
    for scale in 1 2; do
        for tint in 0x101010 0xf0f0f0; do
            QT_SCALE_FACTOR=$scale start_app
            trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel \
                --height 32 --transparent true --alpha 0 --tint "$tint" >/dev/null 2>&1 &
            holder=$!
            wait_for 50 find_tray_icon || fail "the icon did not join the tray"
            geometry=$(window_geometry "$tray_window")
            read -r w h x y <<<"$(tr 'x+' '  ' <<<"$geometry")"
            picture="$scratch/tray-$scale-$tint.png"
            # The icon is painted once it is embedded and shown; a grab that
            # comes too early sees the bare panel and is taken again.
            legible() {
                import -window root "$picture"
                "$tray_contrast" "$picture" "$x" "$y" "$w" "$h" "$((x - 20))" "$((y + h / 2))" \
                    >"$scratch/contrast.out"
            }
            wait_for 50 legible || fail "scale $scale, panel $tint: $(cat "$scratch/contrast.out")"
            kill "$holder"
            wait "$holder" 2>/dev/null || true
            holder=""
            stop_app
        done
    done
    ;;
reopen_after_hide)
    # A full-screen shot opens an editor window; Ctrl+H there minimises it,
    # and with no task bar only a second start brings it back.
    setting openEditor true
    setting copyToClipboard false
    start_app
    xdotool key shift+alt+super+3
    editor=""
    find_editor() {
        editor=$(our_windows_named '^Vexlin Capture$' | head -n 1)
        [ -n "$editor" ]
    }
    wait_for 50 find_editor || fail "the capture did not open an editor window"
    xdotool windowactivate --sync "$editor"
    # Typed as on a keyboard, to the focused window: with --window xdotool
    # sends what comes after the window has gone as synthetic events, so the
    # server keeps Ctrl+H held and its auto-repeat hides the window again as
    # soon as it has the focus back.
    xdotool key ctrl+h
    minimised() { xprop -id "$editor" WM_STATE | grep -q 'window state: Iconic'; }
    wait_for 30 minimised || fail "Ctrl+H did not minimise the editor window"
    timeout 10 "$app" >"$scratch/second.log" 2>&1 || fail "the second start failed"
    [ ! -s "$scratch/second.log" ] || fail "the second start printed: $(cat "$scratch/second.log")"
    back() {
        xwininfo -id "$editor" | grep -q 'Map State: IsViewable' &&
            [ "$(xdotool getactivewindow 2>/dev/null)" = "$editor" ]
    }
    wait_for 30 back || fail "the second start did not bring the editor window back as the active one"
    sleep 0.5
    back || fail "the editor window did not stay back"
    # The settings, or anything else, did not open on the way.
    [ "$(our_windows)" = "$editor" ] || fail "more windows than the editor: $(our_windows)"
    ;;
holds_hot_keys)
    start_app
    probe_says 3 shift+alt+super 4
    probe_says 3 control+shift+alt+super 3
    stop_app
    probe_says 0 shift+alt+super 4
    ;;
foreign_socket)
    # Without a runtime folder, another user has put a socket that answers
    # every request at the name the program once used in the shared
    # temporary folder. The program talks to no socket of another user's:
    # it starts, holds its hot keys, and a second start finds it.
    [ -n "$answering" ] || fail "no answering socket program given"
    [ "$(id -u)" -eq 0 ] || { echo "SKIP: another user's process needs root to start"; exit 0; }
    shared=$(mktemp -d /tmp/vexlin-shared-XXXXXX)
    chmod 1777 "$shared"
    setpriv --reuid=nobody --regid=nogroup --clear-groups "$answering" \
        "$shared/vexlin-capture.socket" >"$scratch/stranger.log" 2>&1 &
    holder=$!
    stranger_listens() { [ -S "$shared/vexlin-capture.socket" ]; }
    wait_for 50 stranger_listens || fail "the stranger's socket did not appear: $(cat "$scratch/stranger.log")"
    [ "$(stat -c %U "$shared/vexlin-capture.socket")" = nobody ] || fail "the socket is not the stranger's"
    start_app env -u XDG_RUNTIME_DIR TMPDIR="$shared"
    probe_says 3 shift+alt+super 4
    kill -0 "$pid" || fail "the program ended"
    ! grep -q got "$scratch/stranger.log" || fail "the program talked to the stranger's socket"
    ours="$shared/vexlin-capture-$(id -u)"
    [ "$(stat -c %a:%U "$ours")" = "700:$(id -un)" ] || fail "our socket's folder is $(stat -c %a:%U "$ours")"
    [ -S "$ours/vexlin-capture.socket" ] || fail "no socket of ours in $ours"
    status=0
    env -u XDG_RUNTIME_DIR TMPDIR="$shared" timeout 10 "$app" >"$scratch/second.log" 2>&1 || status=$?
    [ "$status" -eq 0 ] || fail "the second start exited with $status"
    settings_shown() { [ -n "$(our_windows_named '^General$')" ]; }
    wait_for 30 settings_shown || fail "the second start did not reach the program"
    ! grep -q got "$scratch/stranger.log" || fail "the second start talked to the stranger's socket"
    ;;
taken_hot_key)
    hold_with_probe shift+alt+super 4
    start_app
    grep -q "coordinator: hotkeys conflicts=area$" "$log" || fail "area is not reported as a conflict"
    xdotool key shift+alt+super+5
    reached() { grep -q "coordinator: window fromMenu=false start" "$log"; }
    wait_for 20 reached || fail "Shift+Alt+Super+5 did not reach the coordinator as window"
    # The held key stays the other client's.
    xdotool key shift+alt+super+4
    sleep 0.3
    if grep -q "coordinator: area" "$log"; then fail "the area hot key fired while taken"; fi
    kill -0 "$pid" || fail "the program ended"
    ;;
self_timer)
    start_app
    xdotool key shift+alt+super+4
    panel=""
    find_panel() {
        for w in $(our_windows); do
            geometry=$(xwininfo -id "$w")
            width=$(awk '/Width:/ {print $2}' <<<"$geometry")
            height=$(awk '/Height:/ {print $2}' <<<"$geometry")
            if [ "$width" = 96 ] && [ "$height" = 96 ]; then
                panel=$w
                x=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$geometry")
                y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$geometry")
                return 0
            fi
        done
        return 1
    }
    wait_for 20 find_panel || fail "no 96x96 self-timer panel after the area hot key"
    # Centred on the 1920x1080 screen: (960 - 48, 540 - 48).
    [ "$x" = 912 ] && [ "$y" = 492 ] || fail "the panel is at $x,$y, not centred"
    grep -q "coordinator: area fromMenu=false self-timer-start seconds=3" "$log" ||
        fail "the coordinator did not start the self-timer for area"
    probe_says 3 none Escape

    xdotool key Escape
    panel_gone() { ! xwininfo -id "$panel" 2>/dev/null | grep -q IsViewable; }
    wait_for 5 panel_gone || fail "the panel is still shown 0.5 s after Escape"
    sleep 3.5 # past the end of the countdown
    grep -q "coordinator: area self-timer-cancelled" "$log" || fail "the countdown was not cancelled"
    if grep -qE "coordinator: area (fromMenu=false start|self-timer-fired|step )" "$log"; then
        fail "a capture started after Escape"
    fi
    probe_says 0 none Escape
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
echo "1 passed, 0 failed"
