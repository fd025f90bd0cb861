#!/usr/bin/env bash
# The click and keystroke overlay's cost to a recording, on the test rig's
# X server (Xvfb, 1920×1080, no compositing manager).
#   bench/overlay_cost.sh [BUILD_DIR] [SECONDS]      (default: build, 60 s)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-60}
cmake --build "$build" --target overlay_cost >/dev/null
bash scripts/x11-rig.sh --screens 1920x1080 -- "$build/bench/overlay_cost" "$seconds"
