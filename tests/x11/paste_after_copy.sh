#!/usr/bin/env bash
# A paste right after the full-screen copy hot key gets the new picture, not
# the clipboard's earlier contents: the program takes the clipboard at once
# and the paste waits for the encoding if it is not done yet. Run after run
# the desktop changes, the hot key is pressed, and as soon as the program says
# it has taken the clipboard xclip asks for the PNG, which must be the whole
# screen as it is now, every pixel; then the TIFF of the last run.
#
#   paste_after_copy.sh ROOT_PATTERN
#
# The rig is seeded with shell-onboarded.conf; its --screens gives the size.
set -euo pipefail
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
pattern=${1:?}
runs=8
mkdir -p "$work"
setting copyToClipboard true
setting saveToDisk false

trap stop_app EXIT

# The program gets two cores, as on a small machine, whatever this one has:
# then the encoding of a 4K screen outlasts the wait before the paste, and a
# clipboard that is only set once it is done gives the picture before.
two_cores() {
    local ranges range cpu cpus=()
    IFS=, read -ra ranges < <(sed -n 's/^Cpus_allowed_list:[[:space:]]*//p' /proc/self/status)
    for range in "${ranges[@]}"; do
        for cpu in $(seq "${range%-*}" "${range#*-}"); do
            cpus+=("$cpu")
            [ "${#cpus[@]}" = 2 ] && break 2
        done
    done
    local IFS=,
    echo "${cpus[*]}"
}

pasted_is() { # seed
    timeout 30 xclip -selection clipboard -t image/png -o >"$work/paste.png" 2>/dev/null &&
        "$pattern" check "$1" "$work/paste.png" >/dev/null
}

"$pattern" paint 0 || fail "could not paint the desktop"
start_app taskset -c "$(two_cores)"
# The first capture after start also sets up what later ones reuse (the
# sound, the grabber's buffers); it is not timed.
xdotool key control+shift+alt+super+3
wait_for 100 pasted_is 0 || fail "the first copy did not reach the clipboard"
waits=()
for run in $(seq 1 "$runs"); do
    "$pattern" paint "$run" || fail "could not paint the desktop"
    xdotool key control+shift+alt+super+3
    # A busy machine may take longer than a guess to act on the key; the
    # paste comes right after the program has taken the clipboard, while
    # its encoding is still to come.
    taken() { [ "$(grep -c "clipboard taken" "$log")" -gt "$run" ]; }
    wait_for 100 taken || fail "run $run: the program did not take the clipboard"
    started=$(date +%s%N)
    timeout 30 xclip -selection clipboard -t image/png -o >"$work/paste.png" ||
        fail "run $run: xclip could not read a PNG from the clipboard"
    waits+=($((($(date +%s%N) - started) / 1000000)))
    verdict=$("$pattern" check "$run" "$work/paste.png") || fail "run $run: $verdict"
done
# The TIFF form, made from the PNG when a paste asks for it, is the same
# picture.
timeout 30 xclip -selection clipboard -t image/tiff -o >"$work/paste.tiff" ||
    fail "xclip could not read a TIFF from the clipboard"
convert "$work/paste.tiff" "$work/paste-tiff.png" || fail "the pasted TIFF does not decode"
verdict=$("$pattern" check "$runs" "$work/paste-tiff.png") || fail "TIFF: $verdict"
no_failure_traced
echo "xclip took (ms): ${waits[*]}"
echo "$runs passed, 0 failed"
