#!/bin/sh
# Builds the fuzz targets (FTP replies, FTP listings, the FTP session against a scripted
# server, account export files) with clang and
# libFuzzer and runs each for a while, one after the other.
# Usage: bench/ftp/run_fuzz.sh [seconds per target, default 60] [build dir] [target...]
set -eu
SECONDS_EACH=${1:-60}
SRC=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${2:-/tmp/tarnwick-ftp-fuzz}
[ $# -ge 2 ] && shift 2 || shift $#
TARGETS=${*:-reply listing session accounts}
command -v clang++ >/dev/null || { echo "clang++ is needed (apt-get install clang)"; exit 1; }
cmake -S "$SRC" -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DTW_FUZZ=ON -DTW_BUILD_GUI=OFF >/dev/null
cmake --build "$BUILD" -j2 --target fuzz_ftp_reply fuzz_ftp_listing fuzz_ftp_session fuzz_account_import
for target in $TARGETS; do
    corpus="$BUILD/corpus-$target"
    mkdir -p "$corpus"
    case $target in
    listing)
        binary="$BUILD/bench/ftp/fuzz_ftp_listing" max_len=4096
        printf 'A-rw-r--r-- 1 u g 5 Jan 1 12:00 one.txt\n04-27-00  09:09PM <DIR> d\ntype=file;size=1;modify=20200101000000; f\n' >"$corpus/seed"
        ;;
    reply)
        binary="$BUILD/bench/ftp/fuzz_ftp_reply" max_len=4096
        printf '211-Features:\r\n MLST type*;\r\n211 End\r\n257 "/a ""b"""\r\n229 (|||6446|)\r\n227 (127,0,0,1,4,1)\r\n' >"$corpus/seed"
        ;;
    session)
        # Pieces at NUL bytes: greeting, login replies, then LIST's 150 / data / 226.
        binary="$BUILD/bench/ftp/fuzz_ftp_session" max_len=8192
        printf '220 Hi\r\n\000331 Pw\r\n\000230 In\r\n\000211-F\r\n SIZE\r\n211 E\r\n\000215 UNIX\r\n\000200 I\r\n\000150 Go\r\n\000-rw-r--r-- 1 u g 5 Jan 1 2020 a\r\n\000226 Ok\r\n\000213 5\r\n\000150 Go (5 bytes)\r\n\000hello\000226 Ok\r\n\000250 Ok\r\n\000257 "/sub"\r\n' >"$corpus/seed"
        ;;
    accounts)
        binary="$BUILD/bench/accounts/fuzz_account_import" max_len=16384
        cp "$SRC"/bench/accounts/seeds/*.twx "$corpus/"
        ;;
    *)
        echo "unknown target $target"
        exit 1
        ;;
    esac
    echo "== $(basename "$binary") for ${SECONDS_EACH}s"
    "$binary" -max_total_time="$SECONDS_EACH" -max_len="$max_len" -print_final_stats=1 \
        -artifact_prefix="$BUILD/crash-$target-" "$corpus" 2>&1 |
        grep -E 'stat::number_of_executed_units|Done|ERROR|SUMMARY|crash-' || true
done
