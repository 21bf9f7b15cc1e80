#!/usr/bin/env bash
# Installs what is missing, builds (Release, incremental) and starts Tarnwick 2000.
set -euo pipefail
cd "$(dirname "$0")"

"$(pwd)/scripts/deps.sh" run

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs" --target tarnwick2000 tarnwick-ftp
exec ./build/src/app/tarnwick2000 "$@"
