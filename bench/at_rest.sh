#!/usr/bin/env bash
# The program at rest, on a private 3840×2160 X server (scripts/x11-rig.sh)
# with onboarding done and the other settings at their defaults:
# - start-up: from the launch to the hot keys grabbed (the coordinator's trace
#   says when), over ROUNDS launches, with the CPU the process spent until
#   then (all its threads);
# - resident memory (VmRSS) 3 s after start and after 2.5 min at rest, the
#   heap's and the mapped files' share of it, and which libraries of single
#   features (FFmpeg, Tesseract …) are loaded then: none should be;
# - a minute at rest after the start-up's one-off work is over (the update
#   check and installation count a minute after start, the worker threads
#   that go 30 s after their last task): the process's CPU time, the wake-ups of its threads (context
#   switches) and the threads started or ended meanwhile.
#
#   bench/at_rest.sh [BUILD_DIR] [ROUNDS]      (default: build, 9 rounds)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# CPU of every thread of the process so far, in nanoseconds.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d", s }'; }
# The process's user + system time in clock ticks, ended threads included.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
switches() {
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ { s += $2 } END { print s + 0 }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

if [ "${1:-}" = --inside ]; then
    app=$2
    rounds=$3
    scratch=$VEXLIN_RIG_HOME

    # Launches the program; sets $pid and, once the hot keys are grabbed,
    # $launch_ms and $launch_cpu_ms.
    launch() {
        : >"$scratch/app.log"
        local start=$EPOCHREALTIME
        VEXLIN_TRACE_COORDINATOR=1 "$app" >"$scratch/app.log" 2>&1 &
        pid=$!
        for _ in $(seq 1 20000); do
            if grep -q "hotkeys conflicts=" "$scratch/app.log"; then
                local end=$EPOCHREALTIME
                launch_cpu_ms=$(awk -v n="$(cpu_ns "$pid")" 'BEGIN { printf "%.1f", n / 1e6 }')
                launch_ms=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", (b - a) * 1000 }')
                grep -q "hotkeys conflicts=$" "$scratch/app.log" ||
                    { echo "hot keys not registered: $(cat "$scratch/app.log")" >&2; exit 1; }
                return
            fi
            [ -d "/proc/$pid" ] || { echo "the program ended: $(cat "$scratch/app.log")" >&2; exit 1; }
            sleep 0.001
        done
        echo "no hot keys after 20 s" >&2
        exit 1
    }
    stop() {
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    }
    trap 'stop' EXIT

    # One launch first, so that every timed one finds the files in the cache.
    launch
    stop
    : >"$scratch/launches.txt"
    for _ in $(seq 1 "$rounds"); do
        launch
        echo "$launch_ms $launch_cpu_ms" >>"$scratch/launches.txt"
        stop
    done

    launch
    sleep 3
    rss_start=$(rss_kb "$pid")
    # The start-up's one-off work ends about 95 s after the launch.
    sleep 92
    threads0=$(ls "/proc/$pid/task" | sort)
    ticks0=$(ticks "$pid")
    switches0=$(switches "$pid")
    sleep 60
    ticks1=$(ticks "$pid")
    switches1=$(switches "$pid")
    threads1=$(ls "/proc/$pid/task" | sort)
    rss_rest=$(rss_kb "$pid")
    # Where the resident memory at rest is: the heap, the file-backed rest,
    # and the libraries that should load only on a feature's first use.
    heap_kb=$(awk '/^[0-9a-f]+-/ { name = $6 } /^Rss:/ && name == "[heap]" { s += $2 } END { print s + 0 }' \
        "/proc/$pid/smaps")
    file_kb=$(awk '/^RssFile:/ { print $2 }' "/proc/$pid/status")
    deferred=$(awk '{ print $6 }' "/proc/$pid/maps" |
        grep -oE 'lib(avformat|avcodec|swscale|swresample|avutil|gif|imagequant|tiff|archive|tesseract|lept|ZXing)\.so' |
        sort -u | tr '\n' ' ' || true)
    changed=$(comm -3 <(echo "$threads0") <(echo "$threads1") | wc -l)

    hz=$(getconf CLK_TCK)
    echo "== at rest: 3840x2160, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
    printf '%-46s %10s %10s\n' "" "wall ms" "CPU ms"
    printf '%-46s %10s %10s\n' "launch -> hot keys grabbed (median of $rounds)" \
        "$(awk '{ print $1 }' "$scratch/launches.txt" | median)" \
        "$(awk '{ print $2 }' "$scratch/launches.txt" | median)"
    printf '%-46s %s\n' "  each launch (wall ms, CPU ms)" "$(tr '\n' ';' <"$scratch/launches.txt")"
    printf '%-46s %10s\n' "resident 3 s after start" "$(awk -v k="$rss_start" 'BEGIN { printf "%.1f MiB", k / 1024 }')"
    printf '%-46s %10s\n' "resident after 2.5 min at rest" "$(awk -v k="$rss_rest" 'BEGIN { printf "%.1f MiB", k / 1024 }')"
    printf '%-46s %10s\n' "  of it heap" "$(awk -v k="$heap_kb" 'BEGIN { printf "%.1f MiB", k / 1024 }')"
    printf '%-46s %10s\n' "  of it mapped files (libraries, fonts)" "$(awk -v k="$file_kb" 'BEGIN { printf "%.1f MiB", k / 1024 }')"
    printf '%-46s %s\n' "single features' libraries loaded at rest" "${deferred:-none}"
    printf '%-46s %10s\n' "CPU over 60 s at rest" "$(awk -v t=$((ticks1 - ticks0)) -v hz="$hz" 'BEGIN { printf "%.2f s", t / hz }')"
    printf '%-46s %10s\n' "thread wake-ups over 60 s at rest" "$((switches1 - switches0))"
    printf '%-46s %10s\n' "threads started or ended over 60 s at rest" "$changed"
    awk -v l="$(awk '{ print $1 }' "$scratch/launches.txt" | median)" -v r="$rss_rest" \
        -v w=$((switches1 - switches0)) 'BEGIN {
        printf "targets: launch <= 150 ms %s; resident at rest <= 45 MiB %s; no wake-ups at rest %s\n",
            (l <= 150) ? "met" : "NOT met", (r <= 45 * 1024) ? "met" : "NOT met", (w == 0) ? "met" : "NOT met"
    }'
    exit 0
fi

build=$(cd "${1:-$root/build}" && pwd)
rounds=${2:-9}
app=$build/vexlin-capture
[ -x "$app" ] || { echo "build first: $app" >&2; exit 1; }

tmp=$(mktemp -d /tmp/vexlin-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
printf "[General]\nhasCompletedOnboarding=true\n${BENCH_EXTRA:-}\n" >"$tmp/bench.conf"
bash "$root/scripts/x11-rig.sh" --screens 3840x2160 --settings "$tmp/bench.conf" -- \
    bash "$0" --inside "$app" "$rounds"
