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

# The release build: the program, the X11 suite's programs and the benchmarks
# (built so that they keep compiling; they never run as tests). The unit tests
# run once, in the sanitizer build below.
bash scripts/build.sh build -DVEXLIN_BUILD_TESTS=ON -- vexlin-capture x11_tests benchmarks
(cd build && ctest --output-on-failure --parallel "$jobs" --timeout 300 -L x11)

bash scripts/build.sh build-asan -DVEXLIN_BUILD_TESTS=ON -DVEXLIN_SANITIZE=ON \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -- unit_tests
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure --parallel "$jobs" --timeout 600 -L unit)

# A short run of the JSON fuzzers (clang's libFuzzer with ASan and UBSan).
bash scripts/fuzz.sh 15
