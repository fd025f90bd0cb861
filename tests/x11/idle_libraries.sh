#!/usr/bin/env bash
# The program at rest holds none of the libraries that only single features
# need (FFmpeg, giflib, libimagequant, libtiff, libarchive, Tesseract with
# Leptonica, ZXing): they load on their first use. Checked once the
# hot keys are grabbed and again once the start-up's work has settled (the
# process spends no CPU for a second).
set -euo pipefail
app=${VEXLIN_APP:?}
log=$VEXLIN_RIG_HOME/idle_libraries.log

VEXLIN_TRACE_COORDINATOR=1 "$app" >"$log" 2>&1 &
pid=$!
trap 'kill -TERM "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT

until grep -q "hotkeys conflicts=" "$log"; do
    kill -0 "$pid" 2>/dev/null || { echo "the program ended: $(cat "$log")"; exit 1; }
    sleep 0.05
done

deferred='/lib(avformat|avcodec|swscale|swresample|avutil|gif|imagequant|tiff|archive|tesseract|lept|ZXing)\.so'
check() {
    local loaded
    loaded=$(awk '{ print $6 }' "/proc/$pid/maps" | grep -E "$deferred" | sort -u || true)
    [ -z "$loaded" ] || { echo "loaded $1: $loaded"; exit 1; }
}
# What the loader sees, so that a check that finds nothing has looked.
grep -q "libQt6Core.so" "/proc/$pid/maps" || { echo "no libraries in /proc/$pid/maps"; exit 1; }
check "at start"

cpu() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
before=$(cpu)
for _ in $(seq 1 600); do
    sleep 1
    now=$(cpu)
    [ "$now" != "$before" ] || break
    before=$now
done
check "at rest"
echo "1 passed, 0 failed"
