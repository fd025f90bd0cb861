#!/usr/bin/env bash
# The updater of the running program against a hostile server of the test's
# own: started with the install-now flag from a copy of the program in an
# installed folder, it is offered a release whose signature (1.5 GB) or
# archive (700 MB) streams without a length. The update ends with the failure
# alert, the program's resident memory stays under 200 MB throughout (its
# peak), the installed program is byte for byte what it was, and nothing is
# left beside it.
#
#   update.sh signature|archive UPDATE_SERVER
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
case_name=$1
server=${2:?}

served=""
cleanup() {
    stop_app
    [ -z "$served" ] || kill "$served" 2>/dev/null || true
}
trap cleanup EXIT

"$server" "$case_name" >"$scratch/port" 2>"$scratch/server.log" &
served=$!
port_known() { [ -s "$scratch/port" ]; }
wait_for 50 port_known || fail "the server did not start: $(cat "$scratch/server.log")"
setting serviceBaseURL "http://127.0.0.1:$(cat "$scratch/port")"

# An installed release: the program and the marker, in a folder of its own.
apps="$scratch/apps"
installed="$apps/VexlinCapture"
mkdir -p "$installed"
cp "$app" "$installed/vexlin-capture"
echo 1.0 >"$installed/.vexlin-release"
printf '#!/bin/sh\nexec "%s" -VexlinInstallUpdateNow\n' "$installed/vexlin-capture" >"$scratch/run"
chmod +x "$scratch/run"
app="$scratch/run"
start_app

# The failure alert is the one dialog of ours (the progress panel is a
# utility window).
alert_up() {
    local w
    for w in $(our_windows); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG && return 0
    done
    return 1
}
# The check comes 5 s after the start; the archive is written to disk up to
# its cap before it is refused.
wait_for 900 alert_up || fail "no failure alert"
peak=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")
held=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")
echo "resident memory: peak $((peak / 1024)) MB, after the failure $((held / 1024)) MB"
[ "$peak" -lt $((200 * 1024)) ] || fail "the program's memory peaked at $((peak / 1024)) MB"
cmp -s "$installed/vexlin-capture" "$VEXLIN_APP" || fail "the installed program changed"
[ "$(cat "$installed/.vexlin-release")" = 1.0 ] || fail "the installed marker changed"
[ "$(ls -A "$apps")" = VexlinCapture ] || fail "left beside the folder: $(ls -A "$apps")"
kill -0 "$pid" || fail "the program ended"
