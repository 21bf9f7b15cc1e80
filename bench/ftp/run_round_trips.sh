#!/bin/bash
# What one file costs on the control connection: a local pyftpdlib serves N files of 10 KB,
# bench_ftp_round_trips downloads and uploads each over one session, first asking SIZE per
# file, then with the sizes of one listing (as a queue has them); the commands the server
# received for the last file are printed from its log (N >= 2).
# Usage: bench/ftp/run_round_trips.sh [files, default 20]
set -eu
N=${1:-20}
SRC=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${BUILD:-$SRC/build}
BENCH="$BUILD/bench/ftp/bench_ftp_round_trips"
[ -x "$BENCH" ] || cmake --build "$BUILD" --target bench_ftp_round_trips -j2 >/dev/null
DIR=$(mktemp -d /tmp/tw-round-trips.XXXXXX)
mkdir "$DIR/root"
NAMES=()
for i in $(seq 1 "$N"); do
    head -c 10240 /dev/urandom >"$DIR/root/f$i.bin"
    NAMES+=("f$i.bin")
done
/usr/bin/python3 "$SRC/tests/fixtures/ftp_pyftpdlib_server.py" "$DIR/root" --log "$DIR/log" \
    >"$DIR/port" &
SERVER=$!
trap 'kill $SERVER 2>/dev/null; rm -rf "$DIR"' EXIT
for _ in $(seq 1 100); do grep -q PORT "$DIR/port" 2>/dev/null && break; sleep 0.05; done
PORT=$(awk '{print $2}' "$DIR/port")
for mode in "" --listed; do
    : >"$DIR/log"
    echo "== ${mode:-SIZE per file}: $("$BENCH" 127.0.0.1 "$PORT" $mode "${NAMES[@]}")"
    sed -n 's/.*\] <- //p' "$DIR/log" |
        awk -v prev="STOR up-f$((N - 1)).bin" 'on && $0 != "QUIT" {print "   " $0} $0 == prev {on=1}'
done
