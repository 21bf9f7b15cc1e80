#!/bin/bash
# FTPS benchmark: a 1 GiB file over loopback from a local vsftpd with explicit FTP over TLS
# (require_ssl_reuse=YES), download and upload, tarnwick-ftp against curl --ssl-reqd and lftp
# with ftp:ssl-force, the tools alternating within each round. Prints the median MB/s per tool
# and direction and the TLS version and cipher the server negotiates.
# Usage: bench/ftps/run.sh [rounds, default 5]
# Environment: BUILD (build folder holding src/cli/tarnwick-ftp, default build-ftp),
# TW_BENCH_TRUST=ca|pin (how tarnwick-ftp accepts the certificate, default ca),
# TW_BENCH_SIZE (bytes of the file, default 1 GiB; smaller only to try the script out).
set -eu
ROUNDS=${1:-5}
TRUST=${TW_BENCH_TRUST:-ca}
BENCH_DIR=${BENCH_DIR:-/tmp/tarnwick-ftps-bench}
. "$(dirname "$0")/../ftp/bench_common.sh"
need curl curl; need lftp lftp; need openssl openssl; need bc bc; need /usr/sbin/vsftpd vsftpd
[ -x "$TW" ] || cmake --build "$BUILD" --target tarnwick-ftp -j2 >/dev/null

# A certificate for 127.0.0.1 and localhost, made fresh in the bench folder.
mkdir -p "$BENCH_DIR"
CERT="$BENCH_DIR/cert.pem"
KEY="$BENCH_DIR/key.pem"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$KEY" -out "$CERT" -days 2 \
    -subj /CN=localhost -addext subjectAltName=IP:127.0.0.1,DNS:localhost 2>/dev/null
FP=$(openssl x509 -in "$CERT" -noout -fingerprint -sha256 | cut -d= -f2)

VSFTPD_EXTRA="ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
ssl_ciphers=HIGH
ssl_tlsv1=NO
ssl_sslv2=NO
ssl_sslv3=NO
rsa_cert_file=$CERT
rsa_private_key_file=$KEY"
VSFTPD_PROBE="--ssl-reqd --cacert $CERT"
start_vsftpd

SIZE=${TW_BENCH_SIZE:-1073741824}
if [ "$SIZE" = 1073741824 ]; then BIG=/tmp/tarnwick-ftp-bench-1GiB.bin; else BIG=$BENCH_DIR/file-$SIZE.bin; fi
[ -f "$BIG" ] && [ "$(stat -c %s "$BIG")" = "$SIZE" ] || head -c "$SIZE" /dev/urandom >"$BIG"
ln -f "$BIG" "$BENCH_DIR/root/big.bin" 2>/dev/null || cp "$BIG" "$BENCH_DIR/root/big.bin"

if [ "$TRUST" = pin ]; then TWTRUST=(--pin-sha256 "$FP"); else TWTRUST=(--ca-file "$CERT"); fi
TWURL="ftpes://127.0.0.1:$PORT"
URL="ftp://127.0.0.1:$PORT"
LFTP="set net:max-retries 1; set ftp:ssl-force true; set ftp:ssl-allow-anonymous true; set ftp:ssl-protect-data true; set ssl:verify-certificate yes; set ssl:ca-file $CERT; open $URL"
# time_of of bench_common.sh, also noting a failed run: its figures would mean nothing.
rm -f "$BENCH_DIR/failed"
timed() {
    local TIMEFORMAT='%R %U %S' t
    t=$( { time "$@" >/dev/null 2>"$BENCH_DIR/last.err"; } 2>&1 ) ||
        { echo "FAILED: $*" >&2; cat "$BENCH_DIR/last.err" >&2; echo "$*" >>"$BENCH_DIR/failed"; }
    echo "$t" | awk '{printf "%s:%.3f", $1, $2 + $3}'
}
declare -A T
for round in $(seq 1 "$ROUNDS"); do
    T[get_tw]+=" $(timed "$TW" "${TWTRUST[@]}" get "$TWURL/big.bin" /dev/null)"
    T[get_curl]+=" $(timed curl -s --ssl-reqd --cacert "$CERT" -o /dev/null "$URL/big.bin")"
    T[get_lftp]+=" $(timed lftp -c "$LFTP; set xfer:clobber yes; get big.bin -o /dev/null")"
    T[put_tw]+=" $(timed "$TW" "${TWTRUST[@]}" put "$BIG" "$TWURL/up-tw.bin")"
    rm -f "$BENCH_DIR/root/up-tw.bin"
    T[put_curl]+=" $(timed curl -s --ssl-reqd --cacert "$CERT" -T "$BIG" "$URL/up-curl.bin")"
    rm -f "$BENCH_DIR/root/up-curl.bin"
    T[put_lftp]+=" $(timed lftp -c "$LFTP; put $BIG -o up-lftp.bin")"
    rm -f "$BENCH_DIR/root/up-lftp.bin"
    echo "round $round done" >&2
done
mbps() { echo "$SIZE / 1000000 / $1" | bc -l; }
echo "$SIZE bytes over explicit FTPS (vsftpd, require_ssl_reuse=YES), median of $ROUNDS rounds:"
for dir in get put; do
    peer_medians "$dir"
    printf '%s: tarnwick-ftp %.0f MB/s (%.2f s, CPU %.2f s), curl %.0f MB/s (%.2f s, CPU %.2f s), lftp %.0f MB/s (%.2f s, CPU %.2f s); time tarnwick-ftp / fastest peer %.2f\n' \
        "$dir" "$(mbps "$tw")" "$tw" "$twc" "$(mbps "$cu")" "$cu" "$cuc" "$(mbps "$lf")" "$lf" "$lfc" \
        "$(echo "$tw / $best" | bc -l)"
done
# What the server negotiates with an OpenSSL client (tarnwick-ftp and curl use OpenSSL too).
openssl s_client -starttls ftp -connect "127.0.0.1:$PORT" -CAfile "$CERT" </dev/null 2>/dev/null |
    awk '/^New, /{sub(",", "", $2); print "negotiated: " $2 ", cipher " $NF}'
rm -f "$BENCH_DIR/root/big.bin"
if [ -f "$BENCH_DIR/failed" ]; then
    echo "$(wc -l <"$BENCH_DIR/failed") runs FAILED (see above): these figures are not valid"
    exit 1
fi
