#!/usr/bin/env bash
# Installs what is missing, builds and runs every test through CTest.
#   ./test.sh               the whole suite (unit, integration, ui)
#   ./test.sh --sanitize    the unit tests under AddressSanitizer + UBSan (build-asan/)
set -euo pipefail
cd "$(dirname "$0")"

"$(pwd)/scripts/deps.sh" test

jobs=$(nproc 2>/dev/null || echo 2)
if [ "${1:-}" = "--sanitize" ]; then
    build=build-asan
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTW_SANITIZE=ON -DTW_BUILD_GUI=OFF \
        -DTW_WERROR=${CI:+ON} >/dev/null
    cmake --build "$build" -j "$jobs"
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --test-dir "$build" -L unit --output-on-failure -j "$jobs"
    exit
fi

build=build
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTW_WERROR=${CI:+ON} >/dev/null
cmake --build "$build" -j "$jobs"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$jobs"
