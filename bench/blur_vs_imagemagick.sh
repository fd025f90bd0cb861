#!/usr/bin/env bash
# Gaussian blur, sigma 18 pixels, of the busy 3840×2160 desktop of
# bench/BusyScreen.h: ours (`annotation_render --blur`, the blur a blur mark
# uses) against ImageMagick's `-blur 0x18`, its separable Gaussian and fastest
# comparable setting (-gaussian-blur convolves with the whole 2-D kernel and is
# many times slower). Both are whole processes reading the same PPM file, run
# interleaved; then both reading it alone, to show what the reading costs.
# Prints median wall and CPU times (all threads) and the per-round ratios.
#   bench/blur_vs_imagemagick.sh [BUILD_DIR] [ROUNDS]      (default: build, 7)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-7}
bench="$build/bench/annotation_render"
compare="$build/bench/compare"
for program in "$bench" "$compare"; do
    [ -x "$program" ] || { echo "build the benchmarks first (VEXLIN_BUILD_TESTS=ON): $program" >&2; exit 1; }
done
convert=$(command -v magick || command -v convert) || { echo "ImageMagick is missing (bash scripts/setup.sh --test)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

QT_QPA_PLATFORM=offscreen "$bench" --write-fixture "$work/fixture.ppm" 2>/dev/null

echo "Gaussian blur, sigma 18, of a busy 3840x2160 desktop read from PPM; $(nproc) cores"
"$compare" --rounds "$rounds" \
    -- "ours: annotation_render --blur" "$bench" --blur "$work/fixture.ppm" 18 \
    -- "ImageMagick -blur 0x18" "$convert" "$work/fixture.ppm" -blur 0x18 null:
echo
echo "Reading the file alone"
"$compare" --rounds "$rounds" \
    -- "ours: annotation_render --blur, sigma 0" "$bench" --blur "$work/fixture.ppm" 0 \
    -- "ImageMagick, no operation" "$convert" "$work/fixture.ppm" null:
