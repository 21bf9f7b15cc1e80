#!/bin/bash
# Transfer benchmark: a 1 GiB file over loopback from a local vsftpd, download and upload,
# tarnwick-ftp (4096-byte blocks) against curl and lftp, runs alternating between the tools.
# Usage: bench/ftp/run_transfer_bench.sh [rounds, default 3]
set -eu
ROUNDS=${1:-3}
. "$(dirname "$0")/bench_common.sh"
need curl curl; need lftp lftp; need bc bc; need /usr/sbin/vsftpd vsftpd
[ -x "$TW" ] || cmake --build "$BUILD" --target tarnwick-ftp -j2 >/dev/null
start_vsftpd
BIG=/tmp/tarnwick-ftp-bench-1GiB.bin
[ -f "$BIG" ] && [ "$(stat -c %s "$BIG")" = 1073741824 ] || head -c 1073741824 /dev/urandom >"$BIG"
ln -f "$BIG" "$BENCH_DIR/root/big.bin" 2>/dev/null || cp "$BIG" "$BENCH_DIR/root/big.bin"
URL="ftp://127.0.0.1:$PORT"
declare -A T
for round in $(seq 1 "$ROUNDS"); do
    T[get_tw]+=" $(time_of "$TW" --block-size 4096 get "$URL/big.bin" /dev/null)"
    T[get_curl]+=" $(time_of curl -s -o /dev/null "$URL/big.bin")"
    T[get_lftp]+=" $(time_of lftp -c "set net:max-retries 1; open $URL; set xfer:clobber yes; get big.bin -o /dev/null")"
    T[put_tw]+=" $(time_of "$TW" --block-size 4096 put "$BIG" "$URL/up-tw.bin")"
    rm -f "$BENCH_DIR/root/up-tw.bin"
    T[put_curl]+=" $(time_of curl -s -T "$BIG" "$URL/up-curl.bin")"
    rm -f "$BENCH_DIR/root/up-curl.bin"
    T[put_lftp]+=" $(time_of lftp -c "set net:max-retries 1; open $URL; put $BIG -o up-lftp.bin")"
    rm -f "$BENCH_DIR/root/up-lftp.bin"
    echo "round $round done" >&2
done
for dir in get put; do
    peer_medians "$dir"
    printf '%s 1 GiB, median of %s: wall tarnwick-ftp %.2f s (%.0f MiB/s), curl %.2f s, lftp %.2f s, ratio tarnwick/fastest %.2f; client CPU tarnwick-ftp %.2f s, curl %.2f s, lftp %.2f s, ratio %.2f\n' \
        "$dir" "$ROUNDS" "$tw" "$(echo "1024 / $tw" | bc -l)" "$cu" "$lf" "$(echo "$tw / $best" | bc -l)" \
        "$twc" "$cuc" "$lfc" "$(echo "$twc / $bestc" | bc -l)"
done
rm -f "$BENCH_DIR/root/big.bin"
