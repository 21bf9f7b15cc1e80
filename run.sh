#!/usr/bin/env bash
# Installs what is missing, builds (Release, incremental) and starts Tarnwick 2000.
#   ./run.sh            with a local demo FTP server and a demo profile of its own
#   ./run.sh --no-demo  on your own settings, no demo server
set -euo pipefail
cd "$(dirname "$0")"

demo=1
if [ "${1:-}" = "--no-demo" ]; then
    demo=0
    shift
fi

"$(pwd)/scripts/deps.sh" run

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs" --target tarnwick2000 tarnwick-ftp
program=./build/src/app/tarnwick2000

if [ "$demo" -eq 0 ]; then
    exec "$program" "$@"
fi

# The demo profile: its own settings file and a server that lives as long as the program.
demo_dir="${XDG_DATA_HOME:-$HOME/.local/share}/Quellwork/Tarnwick 2000/demo"
mkdir -p "$demo_dir"
read -r server_pid server_port < <(scripts/demo_server.sh "$demo_dir")
trap 'kill "$server_pid" 2>/dev/null || true' EXIT INT TERM
echo "Demo FTP server on 127.0.0.1:$server_port serving $demo_dir/tree"
TARNWICK2000_SETTINGS="$demo_dir/settings.conf" \
TARNWICK2000_DEMO_SERVER="127.0.0.1:$server_port" \
    "$program" "$@"
