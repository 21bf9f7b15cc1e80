#!/bin/sh
# Builds the FTP parser fuzz targets with clang and libFuzzer and runs each for a while.
# Usage: bench/ftp/run_fuzz.sh [seconds per target, default 60] [build dir]
set -eu
SECONDS_EACH=${1:-60}
SRC=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${2:-/tmp/tarnwick-ftp-fuzz}
command -v clang++ >/dev/null || { echo "clang++ is needed (apt-get install clang)"; exit 1; }
cmake -S "$SRC" -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DTW_FUZZ=ON -DTW_BUILD_GUI=OFF >/dev/null
cmake --build "$BUILD" -j2 --target fuzz_ftp_reply fuzz_ftp_listing
for target in reply listing; do
    corpus="$BUILD/corpus-$target"
    mkdir -p "$corpus"
    if [ "$target" = listing ]; then
        printf 'A-rw-r--r-- 1 u g 5 Jan 1 12:00 one.txt\n04-27-00  09:09PM <DIR> d\ntype=file;size=1;modify=20200101000000; f\n' >"$corpus/seed"
    else
        printf '211-Features:\r\n MLST type*;\r\n211 End\r\n257 "/a ""b"""\r\n229 (|||6446|)\r\n227 (127,0,0,1,4,1)\r\n' >"$corpus/seed"
    fi
    echo "== fuzz_ftp_$target for ${SECONDS_EACH}s"
    "$BUILD/bench/ftp/fuzz_ftp_$target" -max_total_time="$SECONDS_EACH" -max_len=4096 \
        -print_final_stats=1 "$corpus" 2>&1 | grep -E 'stat::number_of_executed_units|Done|ERROR|SUMMARY' || true
done
