#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the X11 suite against
# the release build, the unit tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer, then a short run of the fuzzers.
#   --no-sanitizers  builds and runs everything in the release build alone and
#                    skips the fuzzers (quicker while developing)
set -euo pipefail
cd "$(dirname "$0")/.."
sanitizers=1
[ "${1:-}" = "--no-sanitizers" ] && sanitizers=0

bash scripts/setup.sh --test
jobs=$(nproc)

if [ "$sanitizers" = 0 ]; then
    bash scripts/build.sh build -DVEXLIN_BUILD_TESTS=ON
    (cd build && ctest --output-on-failure --parallel "$jobs" --timeout 300)
    exit
fi

# Builds that run beside tests, at the lowest priority: the tests there mostly
# wait (on windows, files, timers), the build takes the CPU they leave idle,
# and they get theirs back whenever they want it. Each runs in a process group
# of its own (so that an interrupted run stops all of it), its output kept in
# a file and shown once the tests beside it are done.
beside_pid=""
beside_log=""
start_beside() { # command…
    beside_log=$(mktemp)
    setsid nice -n 19 "$@" >"$beside_log" 2>&1 &
    beside_pid=$!
}
finish_beside() { # → the command's status
    local status=0
    wait "$beside_pid" || status=$?
    cat "$beside_log"
    rm -f "$beside_log"
    beside_pid=""
    return "$status"
}
stop_beside() {
    [ -z "$beside_pid" ] || kill -- -"$beside_pid" 2>/dev/null || true
    [ -z "$beside_log" ] || rm -f "$beside_log"
}
trap stop_beside EXIT

# The release build: the program and the X11 suite's programs; the suite runs
# on them while the benchmarks (built so that they keep compiling; they never
# run as tests) and the sanitizer build of the unit tests are built beside it.
bash scripts/build.sh build -DVEXLIN_BUILD_TESTS=ON -- vexlin-capture x11_tests
start_beside bash -c "cmake --build build --parallel $jobs --target benchmarks &&
    bash scripts/build.sh build-asan -DVEXLIN_BUILD_TESTS=ON -DVEXLIN_SANITIZE=ON \
        -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -- unit_tests"
status=0
(cd build && ctest --output-on-failure --parallel "$jobs" --timeout 300 -L x11) || status=$?
finish_beside || exit
[ "$status" = 0 ] || exit "$status"

# The unit tests, with the fuzzers' build beside them.
start_beside bash scripts/fuzz.sh --build-only
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure --parallel "$jobs" --timeout 600 -L unit) || status=$?
finish_beside || exit
[ "$status" = 0 ] || exit "$status"

# A short run of the JSON fuzzers (clang's libFuzzer with ASan and UBSan).
bash scripts/fuzz.sh 15
