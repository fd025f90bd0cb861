#!/usr/bin/env bash
# Times a full-screen screenshot from the hot key to the PNG file on disk, at
# 1920×1080 and 3840×2160, next to ImageMagick's `import -window root`, maim
# and scrot writing the same screen to a PNG, side by side on one private X
# server per size (scripts/x11-rig.sh) showing a busy desktop. Prints the
# medians, the ratios and the file sizes.
#
#   bench/hotkey_to_file.sh [BUILD_DIR] [RUNS]      (default: build, 9 runs)
#
# Our time: from the key press (sent through XTest by bench/hotkey_timer) to
# the moment the file is in the save folder (it appears there complete, under
# its final name, which the timer hears through inotify). Theirs: the whole
# command, from start to exit. The program runs with saving on and the
# other settings at their defaults (clipboard copy and capture sound on).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = --inside ]; then
    # On the rig: the program, the timer, the wallpaper, the runs, the size.
    app=$2
    timer=$3
    wallpaper=$4
    runs=$5
    size=$6
    scratch=$VEXLIN_RIG_HOME
    shots=$scratch/shots
    others=$scratch/others
    mkdir -p "$shots" "$others"
    echo "saveFolderBookmark=$shots" >>"$XDG_CONFIG_HOME/Vexlin/VexlinCapture.conf"
    # display sets the root background and leaves it; its status is 1 all the same.
    display -window root "$wallpaper" || true

    ms() { awk -v ns="$1" 'BEGIN { printf "%.1f", ns / 1e6 }'; }
    median() { tr ' ' '\n' | grep . | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

    # The coordinator's trace says when the hot keys are registered.
    VEXLIN_TRACE_COORDINATOR=1 "$app" >"$scratch/app.log" 2>&1 &
    pid=$!
    trap 'kill -TERM $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' EXIT
    for _ in $(seq 1 200); do
        grep -q "hotkeys conflicts=" "$scratch/app.log" && break
        [ -d /proc/$pid ] || { echo "the program ended: $(cat "$scratch/app.log")"; exit 1; }
        sleep 0.05
    done
    grep -q "hotkeys conflicts=$" "$scratch/app.log" || { echo "hot keys not registered" >&2; exit 1; }

    # One press to warm up (the encoder's threads, the sound, the clipboard),
    # then the timed ones.
    "$timer" "$shots" 1 Shift_L Alt_L Super_L 3 >/dev/null
    mapfile -t ours < <("$timer" "$shots" "$runs" Shift_L Alt_L Super_L 3)
    [ "${#ours[@]}" = "$runs" ] || { echo "the timer failed" >&2; exit 1; }
    ours_file=$(compgen -G "$shots/*.png" | head -n1)

    tool() { # name command… → median nanoseconds
        local times=() start end
        "${@:2}" >/dev/null 2>&1 # warm-up
        for _ in $(seq 1 "$runs"); do
            start=${EPOCHREALTIME/./}
            "${@:2}" >/dev/null 2>&1
            end=${EPOCHREALTIME/./}
            times+=($(((end - start) * 1000)))
        done
        echo "${times[*]}" | median
    }
    ours_median=$(echo "${ours[*]}" | median)
    import_median=$(tool import import -window root "$others/import.png")
    maim_median=$(tool maim maim "$others/maim.png")
    scrot_median=$(tool scrot scrot -o "$others/scrot.png")

    bytes() { stat -c %s "$1"; }
    fastest=$(printf '%s\n' "$import_median" "$maim_median" "$scrot_median" | sort -n | head -n1)
    echo "== $size, $(nproc) cores, median of $runs"
    printf '%-34s %10s %10s %12s\n' "tool" "time (ms)" "time/ours" "PNG (bytes)"
    row() { printf '%-34s %10s %10s %12s\n' "$1" "$(ms "$2")" \
        "$(awk -v a="$2" -v b="$ours_median" 'BEGIN { printf "%.2f", a / b }')" "$3"; }
    row "Vexlin Capture (hot key -> file)" "$ours_median" "$(bytes "$ours_file")"
    row "import -window root" "$import_median" "$(bytes "$others/import.png")"
    row "maim" "$maim_median" "$(bytes "$others/maim.png")"
    row "scrot" "$scrot_median" "$(bytes "$others/scrot.png")"
    awk -v o="$ours_median" -v f="$fastest" -v os="$(bytes "$ours_file")" \
        -v is="$(bytes "$others/import.png")" 'BEGIN {
        printf "ours / fastest other: %.2f of its time; PNG %.3fx ImageMagick'"'"'s size\n", o / f, os / is
        printf "target (<= 0.5 of the fastest, <= 1.15x the size): %s\n",
            (o <= 0.5 * f && os <= 1.15 * is) ? "met" : "NOT met"
    }'
    # The picture is the screen: same pixels as ImageMagick's.
    d=$(compare -metric AE "$ours_file" "$others/import.png" null: 2>&1 || true)
    echo "pixels differing from import's picture: $d"
    exit 0
fi

build=${1:-$root/build}
runs=${2:-9}
app=$build/vexlin-capture
encode=$build/bench/image_encode
timer=$build/bench/hotkey_timer
for program in "$app" "$encode" "$timer"; do
    [ -x "$program" ] || { echo "build first (VEXLIN_BUILD_TESTS=ON): $program" >&2; exit 1; }
done
for command in import maim scrot; do
    command -v "$command" >/dev/null || { echo "$command is missing (bash scripts/setup.sh --test)" >&2; exit 1; }
done

tmp=$(mktemp -d /tmp/vexlin-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
QT_QPA_PLATFORM=offscreen "$encode" --write-image="$tmp/busy.ppm"
convert "$tmp/busy.ppm" "$tmp/busy-3840x2160.png"
convert "$tmp/busy.ppm" -crop 1920x1080+0+0 +repage "$tmp/busy-1920x1080.png"
printf "[General]\nhasCompletedOnboarding=true\nsaveToDisk=true\n${BENCH_EXTRA:-}" >"$tmp/bench.conf"

for size in 1920x1080 3840x2160; do
    bash "$root/scripts/x11-rig.sh" --screens "$size" --settings "$tmp/bench.conf" -- \
        bash "$0" --inside "$app" "$timer" "$tmp/busy-$size.png" "$runs" "$size"
    echo
done
