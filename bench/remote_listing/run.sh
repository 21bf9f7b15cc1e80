#!/bin/sh
# Builds the remote listing benchmark (Release) and runs it offscreen.
#   bench/remote_listing/run.sh [entry count, default 100000] [runs, default 5]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${TW_BENCH_BUILD_DIR:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTW_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target bench_remote_listing
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/remote_listing/bench_remote_listing" "$@"
