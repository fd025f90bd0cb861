#!/usr/bin/env bash
# The recent-captures strip's 120×76 thumbnails of a save folder holding 50
# busy 3840×2160 PNG screenshots, 5 JPEGs and 5 short 3840×2160 MP4
# recordings: ours (`recent_thumbnails --thumbnails`, the folder listed and
# every thumbnail asked of RecentCaptures at once, as a strip showing its
# tiles does, at scale 1 and at a HiDPI strip's scale 2) against ImageMagick's
# `convert FILE -thumbnail 120x76 out.png` over the same files one by one
# (a movie's first frame as `FILE[0]`, read through its ffmpeg delegate). All
# sides are whole processes, run interleaved; prints median wall and CPU
# times, the per-round ratios and whether the target (at least 5x faster at
# scale 1) is met.
#   bench/recent_thumbnails.sh [BUILD_DIR] [ROUNDS]      (default: build, 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-5}
bench="$build/bench/recent_thumbnails"
compare="$build/bench/compare"
for program in "$bench" "$compare"; do
    [ -x "$program" ] || { echo "build the benchmarks first (VEXLIN_BUILD_TESTS=ON): $program" >&2; exit 1; }
done
convert=$(command -v convert) || { echo "ImageMagick is missing (bash scripts/setup.sh --test)" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (bash scripts/setup.sh --test)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder="$work/Captures"

QT_QPA_PLATFORM=offscreen "$bench" --make-pictures "$folder" 50 5 2>/dev/null
for i in 1 2 3 4 5; do
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=s=3840x2160:r=30:d=2" \
        -vf "hue=h=$((i * 60))" -c:v libx264 -preset veryfast -pix_fmt yuv420p \
        "$folder/Vexlin Capture Recording $i.mp4"
done

cat >"$work/imagemagick.sh" <<'SCRIPT'
for file in "$1"/*; do
    case "$file" in
        *.mp4) "$2" "$file[0]" -thumbnail 120x76 "$3/out.png" ;;
        *) "$2" "$file" -thumbnail 120x76 "$3/out.png" ;;
    esac
done
SCRIPT

echo "120x76 thumbnails of 50 busy 3840x2160 PNGs, 5 JPEGs and 5 3840x2160 MP4s; $(nproc) cores"
"$compare" --rounds "$rounds" --tsv "$work/times.tsv" \
    -- "ours: RecentCaptures, scale 1" "$bench" --thumbnails "$folder" 1 \
    -- "ours: RecentCaptures, scale 2" "$bench" --thumbnails "$folder" 2 \
    -- "ImageMagick convert -thumbnail, one by one" bash "$work/imagemagick.sh" "$folder" "$convert" "$work"
ratio=$(awk -F'\t' '$1 ~ /^ImageMagick/ { print $4 }' "$work/times.tsv")
awk -v r="$ratio" 'BEGIN {
    printf "\nScale 1: %.1fx faster than ImageMagick one by one; target (>= 5x): %s\n", r, (r >= 5 ? "met" : "NOT met")
}'
