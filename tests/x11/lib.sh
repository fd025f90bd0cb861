# shellcheck shell=bash
# Shared by the end-to-end scripts in this folder, sourced after
# `set -euo pipefail`: where things are, how the program is started and
# stopped, waiting, and the xdotool and picture helpers. The probe helpers
# call the hot-key probe the script names in $probe.
app=${VEXLIN_APP:?}
scratch=${VEXLIN_RIG_HOME:?}
conf="$XDG_CONFIG_HOME/Vexlin/VexlinCapture.conf"
log="$scratch/app.log" # the program's output
shots="$scratch/shots" # the save folder, once save_to_shots has set it
work="$scratch/work"

# Ends the test; the program's output, if it ran, helps to tell why.
fail() {
    echo "FAIL: $*"
    [ -f "$log" ] && sed 's/^/  app: /' "$log"
    exit 1
}

setting() { echo "$1=$2" >>"$conf"; }

# The program saves to $shots; $work holds the test's own files.
save_to_shots() {
    mkdir -p "$shots" "$work"
    setting saveFolderBookmark "$shots"
}

wait_for() { # tenths of a second, command…
    # The limit only bounds a failure: a busy machine (CI may get two cores)
    # needs far more than a quiet one to reach the same condition.
    local deadline=$(($(date +%s%N) + $1 * 100000000 * ${VEXLIN_TEST_PATIENCE:-3}))
    shift
    while ! "$@"; do
        [ "$(date +%s%N)" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# The program, tracing its coordinator to $log; ready once its hot keys are
# registered (the trace's first line). Arguments are a command that runs it
# and execs it in the end (so $pid stays the program's), such as taskset.
pid=""
start_app() {
    VEXLIN_TRACE_COORDINATOR=1 "$@" "$app" >"$log" 2>&1 &
    pid=$!
    for _ in $(seq 1 200); do
        grep -q "hotkeys conflicts=" "$log" 2>/dev/null && return 0
        kill -0 "$pid" 2>/dev/null || fail "the program ended at start"
        sleep 0.05
    done
    fail "the program did not register its hot keys"
}
stop_app() {
    [ -n "$pid" ] || return 0
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=""
}

no_failure_traced() {
    if grep -q "step-failed" "$log"; then fail "a capture step failed"; fi
    kill -0 "$pid" 2>/dev/null || fail "the program ended"
}

# The windows of the program that are mapped now.
our_windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true; }
# The mapped ones whose title matches the pattern; without --all xdotool takes
# any window of the pid as well.
our_windows_named() { xdotool search --all --onlyvisible --pid "$pid" --name "$1" 2>/dev/null || true; }
no_window_shown() { [ -z "$(our_windows)" ]; }

# Waits until the selection overlay is up (one override-redirect window per display).
overlay_up() { [ -n "$(our_windows)" ]; }
wait_for_overlay() {
    wait_for 30 overlay_up || fail "no selection overlay after the hot key"
    sleep 0.3
}

# A drag as a hand makes it.
drag() { # x1 y1 x2 y2
    xdotool mousemove "$1" "$2"
    sleep 0.15
    xdotool mousedown 1
    sleep 0.05
    xdotool mousemove $((($1 + $3) / 2)) $((($2 + $4) / 2))
    sleep 0.05
    xdotool mousemove "$3" "$4"
    sleep 0.05
    xdotool mouseup 1
}

# probe_says STATUS MODIFIERS KEY: another client's grab of the key, in every
# lock variant, ends with STATUS (0 all granted, 3 all refused with BadAccess).
probe_says() {
    local want=$1 status=0 out
    shift
    out=$("$probe" "$@") || status=$?
    [ "$status" = "$want" ] || fail "probe $*: status $status, not $want; it said: $(tr '\n' ' ' <<<"$out")"
}

# hold_with_probe MODIFIERS KEY: another client grabs the key and keeps it
# until $holder is ended.
holder=""
hold_with_probe() {
    local held="$scratch/holder.out"
    "$probe" --hold "$1" "$2" >"$held" &
    holder=$!
    for _ in $(seq 50); do
        grep -q holding "$held" && break
        sleep 0.1
    done
    [ "$(grep -c granted "$held")" = 4 ] || fail "the probe could not grab: $(cat "$held")"
}

# Everything in the save folder, hidden files too: a temporary file left
# behind counts.
files() { find "$shots" -mindepth 1 -maxdepth 1 | sort; }
# Exactly one entry, and a finished one (not a hidden temporary file).
one_file() {
    local all
    all=$(files)
    [ -n "$all" ] && [ "$(wc -l <<<"$all")" = 1 ] && [[ "$(basename "$all")" != .* ]]
}
size_of() { identify -format '%wx%h' "$1"; }
# Where a window stands: "WxH+X+Y" on the root.
window_geometry() {
    local info
    info=$(xwininfo -id "$1")
    printf '%sx%s+%s+%s' \
        "$(awk '/^  Width:/ {print $2}' <<<"$info")" \
        "$(awk '/^  Height:/ {print $2}' <<<"$info")" \
        "$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")" \
        "$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")"
}
# Pixels that differ between two pictures (alpha left out).
differing() {
    convert "$1" -alpha off "$work/a.png"
    convert "$2" -alpha off "$work/b.png"
    compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1 || true
}
# Pixels of two pictures inside a W×H rectangle of each, a border of 3
# pixels left out (a pin's rounded corners and edge).
same_inside() { # picture x y picture x y WxH what
    local w=${7%x*} h=${7#*x} differ
    convert "$1" -crop "$((w - 6))x$((h - 6))+$(($2 + 3))+$(($3 + 3))" +repage "$work/inside-a.png"
    convert "$4" -crop "$((w - 6))x$((h - 6))+$(($5 + 3))+$(($6 + 3))" +repage "$work/inside-b.png"
    differ=$(differing "$work/inside-a.png" "$work/inside-b.png")
    [ "$differ" = 0 ] || fail "$8: $differ pixels differ"
}

# A file manager played by the test (fake_file_manager.cpp) on a private
# session bus, which the program started after this call uses. Each request
# to show files adds their URIs to $shown, one a line.
bus_pid=""
manager_pid=""
shown="$scratch/shown.txt"
start_fake_file_manager() { # program
    local bus_address
    bus_address=$(mktemp -u "$scratch/bus-XXXXXX")
    dbus-daemon --session --nofork --address="unix:path=$bus_address" --print-address=1 \
        >"$scratch/bus.out" 2>&1 &
    bus_pid=$!
    bus_up() { [ -s "$scratch/bus.out" ]; }
    wait_for 50 bus_up || fail "no session bus"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$bus_address"
    "$1" "$shown" >"$scratch/manager.out" 2>&1 &
    manager_pid=$!
    manager_up() { grep -q ready "$scratch/manager.out"; }
    wait_for 50 manager_up || fail "the file manager did not start: $(cat "$scratch/manager.out")"
}
stop_fake_file_manager() {
    [ -z "$manager_pid" ] || kill "$manager_pid" 2>/dev/null || true
    [ -z "$bus_pid" ] || kill "$bus_pid" 2>/dev/null || true
    manager_pid=""
    bus_pid=""
}
# Waits for the file manager's one request and sets $shown_file to the local
# path of the one file it was asked to show.
shown_file=""
read_shown_file() {
    local uri
    asked() { [ -s "$shown" ]; }
    wait_for 50 asked || fail "the file manager was not asked"
    sleep 0.3 # a second request would come by now
    [ "$(wc -l <"$shown")" = 1 ] || fail "asked: $(cat "$shown")"
    uri=$(cat "$shown")
    [[ "$uri" == file:///* ]] || fail "not a file URI: $uri"
    shown_file=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.unquote(sys.argv[1][7:]))' "$uri")
}

# start_target X Y W H: a window of the capture target the script names in
# $target_program (capture_target.cpp) whose client area shows the pattern at
# X,Y; its id in $target_id, its process added to $targets for the script to
# end. A window manager that is still starting may drop the first map
# request, so a target that is not mapped soon is started again.
targets=()
target_id=""
start_target() {
    local attempt out
    for attempt in 1 2 3 4 5; do
        out="$work/target.$attempt.$RANDOM"
        "$target_program" "$1" "$2" "$3" "$4" Pattern VexlinTarget >"$out" &
        targets+=($!)
        for _ in $(seq 1 60); do
            target_id=$(head -n1 "$out" 2>/dev/null || true)
            [ -n "$target_id" ] && break
            sleep 0.05
        done
        [ -n "$target_id" ] && break
        kill "${targets[-1]}" 2>/dev/null || true
        unset 'targets[-1]'
    done
    [ -n "$target_id" ] || fail "the target window did not appear"
    sleep 0.5 # placed and drawn by the window manager
}
