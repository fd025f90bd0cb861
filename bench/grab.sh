#!/usr/bin/env bash
# Times our screen grab at 1920×1080 and 3840×2160 on private X servers, next
# to scrot writing the same screen to a file (the fastest of the usual tools;
# scrot's time includes its PNG encoding, ours is the grab alone).
#   bench/grab.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
bench=$build/bench/capture_grab
[ -x "$bench" ] || { echo "build the benchmarks first (VEXLIN_BUILD_TESTS=ON): $bench" >&2; exit 1; }

for size in 1920x1080 3840x2160; do
    echo "== $size"
    bash "$root/scripts/x11-rig.sh" --no-wm --screens "$size" -- bash -c '
        "$0" --benchmark_filter="Display|Area" --benchmark_min_time=0.5
        if command -v scrot >/dev/null; then
            out=$VEXLIN_RIG_HOME/scrot.png
            start=$(date +%s%N)
            for _ in 1 2 3 4 5; do scrot -o "$out"; done
            end=$(date +%s%N)
            echo "scrot to PNG: $(( (end - start) / 5000000 )) ms per picture"
        fi' "$bench"
done
