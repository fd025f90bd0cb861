#!/usr/bin/env bash
# A GIF of a 5 s clip at 15 frames a second, 1000 pixels wide: ours
# (`gif_export`, one decode, a palette per frame, only changed pixels stored)
# against ffmpeg's two-pass palette (palettegen, then paletteuse), both as
# whole processes. Prints the median wall time of each side, the GIF sizes
# and each GIF's PSNR against the movie's frames at the same times, and
# whether the target holds: at most half of ffmpeg's time at no larger size
# and no lower PSNR. Two clips, both 30 fps: a 1920×1080 screen of text
# scrolling down a page (as a screen recording is), and ffmpeg's moving test
# pattern at 1000×562; or MOVIE alone when given.
#   bench/gif_vs_ffmpeg.sh [BUILD_DIR] [ROUNDS] [MOVIE]     (default: build, 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-5}
bench="$build/bench/gif_export"
[ -x "$bench" ] || { echo "build the benchmarks first (VEXLIN_BUILD_TESTS=ON): $bench" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (bash scripts/setup.sh --test)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fps=15
width=1000

now() { date +%s.%N; }
ours() { "$bench" "$movie" "$work/ours.gif" $fps $width; }
theirs() {
    ffmpeg -hide_banner -loglevel error -y -i "$movie" \
        -vf "fps=$fps,scale=$width:-1:flags=lanczos,palettegen" "$work/palette.png"
    ffmpeg -hide_banner -loglevel error -y -i "$movie" -i "$work/palette.png" \
        -lavfi "fps=$fps,scale=$width:-1:flags=lanczos[x];[x][1:v]paletteuse" "$work/theirs.gif"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# PSNR of a GIF's frames, in order, against the movie's frames at 1/15 s
# steps scaled to the GIF's size.
psnr() {
    local size
    size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0:s=x "$1")
    ffmpeg -hide_banner -nostats -i "$1" -i "$movie" -lavfi \
        "[0:v]settb=1/$fps,setpts=N[a];[1:v]fps=$fps,scale=${size/x/:}:flags=area,settb=1/$fps,setpts=N[b];[a][b]psnr" \
        -f null - 2>&1 | sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p' | tail -1
}
run() { # run NAME: both sides on $movie
    : >"$work/ours.t"
    : >"$work/theirs.t"
    for _ in $(seq "$rounds"); do
        start=$(now); ours; end=$(now); echo "$end - $start" | bc -l >>"$work/ours.t"
        start=$(now); theirs; end=$(now); echo "$end - $start" | bc -l >>"$work/theirs.t"
    done
    ours_time=$(median <"$work/ours.t")
    theirs_time=$(median <"$work/theirs.t")

    ours_size=$(stat -c %s "$work/ours.gif")
    theirs_size=$(stat -c %s "$work/theirs.gif")
    ours_psnr=$(psnr "$work/ours.gif")
    theirs_psnr=$(psnr "$work/theirs.gif")

    echo "$1:"
    printf '%-8s %10s %12s %8s\n' side "time (s)" "size (B)" "PSNR"
    printf '%-8s %10.3f %12d %8s\n' ours "$ours_time" "$ours_size" "$ours_psnr"
    printf '%-8s %10.3f %12d %8s\n' ffmpeg "$theirs_time" "$theirs_size" "$theirs_psnr"
    met=$(echo "$ours_time * 2 <= $theirs_time && $ours_size <= $theirs_size && $ours_psnr >= $theirs_psnr" | bc -l)
    [ "$met" = 1 ] && echo "target met" || echo "target NOT met"
}

if [ -n "${3:-}" ]; then
    movie=$3
    run "$(basename "$movie")"
    exit 0
fi
# 30 fps, so that every fifteenth of a second is a frame of its own for both
# sides.
command -v convert >/dev/null || { echo "ImageMagick is missing (bash scripts/setup.sh --test)" >&2; exit 1; }
text=$(for i in $(seq 160); do
    echo "$i. The quick brown fox jumps over the lazy dog while the recording scrolls along, line $i of a long page."
done)
convert -size 1920x4200 xc:white -font DejaVu-Sans -pointsize 22 -fill '#202020' \
    -annotate +40+40 "$text" \( -size 300x4200 gradient:'#3070d0-#d07030' \) -geometry +1600+0 \
    -composite "$work/page.png"
movie="$work/page.mp4"
ffmpeg -hide_banner -loglevel error -y -loop 1 -framerate 30 -i "$work/page.png" \
    -vf "crop=1920:1080:0:'min(t*400\,3000)',format=yuv420p" -t 5 \
    -c:v libx264 -preset veryfast -movflags +faststart "$movie"
run "scrolling page, 1920x1080"
movie="$work/pattern.mp4"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=s=1000x562:r=30:d=5" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -movflags +faststart "$movie"
run "test pattern, 1000x562"
