#!/bin/sh
# Builds the fuzz targets (FTP replies, FTP listings, the FTP session against a scripted
# server, tarnwick-ftp's command line and URLs, SIZE / 150 reply sizes, certificate
# descriptions, account export files) with clang and
# libFuzzer and runs each for a while, one after the other.
# Usage: bench/ftp/run_fuzz.sh [seconds per target, default 60] [build dir] [target...]
set -eu
SECONDS_EACH=${1:-60}
SRC=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${2:-/tmp/tarnwick-ftp-fuzz}
[ $# -ge 2 ] && shift 2 || shift $#
TARGETS=${*:-reply listing session cli reply_numbers certificate accounts}
command -v clang++ >/dev/null || { echo "clang++ is needed (apt-get install clang)"; exit 1; }
cmake -S "$SRC" -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DTW_FUZZ=ON -DTW_BUILD_GUI=OFF >/dev/null
cmake --build "$BUILD" -j2 --target fuzz_ftp_reply fuzz_ftp_listing fuzz_ftp_session fuzz_ftp_cli \
    fuzz_ftp_reply_numbers fuzz_ftp_certificate fuzz_account_import
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
    cli)
        binary="$BUILD/bench/ftp/fuzz_ftp_cli" max_len=1024
        printf 'get\0ftp://u:p%%40@[::1]:2121//pub/a%%20b\0local' >"$corpus/seed-get"
        printf -- '--tls=explicit\0-P\0003\0ls\0ftpes://h:65535/x' >"$corpus/seed-tls"
        printf 'ls\0ftp://h:48460417183/' >"$corpus/seed-port"
        ;;
    reply_numbers)
        binary="$BUILD/bench/ftp/fuzz_ftp_reply_numbers" max_len=1024
        printf '\001213 18446744073709551615' >"$corpus/seed-size"
        printf '\000150 Opening BINARY mode data connection for f (42 bytes).' >"$corpus/seed-150"
        ;;
    certificate)
        binary="$BUILD/bench/ftp/fuzz_ftp_certificate" max_len=8192
        for kind in rsa:2048 ec; do
            name=$(echo "$kind" | tr -d ':')
            if [ "$kind" = ec ]; then
                key="-newkey ec -pkeyopt ec_paramgen_curve:P-256"
            else
                key="-newkey $kind"
            fi
            # shellcheck disable=SC2086
            openssl req -x509 $key -nodes -keyout /dev/null -days 30 -outform DER \
                -subj "/CN=ftp.example.org/O=Example $name" \
                -addext "subjectAltName=DNS:ftp.example.org,DNS:*.example.org,IP:127.0.0.1,IP:::1" \
                -out "$corpus/seed-$name.der" 2>/dev/null
        done
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
