#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vexlin Capture.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
exec build/vexlin-capture "$@"
