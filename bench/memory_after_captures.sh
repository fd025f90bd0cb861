#!/usr/bin/env bash
# Resident memory of the running program after a run of full-screen
# screenshots at 3840×2160: the program on a private X server of that size
# (scripts/x11-rig.sh) showing the busy desktop of bench/BusyScreen.h, with
# saving on, Quick Access off and the other settings at their defaults
# (clipboard copy, sound). Each Quick Access card on screen holds its capture
# (33 MB at 3840×2160) until it goes, and with auto-close off a 2160-pixel
# screen stacks 15 of them: that memory is in use, not retained, so the
# target is measured without cards (BENCH_EXTRA="showQuickAccess=true" shows
# them). The hot key is pressed through xdotool once the previous
# file is in the save folder. Prints the resident memory (VmRSS) after start,
# right after the last file and 5 s later, beside the target.
#
#   bench/memory_after_captures.sh [BUILD_DIR] [CAPTURES]   (default: build, 30)
#
# BENCH_EXTRA adds lines to the settings file; BENCH_ENV adds environment
# settings for the program (e.g. BENCH_ENV="MALLOC_ARENA_MAX=1").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
mb() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }

if [ "${1:-}" = --inside ]; then
    app=$2
    wallpaper=$3
    captures=$4
    scratch=$VEXLIN_RIG_HOME
    shots=$scratch/shots
    mkdir -p "$shots"
    echo "saveFolderBookmark=$shots" >>"$XDG_CONFIG_HOME/Vexlin/VexlinCapture.conf"
    # display sets the root background and leaves it; its status is 1 all the same.
    display -window root "$wallpaper" || true

    # shellcheck disable=SC2086
    env ${BENCH_ENV:-} VEXLIN_TRACE_COORDINATOR=1 "$app" >"$scratch/app.log" 2>&1 &
    pid=$!
    trap 'kill -TERM $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' EXIT
    for _ in $(seq 1 200); do
        grep -q "hotkeys conflicts=" "$scratch/app.log" && break
        [ -d "/proc/$pid" ] || { echo "the program ended: $(cat "$scratch/app.log")" >&2; exit 1; }
        sleep 0.05
    done
    grep -q "hotkeys conflicts=$" "$scratch/app.log" || { echo "hot keys not registered" >&2; exit 1; }
    sleep 2
    started=$(rss_kb "$pid")

    peak=0
    for i in $(seq 1 "$captures"); do
        xdotool key shift+alt+super+3
        for _ in $(seq 1 400); do
            [ "$(find "$shots" -maxdepth 1 -name '*.png' | wc -l)" -ge "$i" ] && break
            sleep 0.05
        done
        [ "$(find "$shots" -maxdepth 1 -name '*.png' | wc -l)" -ge "$i" ] ||
            { echo "capture $i wrote no file: $(cat "$scratch/app.log")" >&2; exit 1; }
        now=$(rss_kb "$pid")
        [ "$now" -gt "$peak" ] && peak=$now
    done
    last=$(rss_kb "$pid")
    sleep 5
    after=$(rss_kb "$pid")
    [ -d "/proc/$pid" ] || { echo "the program ended" >&2; exit 1; }

    echo "== $captures full-screen captures at 3840x2160, $(nproc) cores${BENCH_ENV:+, $BENCH_ENV}"
    printf '%-36s %s\n' "resident after start" "$(mb "$started")"
    printf '%-36s %s\n' "highest seen after a file" "$(mb "$peak")"
    printf '%-36s %s\n' "right after the last file" "$(mb "$last")"
    printf '%-36s %s\n' "5 s after the last file" "$(mb "$after")"
    awk -v k="$after" 'BEGIN { printf "target (<= 80 MiB 5 s after the last): %s\n", (k <= 80 * 1024) ? "met" : "NOT met" }'
    exit 0
fi

build=${1:-$root/build}
captures=${2:-30}
app=$build/vexlin-capture
encode=$build/bench/image_encode
for program in "$app" "$encode"; do
    [ -x "$program" ] || { echo "build first (VEXLIN_BUILD_TESTS=ON): $program" >&2; exit 1; }
done
for command in xdotool display; do
    command -v "$command" >/dev/null || { echo "$command is missing (bash scripts/setup.sh --test)" >&2; exit 1; }
done

tmp=$(mktemp -d /tmp/vexlin-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
QT_QPA_PLATFORM=offscreen "$encode" --write-image="$tmp/busy.ppm" 3840 2160 2>/dev/null
printf "[General]\nhasCompletedOnboarding=true\nsaveToDisk=true\nshowQuickAccess=false\n${BENCH_EXTRA:-}\n" >"$tmp/bench.conf"
bash "$root/scripts/x11-rig.sh" --screens 3840x2160 --settings "$tmp/bench.conf" -- \
    bash "$0" --inside "$app" "$tmp/busy.ppm" "$captures"
