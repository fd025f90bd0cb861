#!/usr/bin/env bash
# Our rounded pop-ups on a screen without a compositing manager: while the
# self-timer's countdown or a toast is shown, everything around its rounded
# outline is exactly what the screen showed before (no black box, no black
# corners), and the inside is the panel. At the given scale (QT_SCALE_FACTOR).
#
#   popups.sh CASE SCALE OUTLINE_CHECK [TEXT_TARGET]     CASE: self_timer | toast
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1
scale=$2
check=${3:?}
text_target=${4:-}

target=""
cleanup() {
    stop_app
    [ -z "$target" ] || { kill "$target" 2>/dev/null || true; wait "$target" 2>/dev/null || true; }
}
trap cleanup EXIT

mkdir -p "$work"
# A patterned desktop, so that black corners or a shifted panel cannot pass
# for the background.
xsetroot -mod 7 7 -fg '#c04040' -bg '#4080c0'

# One of our windows that is shown now and WIDTH pixels wide (any width when
# none is given): sets x, y, width and height.
find_window() {
    local want=${1:-} w geometry
    for w in $(our_windows); do
        geometry=$(xwininfo -id "$w")
        width=$(awk '/Width:/ {print $2}' <<<"$geometry")
        height=$(awk '/Height:/ {print $2}' <<<"$geometry")
        x=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$geometry")
        y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$geometry")
        if [ -z "$want" ] || [ "$width" = "$want" ]; then
            return 0
        fi
    done
    return 1
}

# No compositing manager runs here: the case the masks are for.
if xprop -root 2>/dev/null | grep -q '_NET_WM_CM_S0'; then fail "a compositing manager runs"; fi

case "$case_name" in
self_timer)
    QT_SCALE_FACTOR=$scale start_app
    import -window root "$work/before.png"
    xdotool key shift+alt+super+4
    side=$((96 * scale))
    wait_for 20 find_window "$side" || fail "no ${side}-pixel countdown after the area hot key"
    sleep 0.3 # past the fade-in a compositor would run
    import -window root "$work/during.png"
    "$check" "$work/before.png" "$work/during.png" "$x" "$y" "$width" "$height" \
        $((22 * scale)) 24 || fail "the countdown changes the screen outside its rounded square"
    xdotool key Escape
    ;;
toast)
    # The cheapest toast: a text capture of white, which finds no text.
    "$text_target" --text "" >"$scratch/target.out" 2>&1 &
    target=$!
    wait_for 100 grep -q ready "$scratch/target.out" || fail "the target window did not come up"
    QT_SCALE_FACTOR=$scale start_app
    import -window root "$work/before.png"
    xdotool key shift+alt+super+2
    wait_for_overlay
    drag 230 230 1070 570
    wait_for 300 grep -q 'coordinator: text toast title="No text found"' "$log" ||
        fail "no \"No text found\" toast"
    wait_for 20 find_window || fail "no toast window is shown"
    sleep 0.2
    import -window root "$work/during.png"
    # The capsule lies inside a 12-point margin kept for the shadow.
    inset=$((12 * scale))
    capsule_height=$((height - 2 * inset))
    "$check" "$work/before.png" "$work/during.png" $((x + inset)) $((y + inset)) \
        $((width - 2 * inset)) "$capsule_height" "$(awk "BEGIN {print $capsule_height / 2}")" 24 ||
        fail "the toast changes the screen outside its capsule"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
no_failure_traced
echo "1 passed, 0 failed"
