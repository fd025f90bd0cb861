#!/usr/bin/env bash
# Builds the JSON fuzzers with clang's libFuzzer (plus ASan and UBSan) in
# build-fuzz/ and runs each for a while on a copy of its seed corpus.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -g"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVEXLIN_FUZZ=ON -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
targets=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
# shellcheck disable=SC2086
cmake --build build-fuzz --parallel "$(nproc)" --target $targets
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in $targets; do
    corpus=$(mktemp -d)
    cp -r "fuzz/corpus/${target#fuzz_}/." "$corpus/"
    echo "fuzzing $target for ${seconds}s"
    limits=()
    options=$ASAN_OPTIONS
    if [ "$target" = fuzz_camera_positions ]; then
        # Qt's stream reader reserves whatever a corrupt length says (up to
        # 100 GB and more), never touches it and copes when it is refused.
        # Outside the sanitizer that costs nothing; inside, the shadow of a
        # granted one fills the memory, so big ones are refused here.
        limits=(-malloc_limit_mb=100000000)
        options=$options:allocator_may_return_null=1:max_allocation_size_mb=2048
    fi
    ASAN_OPTIONS=$options build-fuzz/fuzz/"$target" -max_total_time="$seconds" -max_len=8192 \
        -print_final_stats=0 ${limits[@]+"${limits[@]}"} "$corpus" 2>&1 | tail -n 3
    rm -rf "$corpus"
done
echo "fuzzers: no crash"
