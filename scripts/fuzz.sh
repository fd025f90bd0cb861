#!/usr/bin/env bash
# Builds the JSON fuzzers with clang's libFuzzer (plus ASan and UBSan) in
# build-fuzz/ and runs each for a while on a copy of its seed corpus.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 20)
#   scripts/fuzz.sh --build-only           (builds them and runs none)
set -euo pipefail
cd "$(dirname "$0")/.."
build_only=0
[ "${1:-}" = "--build-only" ] && build_only=1 && shift
seconds=${1:-20}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -gline-tables-only"
# -O1 and line tables only, as libFuzzer's documentation suggests: the build is
# most of what this script spends, and crashes still name their lines.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="-O1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" \
    -DVEXLIN_FUZZ=ON -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
targets=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
# shellcheck disable=SC2086
cmake --build build-fuzz --parallel "$(nproc)" --target $targets
[ "$build_only" = 0 ] || exit 0
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# One fuzzer per core at a time; each prints its last lines when it ends.
fuzz_one() {
    local target=$1 corpus status=0 out lines=3
    corpus=$(mktemp -d)
    cp -r "fuzz/corpus/${target#fuzz_}/." "$corpus/"
    local limits=() options=$ASAN_OPTIONS
    if [ "$target" = fuzz_camera_positions ] || [ "$target" = fuzz_settings_file ]; then
        # Qt's stream reader reserves whatever a corrupt length says (up to
        # 100 GB and more), never touches it and copes when it is refused; the
        # settings file holds the camera positions' stream form too.
        # Outside the sanitizer that costs nothing; inside, the shadow of a
        # granted one fills the memory, so big ones are refused here.
        limits=(-malloc_limit_mb=100000000)
        options=$options:allocator_may_return_null=1:max_allocation_size_mb=2048
    fi
    # Leaks are not reported (detect_leaks=0 above), so libFuzzer's second run
    # of every input that keeps memory would look for them in vain.
    out=$(ASAN_OPTIONS=$options build-fuzz/fuzz/"$target" -max_total_time="$seconds" \
        -max_len=8192 -print_final_stats=0 -detect_leaks=0 ${limits[@]+"${limits[@]}"} \
        "$corpus" 2>&1) ||
        status=$?
    rm -rf "$corpus"
    [ "$status" = 0 ] || lines=80
    printf 'fuzzed %s for %ss\n%s\n' "$target" "$seconds" "$(tail -n "$lines" <<<"$out")"
    return "$status"
}
export -f fuzz_one
export seconds
# shellcheck disable=SC2086
printf '%s\n' $targets | xargs -P "$(nproc)" -I{} bash -c 'fuzz_one "$1"' _ {}
echo "fuzzers: no crash"
