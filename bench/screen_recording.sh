#!/usr/bin/env bash
# The whole road of a screen recording on the test rig's X server (Xvfb, no
# compositing manager) at 1920×1080 and 60 fps, then 3840×2160 and 30 fps,
# beside ffmpeg's x11grab, while a page scrolls at 60 fps; 3840×2160 once more
# after a 3 s countdown, during which the movie's encoder warms up.
#   bench/screen_recording.sh [BUILD_DIR] [SECONDS]     (default: build, 20 s)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-20}
cmake --build "$build" --target screen_recording >/dev/null
bash scripts/x11-rig.sh --screens 1920x1080 -- "$build/bench/screen_recording" "$seconds" 60
bash scripts/x11-rig.sh --screens 3840x2160 -- "$build/bench/screen_recording" "$seconds" 30
BENCH_COUNTDOWN=3 bash scripts/x11-rig.sh --screens 3840x2160 -- \
    "$build/bench/screen_recording" "$seconds" 30
