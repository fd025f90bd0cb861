#!/usr/bin/env bash
# Full-screen grabs at 1920×1080 and 3840×2160, each on a private X server
# showing the busy desktop of bench/BusyScreen.h as its root background. All
# sides are whole processes, run interleaved:
#  - grab to a PNG file: ours (`capture_grab --grab-to`: our grab and our
#    PNG writer, as a capture does) against `import -window root`, maim and
#    scrot, each at its defaults and at its zlib level 1 setting;
#  - grab to an uncompressed file: ours (the server's pixels as they come)
#    against `xwd -root` (the same) and `import -window root` to an 8-bit PPM.
# Prints median wall and CPU times (all threads), the per-round ratios, the
# file sizes, and whether our picture is the desktop shown; then our grab in
# memory (Google Benchmark, MIT-SHM and plain GetImage).
#   bench/grab.sh [BUILD_DIR] [ROUNDS]      (default: build, 9 rounds)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = --inside ]; then
    # On the rig: the benchmarks' folder, the desktop picture, the rounds.
    bench=$2
    desktop=$3
    rounds=$4
    out=$VEXLIN_RIG_HOME/out
    mkdir -p "$out"
    # display sets the root background and leaves it; its status is 1 all the same.
    display -window root "$desktop" || true
    grab="$bench/capture_grab"
    echo "-- grab to a PNG file"
    "$bench/compare" --rounds "$rounds" \
        -- "ours: capture_grab --grab-to PNG" "$grab" --grab-to "$out/ours.png" \
        -- "import -window root (defaults)" import -silent -window root "$out/import.png" \
        -- "import -window root, zlib level 1" import -silent -window root \
        -define png:compression-level=1 "$out/import-1.png" \
        -- "maim (defaults: -m 7)" maim "$out/maim.png" \
        -- "maim -m 2 (zlib level 1)" maim -m 2 "$out/maim-2.png" \
        -- "scrot (defaults: -q 75)" scrot -o "$out/scrot.png" \
        -- "scrot -q 80 (zlib level 1)" scrot -q 80 -o "$out/scrot-80.png"
    echo
    echo "-- grab to an uncompressed file"
    "$bench/compare" --rounds "$rounds" \
        -- "ours: capture_grab --grab-to raw" "$grab" --grab-to "$out/ours.raw" \
        -- "xwd -root" xwd -root -silent -out "$out/root.xwd" \
        -- "import -window root to PPM, 8 bits" import -silent -window root -depth 8 "$out/import.ppm"
    echo
    printf '%-24s %12s\n' "file" "bytes"
    for f in ours.png import.png import-1.png maim.png maim-2.png scrot.png scrot-80.png \
        ours.raw root.xwd import.ppm; do
        printf '%-24s %12d\n' "$f" "$(stat -c %s "$out/$f")"
    done
    d=$(compare -metric AE "$out/ours.png" "$desktop" null: 2>&1 || true)
    echo "pixels of our PNG differing from the desktop shown: $d"
    echo
    echo "-- our grab in memory"
    "$grab" --benchmark_filter="Display|Area" --benchmark_min_time=0.5 2>/dev/null
    exit 0
fi

build=${1:-$root/build}
rounds=${2:-9}
for program in capture_grab compare image_encode; do
    [ -x "$build/bench/$program" ] || { echo "build the benchmarks first (VEXLIN_BUILD_TESTS=ON): $build/bench/$program" >&2; exit 1; }
done
for command in import display maim scrot xwd; do
    command -v "$command" >/dev/null || { echo "$command is missing (bash scripts/setup.sh --test)" >&2; exit 1; }
done

tmp=$(mktemp -d /tmp/vexlin-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
for size in 1920x1080 3840x2160; do
    QT_QPA_PLATFORM=offscreen "$build/bench/image_encode" --write-image="$tmp/desktop.ppm" \
        "${size%x*}" "${size#*x}" 2>/dev/null
    convert "$tmp/desktop.ppm" "$tmp/desktop-$size.png"
done

for size in 1920x1080 3840x2160; do
    echo "== $size, $(nproc) cores"
    bash "$root/scripts/x11-rig.sh" --no-wm --screens "$size" -- \
        bash "$0" --inside "$build/bench" "$tmp/desktop-$size.png" "$rounds"
    echo
done
