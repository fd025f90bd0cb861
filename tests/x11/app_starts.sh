#!/usr/bin/env bash
# The program starts on the rig's X server, keeps running, and ends on SIGTERM;
# without any X server it says why and exits non-zero.
set -euo pipefail
app=${VEXLIN_APP:?}

"$app" &
pid=$!
sleep 1
kill -0 "$pid" || { echo "the program did not keep running"; exit 1; }
kill -TERM "$pid"
wait "$pid" || true

set +e
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$app" 2>&1)
status=$?
set -e
[ "$status" -ne 0 ] || { echo "no X server, yet exit status 0"; exit 1; }
grep -q "needs an X11 session" <<<"$out" || { echo "unexpected message: $out"; exit 1; }
out=$(env -u DISPLAY WAYLAND_DISPLAY=wayland-0 "$app" 2>&1) && exit 1
grep -q "Wayland" <<<"$out" || { echo "unexpected message: $out"; exit 1; }
echo "1 passed, 0 failed"
