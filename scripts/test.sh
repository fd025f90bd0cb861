#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite, then
# the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# then a short run of the fuzzers.
#   --no-sanitizers  skips the second build and the fuzzers (quicker while developing)
set -euo pipefail
cd "$(dirname "$0")/.."
sanitizers=1
[ "${1:-}" = "--no-sanitizers" ] && sanitizers=0

bash scripts/setup.sh --test
jobs=$(nproc)

bash scripts/build.sh build -DVEXLIN_BUILD_TESTS=ON
(cd build && ctest --output-on-failure --parallel "$jobs" --timeout 300)

if [ "$sanitizers" = 1 ]; then
    # Only the unit-test programs: the sanitizers need no second copy of the
    # app, the benchmarks or the X11 drivers.
    unit_targets=$(cd tests && for d in */; do
        d=${d%/}
        case "$d" in x11 | support) continue ;; esac
        if compgen -G "$d/*.cpp" >/dev/null; then echo "test_$d"; fi
    done)
    # shellcheck disable=SC2086
    bash scripts/build.sh build-asan -DVEXLIN_BUILD_TESTS=ON -DVEXLIN_SANITIZE=ON \
        -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -- $unit_targets
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    (cd build-asan && ctest --output-on-failure --parallel "$jobs" --timeout 600 -L unit)

    # A short run of the JSON fuzzers (clang's libFuzzer with ASan and UBSan).
    bash scripts/fuzz.sh 15
fi
