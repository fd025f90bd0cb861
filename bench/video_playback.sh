#!/usr/bin/env bash
# Playing a 1080p60 movie with sound in the video editor's player, on the test
# rig's X server (Xvfb, 1920×1080) beside a sound server of its own (a null
# sink): every frame shown, on at most one core. The movie is made first.
#   bench/video_playback.sh [BUILD_DIR] [SECONDS] [WIDTH HEIGHT]   (default: build, 20 s, 1280 760)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-20}
width=${3:-1280}
height=${4:-760}
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (bash scripts/setup.sh --test)" >&2; exit 1; }
cmake --build "$build" --target video_playback >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

movie="$work/rec.mp4"
echo "making a ${seconds} s 1080p60 movie with sound…"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=s=1920x1080:r=60:d=$seconds" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
    -map 0:v -map 1:a -c:v libx264 -preset veryfast -g 120 -pix_fmt yuv420p \
    -c:a aac -movflags +faststart "$movie"
frames=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
    -of csv=p=0 "$movie")
bash scripts/x11-rig.sh --screens 1920x1080 -- bash tests/x11/with-pulse.sh \
    "$build/bench/video_playback" "$movie" "$frames" "$width" "$height"
