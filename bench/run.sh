#!/usr/bin/env bash
# Encodes the busy 3840×2160 desktop of bench/BusyScreen.h (photos, text,
# gradients: it compresses like a real screenshot) to PNG and JPEG, ours and
# ImageMagick's `convert`, both as whole processes that read the same PPM file
# and write the encoded file, run interleaved. ImageMagick runs at its
# defaults and at its fastest comparable setting (zlib level 1 for PNG; for
# JPEG quality 90 with the 4:2:0 chroma sampling our writer uses, where its
# default above quality 89 is 4:4:4). Prints median wall and CPU times, the
# per-round ratios and the file sizes. Builds the benchmarks first if needed.
#   bench/run.sh [BUILD_DIR] [ROUNDS]      (default: build, 9 rounds)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-9}
bench="$build/bench/image_encode"
compare="$build/bench/compare"

if [ ! -x "$bench" ] || [ ! -x "$compare" ]; then
    bash scripts/build.sh "$build" -DVEXLIN_BUILD_TESTS=ON
fi
cmake --build "$build" --target image_encode compare >/dev/null
command -v convert >/dev/null || { echo "ImageMagick's convert is missing (bash scripts/setup.sh --test)"; exit 1; }

tmp=$(mktemp -d /tmp/vexlin-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen

"$bench" --write-image="$tmp/screen.ppm" 2>/dev/null
raw=$((3840 * 2160 * 3))

echo "Busy 3840x2160 desktop (bench/BusyScreen.h), $(nproc) cores, read from PPM and written to a file"
echo
echo "== PNG"
"$compare" --rounds "$rounds" --tsv "$tmp/png.tsv" \
    -- "ours, all cores" "$bench" --encode-png "$tmp/screen.ppm" "$tmp/ours.png" \
    -- "ours, 1 thread" "$bench" --encode-png "$tmp/screen.ppm" "$tmp/ours-1.png" 1 \
    -- "ImageMagick convert (defaults)" convert "$tmp/screen.ppm" "$tmp/im.png" \
    -- "ImageMagick convert (zlib level 1)" convert "$tmp/screen.ppm" \
    -define png:compression-level=1 "$tmp/im-1.png"
echo
echo "== PNG in memory: warm encoders in one process, interleaved"
"$bench" --in-memory "$rounds" 2>/dev/null | tail -n +2
echo
echo "== JPEG, quality 90"
"$compare" --rounds "$rounds" --tsv "$tmp/jpeg.tsv" \
    -- "ours (4:2:0)" "$bench" --encode-jpeg "$tmp/screen.ppm" "$tmp/ours.jpg" \
    -- "ImageMagick convert -quality 90 (4:4:4)" convert "$tmp/screen.ppm" -quality 90 "$tmp/im.jpg" \
    -- "ImageMagick convert -quality 90 4:2:0" convert "$tmp/screen.ppm" -quality 90 \
    -sampling-factor 4:2:0 "$tmp/im-420.jpg"

size() { stat -c %s "$1"; }
echo
printf '%-40s %12s %12s\n' "file" "bytes" "raw / file"
for f in ours.png im.png im-1.png ours.jpg im.jpg im-420.jpg; do
    printf '%-40s %12d %12.2f\n' "$f" "$(size "$tmp/$f")" "$(awk -v r=$raw -v s="$(size "$tmp/$f")" 'BEGIN { print r / s }')"
done
echo
ratio() { awk -F'\t' -v name="$2" '$1 == name { print $4 }' "$tmp/$1.tsv"; }
cpu_ratio() { awk -F'\t' -v name="$2" '$1 == name { print $5 }' "$tmp/$1.tsv"; }
awk -v d="$(ratio png "ImageMagick convert (defaults)")" -v f="$(ratio png "ImageMagick convert (zlib level 1)")" \
    -v os="$(size "$tmp/ours.png")" -v is="$(size "$tmp/im.png")" -v fs="$(size "$tmp/im-1.png")" 'BEGIN {
    printf "PNG: %.1fx faster than ImageMagick at its defaults (%.3fx its size), %.1fx faster than at zlib level 1 (%.3fx its size)\n", d, os / is, f, os / fs
    printf "PNG target (>= 8x faster than the defaults, <= 1.15x the size): %s\n", (d >= 8 && os / is <= 1.15) ? "met" : "NOT met"
}'
# Per core: our CPU beside ImageMagick's fastest, and our file beside its.
awk -v c="$(cpu_ratio png "ImageMagick convert (zlib level 1)")" -v os="$(size "$tmp/ours.png")" \
    -v fs="$(size "$tmp/im-1.png")" 'BEGIN {
    printf "PNG per core: %.2f of the CPU time of ImageMagick at zlib level 1, %.3fx its size\n", 1 / c, os / fs
    printf "PNG per-core target (<= 0.33 of its CPU time, <= 0.95x its size): %s\n", (1 / c <= 0.33 && os / fs <= 0.95) ? "met" : "NOT met"
}'
