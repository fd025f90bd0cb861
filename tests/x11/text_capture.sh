#!/usr/bin/env bash
# Text capture in the running program: a target window shows large black text
# or a QR code; the text hot key (Shift+Alt+Super+2) and a drag over it put
# exactly what it shows on the clipboard, with the matching toast; white
# alone leaves the clipboard as it was.
#
#   text_capture.sh CASE TEXT_TARGET      CASE: text | qr_link | blank
set -euo pipefail
app=${VEXLIN_APP:?}
case_name=$1
target_program=${2:?}
scratch=${VEXLIN_RIG_HOME:?}
log="$scratch/app.log"

pid=""
target=""
fail() {
    echo "FAIL: $*"
    [ -f "$log" ] && sed 's/^/  app: /' "$log"
    exit 1
}
cleanup() {
    for p in $pid $target; do kill -TERM "$p" 2>/dev/null || true; done
    for p in $pid $target; do wait "$p" 2>/dev/null || true; done
}
trap cleanup EXIT

wait_for() { # tenths of a second, command…
    local tries=$1
    shift
    for _ in $(seq 1 $((tries * ${VEXLIN_TEST_PATIENCE:-3}))); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

case "$case_name" in
text)
    shows=(--text "Vexlin 2026 OCR")
    want_clipboard="Vexlin 2026 OCR"
    want_toast='text toast title="Text copied" detail="Vexlin 2026 OCR" symbol=checkmark.circle.fill'
    ;;
qr_link)
    shows=(--qr "https://example.org/x")
    want_clipboard="https://example.org/x"
    want_toast='text toast title="Link copied" detail="https://example.org/x" symbol=link'
    ;;
blank)
    # White alone: nothing is copied and the toast says so.
    shows=(--text "")
    want_clipboard="before"
    want_toast='text toast title="No text found" detail="" symbol=text.magnifyingglass'
    ;;
*) fail "unknown case $case_name" ;;
esac

"$target_program" "${shows[@]}" >"$scratch/target.out" 2>&1 &
target=$!
wait_for 100 grep -q ready "$scratch/target.out" || fail "the target window did not come up"

VEXLIN_TRACE_COORDINATOR=1 "$app" >"$log" 2>&1 &
pid=$!
wait_for 100 grep -q "hotkeys conflicts=" "$log" || fail "the program did not register its hot keys"

# Something else owns the clipboard before, so that a stale copy cannot pass.
printf 'before' | xclip -selection clipboard -i
xdotool key shift+alt+super+2
overlay_open() { [ -n "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true)" ]; }
wait_for 50 grep -q "coordinator: text step select area text" "$log" ||
    fail "the text hot key did not reach the coordinator"
wait_for 50 overlay_open || fail "no selection overlay opened"
sleep 0.3

# The target's window lies at (200,200) and is 900 × 400; drag within it.
xdotool mousemove 230 230
sleep 0.1
xdotool mousedown 1
sleep 0.1
xdotool mousemove 600 400
sleep 0.1
xdotool mousemove 1070 570
sleep 0.1
xdotool mouseup 1

wait_for 300 grep -q "coordinator: text toast title=\"[^R]" "$log" ||
    fail "no result toast within 30 s"
grep -qF "coordinator: $want_toast" "$log" ||
    fail "the toast is not: $want_toast"
# The overlay is gone by now: what shows is the toast itself.
wait_for 10 overlay_open || fail "no toast window is shown"
got=$(xclip -selection clipboard -o)
[ "$got" = "$want_clipboard" ] || fail "the clipboard holds '$got', not '$want_clipboard'"
# The toast goes by itself, and nothing of ours stays on the screen.
nothing_shown() { ! overlay_open; }
wait_for 40 nothing_shown || fail "a window of the program stays on the screen"
# The clipboard is still served once the toast has gone.
[ "$(xclip -selection clipboard -o)" = "$want_clipboard" ] || fail "the clipboard changed"
kill -0 "$pid" || fail "the program ended"
echo "ok: $case_name"
