#!/usr/bin/env bash
# Runs a command beside a sound server of its own: PulseAudio with a null sink
# "speakers" (the default output; its monitor is the system's sound) and a pipe
# source "mic" (the default input, fed through $VEXLIN_MIC_FIFO; the server's
# process is $VEXLIN_PULSE_PID, for a test that stops it). Nothing
# needs a sound card, and root may run it. Stopped and removed afterwards.
#
#   with-pulse.sh COMMAND…
set -euo pipefail

home=$(mktemp -d "${TMPDIR:-/tmp}/vexlin-pulse-XXXXXX")
pulse_pid=""
cleanup() {
    if [ -n "$pulse_pid" ]; then
        kill "$pulse_pid" 2>/dev/null || true
        wait "$pulse_pid" 2>/dev/null || true
    fi
    rm -rf "$home"
}
trap cleanup EXIT INT TERM

cat >"$home/default.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$home/native
load-module module-null-sink sink_name=speakers
load-module module-pipe-source source_name=mic file=$home/mic.fifo format=float32le rate=48000 channels=2
set-default-sink speakers
set-default-source mic
PA
mkdir -p -m 700 "$home/runtime"
# --system=false with a root user only warns; no D-Bus, no autospawn.
HOME="$home" XDG_RUNTIME_DIR="$home/runtime" PULSE_RUNTIME_PATH="$home/runtime" \
    pulseaudio -n -F "$home/default.pa" --daemonize=no --system=false --exit-idle-time=-1 \
    --disallow-exit --use-pid-file=false --log-target=file:"$home/pulse.log" &
pulse_pid=$!
export PULSE_SERVER="unix:$home/native" VEXLIN_MIC_FIFO="$home/mic.fifo" VEXLIN_PULSE_PID="$pulse_pid"
for _ in $(seq 1 100); do
    pactl info >/dev/null 2>&1 && break
    kill -0 "$pulse_pid" 2>/dev/null || { cat "$home/pulse.log" >&2; exit 1; }
    sleep 0.05
done
pactl info >/dev/null 2>&1 || { echo "with-pulse: no sound server" >&2; cat "$home/pulse.log" >&2; exit 1; }

set +e
"$@"
status=$?
set -e
exit $status
