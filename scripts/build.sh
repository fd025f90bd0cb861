#!/usr/bin/env bash
# Configures and builds one build folder:
#   build.sh DIR [cmake options…] [-- targets…]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
shift
options=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    options+=("$1")
    shift
done
[ "${1:-}" = "--" ] && shift
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "${options[@]}" >/dev/null
cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
