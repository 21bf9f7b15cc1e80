#!/bin/sh
# Transfer benchmark: the program's own transfer worker against curl and lftp.
#
# What it measures: the real main window, offscreen, connected to a local vsftpd on 127.0.0.1,
# with the progress window and the status bar live, copies
#   - one 1 GiB file, download and upload, with 4096- and 128-byte blocks, zero-copy (splice /
#     sendfile) on and off (each setting on a fresh connection);
#   - a batch of 1000 files of 10 000 bytes, download and upload (4096-byte blocks, zero-copy).
# Each run is timed from the start of the batch to its end (busy cleared, worker joined); the
# CPU time is that of the whole process (getrusage, user + system, every thread). Every round
# also runs curl and lftp against the same server, alternating with ours: curl -o / -T and lftp
# get / put for the 1 GiB file; for the batch lftp mget / mput and a curl loop (one process per
# file; TW_BENCH_CURL_ONE_PROCESS=1 adds one curl with all URLs in a -K config file, which
# curl 7.88 slows down by a 1 s wait on many of its reused connections); their CPU comes from
# /usr/bin/time (a loop's children included). Downloads
# write real files in a folder under /tmp (the same disk for all), uploads read the same 1 GiB
# file. Each figure is the median of the rounds; one line per figure with the peers beside
# ours, then a table and the targets (4096-byte blocks as fast as the faster peer, with
# zero-copy 1.2x faster and less CPU; 128-byte blocks within 10 %; the batch no slower than
# lftp). The destination pane is not relisted after a batch (Refresh off), as the peers do not.
#
# Usage: bench/transfer/run.sh [rounds, default 3] [small file count, default 1000]
# The 1 GiB file is /tmp/tarnwick-ftp-bench-1GiB.bin (made once from /dev/urandom, kept for
# the next run). Needs vsftpd, curl, lftp and /usr/bin/time; about 3 GiB free in /tmp.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${TW_BENCH_BUILD_DIR:-$root/build-bench}
big=${TW_BENCH_BIG:-/tmp/tarnwick-ftp-bench-1GiB.bin}
for tool in /usr/sbin/vsftpd curl lftp /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is needed (scripts/deps.sh)"; exit 1; }
done
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTW_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target bench_transfer
if [ ! -f "$big" ] || [ "$(stat -c %s "$big")" != 1073741824 ]; then
    echo "making $big"
    head -c 1073741824 /dev/urandom >"$big.part" && mv "$big.part" "$big"
fi
TW_BENCH_BIG=$big QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
    "$build/bench/transfer/bench_transfer" "$@"
