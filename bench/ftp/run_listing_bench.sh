#!/bin/bash
# Listing benchmark: a directory of 100 000 entries on a local vsftpd, tarnwick-ftp ls against
# curl fetching the same listing, alternating runs; then the parser alone on 1 000 000 lines.
# Usage: bench/ftp/run_listing_bench.sh [rounds, default 5]
set -eu
ROUNDS=${1:-5}
. "$(dirname "$0")/bench_common.sh"
need curl curl; need bc bc; need /usr/sbin/vsftpd vsftpd
[ -x "$TW" ] || cmake --build "$BUILD" --target tarnwick-ftp -j2 >/dev/null
start_vsftpd
LIST="$BENCH_DIR/root/list"
if [ "$(ls "$LIST" 2>/dev/null | wc -l)" != 100000 ]; then
    rm -rf "$LIST"; mkdir -p "$LIST"
    /usr/bin/python3 -c "
import os
for i in range(100000):
    open(os.path.join('$LIST', 'entry-%06d.dat' % i), 'w').close()
"
fi
URL="ftp://127.0.0.1:$PORT/list/"
n=$("$TW" ls "$URL" | wc -l)
echo "tarnwick-ftp ls lists $n entries" >&2
TW_T=; CURL_T=
for round in $(seq 1 "$ROUNDS"); do
    TW_T+=" $(time_of "$TW" ls "$URL")"
    CURL_T+=" $(time_of curl -s "$URL")"
done
tw=$(median $(wall_of $TW_T)); cu=$(median $(wall_of $CURL_T))
twc=$(median $(cpu_of $TW_T)); cuc=$(median $(cpu_of $CURL_T))
printf 'listing of 100000 entries, median of %s: wall tarnwick-ftp ls %.3f s, curl %.3f s, ratio %.2f; client CPU %.3f s vs %.3f s\n' \
    "$ROUNDS" "$tw" "$cu" "$(echo "$tw / $cu" | bc -l)" "$twc" "$cuc"
[ -x "$BUILD/bench/ftp/bench_ftp_parser" ] || cmake --build "$BUILD" --target bench_ftp_parser -j2 >/dev/null
"$BUILD/bench/ftp/bench_ftp_parser" 1000000
