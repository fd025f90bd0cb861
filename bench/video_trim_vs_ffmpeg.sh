#!/usr/bin/env bash
# Exporting 40 s of a 60 s 1080p30 recording with two sound tracks: ours
# (`video_trim`, as the video editor's Save of a trim) against
#   ffmpeg -ss 10 -to 50 -i rec.mp4 -c:v libx264 -crf 18 -c:a aac
# at the same preset, both as whole processes, in interleaved rounds. Prints
# each side's median wall time and CPU time (user + system of all threads),
# the medians of the per-round ratios, and whether the target holds: at most
# 1.1 × ffmpeg's wall time.
#   bench/video_trim_vs_ffmpeg.sh [BUILD_DIR] [ROUNDS] [MOVIE]   (default: build, 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-3}
bench="$build/bench/video_trim"
[ -x "$bench" ] || { echo "build the benchmarks first (VEXLIN_BUILD_TESTS=ON): $bench" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (bash scripts/setup.sh --test)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The preset our export encodes with.
preset=fast
movie=${3:-}
if [ -z "$movie" ]; then
    movie="$work/rec.mp4"
    echo "making a 60 s 1080p30 recording with two sound tracks…"
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=s=1920x1080:r=30:d=60" \
        -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=60" \
        -f lavfi -i "sine=frequency=660:sample_rate=48000:duration=60" \
        -map 0:v -map 1:a -map 2:a -c:v libx264 -preset veryfast -g 60 -pix_fmt yuv420p \
        -c:a aac -movflags +faststart "$movie"
fi

ours() { rm -rf "$work/ours"; mkdir -p "$work/ours"; "$bench" "$movie" "$work/ours" 10 50; }
theirs() {
    ffmpeg -hide_banner -loglevel error -y -ss 10 -to 50 -i "$movie" -map 0 -c:v libx264 \
        -preset $preset -crf 18 -c:a aac "$work/theirs.mp4"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# One timed run: "wall cpu" (cpu = user + system of the process and all its
# threads, as the shell's time keyword reports them for a child).
timed() { # name command
    local out
    out=$( { TIMEFORMAT='%3R %3U %3S'; time "$2" >/dev/null 2>&1; } 2>&1 | tail -n 1)
    read -r wall user system <<<"$out"
    echo "$wall $(echo "$user + $system" | bc -l)" >>"$work/$1.t"
}

: >"$work/ours.t"
: >"$work/theirs.t"
# Interleaved, ours first, so that a machine that gets busier or quieter
# meanwhile weighs on both sides alike.
for _ in $(seq "$rounds"); do
    timed ours ours
    timed theirs theirs
done
paste -d' ' "$work/ours.t" "$work/theirs.t" |
    awk '{ printf "%.4f %.4f\n", $1 / $3, $2 / $4 }' >"$work/ratios.t"
ours_wall=$(cut -d' ' -f1 <"$work/ours.t" | median)
ours_cpu=$(cut -d' ' -f2 <"$work/ours.t" | median)
theirs_wall=$(cut -d' ' -f1 <"$work/theirs.t" | median)
theirs_cpu=$(cut -d' ' -f2 <"$work/theirs.t" | median)
wall_ratio=$(cut -d' ' -f1 <"$work/ratios.t" | median)
cpu_ratio=$(cut -d' ' -f2 <"$work/ratios.t" | median)
ours_file=$(ls "$work"/ours/*.mp4)
printf '%-8s %10s %10s %12s\n' side "wall (s)" "CPU (s)" "size (B)"
printf '%-8s %10.2f %10.2f %12d\n' ours "$ours_wall" "$ours_cpu" "$(stat -c %s "$ours_file")"
printf '%-8s %10.2f %10.2f %12d\n' ffmpeg "$theirs_wall" "$theirs_cpu" \
    "$(stat -c %s "$work/theirs.mp4")"
printf 'ours / ffmpeg, median of the %d rounds: wall %.2f, CPU %.2f\n' "$rounds" "$wall_ratio" \
    "$cpu_ratio"
printf 'wall ratio %.2f (target ≤ 1.10): %s\n' "$wall_ratio" \
    "$(echo "$wall_ratio <= 1.10" | bc -l | sed 's/1/holds/;s/0/missed/')"
