#!/usr/bin/env bash
# Encodes a busy 3840×2160 screenshot with our PNG and JPEG writers and with
# ImageMagick's `convert` at its defaults, and prints times, sizes and ratios.
# Builds the benchmark first if needed.
#   bench/run.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bench="$build/bench/image_encode"

if [ ! -x "$bench" ]; then
    bash scripts/build.sh "$build" -DVEXLIN_BUILD_TESTS=ON
fi
cmake --build "$build" --target image_encode >/dev/null
command -v convert >/dev/null || { echo "ImageMagick's convert is missing (bash scripts/setup.sh --test)"; exit 1; }

tmp=$(mktemp -d /tmp/vexlin-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen

"$bench" --write-image="$tmp/screen.ppm"
"$bench" --write-png="$tmp/ours.png"
"$bench" --write-jpeg="$tmp/ours.jpg"

# Our encoders: Google Benchmark, several repetitions, the median kept.
"$bench" --benchmark_filter='^(BM_Png/0|BM_Png/1|BM_Png/2|BM_Jpeg)/' \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_format=csv 2>/dev/null >"$tmp/ours.csv"
median() { # name → milliseconds
    awk -F, -v name="\"$1/real_time_median\"" '$1 == name { print $3 }' "$tmp/ours.csv"
}
png_ms=$(median BM_Png/0)
png1_ms=$(median BM_Png/1)
png2_ms=$(median BM_Png/2)
jpeg_ms=$(median BM_Jpeg)

# ImageMagick: the best of three runs of the whole command, as a user runs it.
best_ms() { # command… → milliseconds
    local best=""
    for _ in 1 2 3; do
        local start end ms
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s%N)
        ms=$(( (end - start) / 1000000 ))
        if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
    done
    echo "$best"
}
im_png_ms=$(best_ms convert "$tmp/screen.ppm" "$tmp/im.png")
im_png_fast_ms=$(best_ms convert "$tmp/screen.ppm" -define png:compression-level=1 "$tmp/im-fast.png")
im_jpeg_ms=$(best_ms convert "$tmp/screen.ppm" -quality 90 "$tmp/im.jpg")

size() { stat -c %s "$1"; }
ours_png=$(size "$tmp/ours.png")
ours_jpg=$(size "$tmp/ours.jpg")
im_png=$(size "$tmp/im.png")
im_png_fast=$(size "$tmp/im-fast.png")
im_jpg=$(size "$tmp/im.jpg")

echo
echo "Busy 3840x2160 screenshot, $(nproc) cores"
printf '%-38s %10s %12s\n' "encoder" "time (ms)" "size (bytes)"
printf '%-38s %10.1f %12d\n' "ours PNG, all cores" "$png_ms" "$ours_png"
printf '%-38s %10.1f %12s\n' "ours PNG, 2 threads" "$png2_ms" "same"
printf '%-38s %10.1f %12s\n' "ours PNG, 1 thread" "$png1_ms" "same"
printf '%-38s %10d %12d\n' "ImageMagick convert (defaults)" "$im_png_ms" "$im_png"
printf '%-38s %10d %12d\n' "ImageMagick convert (zlib level 1)" "$im_png_fast_ms" "$im_png_fast"
printf '%-38s %10.1f %12d\n' "ours JPEG, quality 90" "$jpeg_ms" "$ours_jpg"
printf '%-38s %10d %12d\n' "ImageMagick convert -quality 90" "$im_jpeg_ms" "$im_jpg"
echo
awk -v ours="$png_ms" -v two="$png2_ms" -v im="$im_png_ms" -v os="$ours_png" -v is="$im_png" \
    -v jo="$jpeg_ms" -v ji="$im_jpeg_ms" -v jos="$ours_jpg" -v jis="$im_jpg" 'BEGIN {
    speed = im / ours; ratio = os / is
    printf "PNG:  %.1fx faster than ImageMagick (2 threads: %.1fx), %.3fx its size\n", speed, im / two, ratio
    printf "JPEG: %.1fx faster than ImageMagick, %.3fx its size\n", ji / jo, jos / jis
    printf "PNG target (>= 8x faster, <= 1.15x size): %s\n", (speed >= 8 && ratio <= 1.15) ? "met" : "NOT met"
}'
