#!/usr/bin/env bash
# Runs a command against a private X server: Xvfb with openbox, its own
# XDG_CONFIG_HOME / XDG_CACHE_HOME / XDG_DATA_HOME and TMPDIR, all torn down
# afterwards.
#
#   x11-rig.sh [--screens WxH[,WxH…]] [--settings FILE] [--no-wm]
#              [--xvfb-arg ARG]… -- COMMAND…
#
# --screens   one Xvfb screen (default 1920x1080); two or more are laid side by
#             side, top-aligned, as RandR monitors of one root window (what a
#             multi-monitor desktop looks like to programs).
# --settings  copied to $XDG_CONFIG_HOME/Vexlin/VexlinCapture.conf first.
# --xvfb-arg  one more argument for Xvfb, e.g. "--xvfb-arg -extension
#             --xvfb-arg RECORD" for a server without RECORD.
# The command sees DISPLAY, the XDG folders and VEXLIN_RIG_HOME (scratch space).
set -euo pipefail

screens="1920x1080"
settings=""
wm=1
xvfb_args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --screens) screens=$2; shift 2 ;;
    --settings) settings=$2; shift 2 ;;
    --no-wm) wm=0; shift ;;
    --xvfb-arg) xvfb_args+=("$2"); shift 2 ;;
    --) shift; break ;;
    *) echo "x11-rig: unknown option $1" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] || { echo "x11-rig: no command" >&2; exit 2; }

home=$(mktemp -d /tmp/vexlin-rig-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$home"
}
trap cleanup EXIT INT TERM

# Xvfb's own multi-screen Xinerama stacks every screen at (0,0); RandR 1.5
# monitors on one wide root give real side-by-side displays instead.
IFS=',' read -ra sizes <<<"$screens"
root_w=0
root_h=0
monitors=()
for size in "${sizes[@]}"; do
    w=${size%x*}
    h=${size#*x}
    monitors+=("${w}/$((w * 254 / 960))x${h}/$((h * 254 / 960))+${root_w}+0")
    root_w=$((root_w + w))
    [ "$h" -gt "$root_h" ] && root_h=$h
done
screen_args=(-screen 0 "${root_w}x${root_h}x24")

# -displayfd lets Xvfb pick a free display number and tell us once it listens,
# so rigs can run side by side.
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -noreset -nolisten tcp "${screen_args[@]}" ${xvfb_args[@]+"${xvfb_args[@]}"} >"$home/xvfb.log" 2>&1 &
pids+=($!)
number=""
for _ in $(seq 1 100); do
    # A read that times out keeps what it got so far (Xvfb may write the
    # number and the newline apart), so the pieces are joined.
    part=""
    if read -r -t 0.1 part <&"$fd" 2>/dev/null; then
        number+=$part
        [ -n "$number" ] && break
    fi
    number+=$part
    kill -0 "${pids[0]}" 2>/dev/null || { cat "$home/xvfb.log" >&2; exit 1; }
done
exec {fd}>&-
[ -n "$number" ] || { echo "x11-rig: Xvfb did not start" >&2; cat "$home/xvfb.log" >&2; exit 1; }
export DISPLAY=":$number"
# No desktop session either: Qt picks its own dialogs and theme, whatever
# desktop the rig was started from.
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME XDG_CURRENT_DESKTOP DESKTOP_SESSION

if [ "${#monitors[@]}" -gt 1 ]; then
    # The first monitor takes over the output; the others are virtual.
    i=0
    for monitor in "${monitors[@]}"; do
        output=none
        [ "$i" = 0 ] && output=screen
        xrandr --setmonitor "vexlin-$i" "$monitor" "$output" >/dev/null
        i=$((i + 1))
    done
fi

mkdir -p "$home/config/Vexlin" "$home/cache" "$home/data" "$home/scratch" "$home/tmp"
export XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" XDG_DATA_HOME="$home/data"
# Drag files and whatever else goes to the temporary folder go with the rig.
export TMPDIR="$home/tmp"
export XDG_RUNTIME_DIR="$home/runtime" VEXLIN_RIG_HOME="$home/scratch" HOME="$home/scratch"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
[ -n "$settings" ] && cp "$settings" "$home/config/Vexlin/VexlinCapture.conf"

if [ "$wm" = 1 ]; then
    openbox --sm-disable >"$home/openbox.log" 2>&1 &
    pids+=($!)
    # openbox claims _NET_SUPPORTING_WM_CHECK early in its start; a window
    # mapped before it has taken stock of the existing ones (and published its
    # client list) may never be managed, so wait for the list as well.
    for _ in $(seq 1 200); do
        xprop -root 2>/dev/null | grep -q '^_NET_CLIENT_LIST_STACKING(' && break
        sleep 0.05
    done
fi

set +e
"$@"
status=$?
set -e
exit $status
