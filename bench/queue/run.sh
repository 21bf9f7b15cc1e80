#!/bin/sh
# Transfer queue benchmark: the queue's folder download (bench_queue) against lftp, on a local
# vsftpd.
#
# What it measures, each the median of alternating rounds (ours, then lftp, then ours...):
#   - 200 files of 10 KB through wan_proxy.py with a 20 ms round trip: the queue with 4
#     connections against lftp "mirror -P 4", and with 1 connection against lftp "mget";
#   - 1 000 files of 10 KB on loopback, the same two pairs;
#   - a 1 GiB file on loopback (queue, 1 connection, against lftp "get"), and its resume from a
#     partial file of 512 MiB (against lftp "get -c").
# Targets: 4 connections at most 0.7 x lftp mirror -P 4 over the 20 ms link, 1 connection no
# slower than lftp mget. Every run writes into a fresh folder under $work, after a sync (the
# queue fsyncs each download before it takes its name; lftp does not, so its figures leave
# dirty pages behind); each copy is checked for its file count, a resumed file for its bytes.
#
# Usage: bench/queue/run.sh [rounds, default 5] [cases: a grep pattern of their names]
# Needs vsftpd, lftp, python3; about 3 GiB free in /tmp.
set -eu
rounds=${1:-5}
cases=${2:-.}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${TW_BENCH_BUILD_DIR:-$root/build}
proxy=${TW_WAN_PROXY:-/work/shared/tools/wan_proxy.py}
work=${TW_BENCH_WORK:-/tmp/tw-queue-bench}
for tool in /usr/sbin/vsftpd lftp python3; do
    command -v "$tool" >/dev/null || { echo "$tool is needed"; exit 1; }
done
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target bench_queue >/dev/null
driver=$build/bench/queue/bench_queue

mkdir -p "$work/served" "$work/empty"
make_files() { # folder count
    [ -d "$1" ] && [ "$(ls "$1" | wc -l)" = "$2" ] && return 0
    rm -rf "$1" && mkdir -p "$1"
    i=0
    while [ $i -lt "$2" ]; do
        head -c 10240 /dev/urandom >"$1/f$i.bin"
        i=$((i + 1))
    done
}
make_files "$work/served/small200" 200
make_files "$work/served/small1000" 1000
big=$work/served/big.bin
[ -f "$big" ] && [ "$(stat -c %s "$big")" = 1073741824 ] ||
    head -c 1073741824 /dev/urandom >"$big"

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
ftp_port=$(free_port)
cat >"$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$ftp_port
background=NO
anonymous_enable=YES
local_enable=NO
no_anon_password=YES
anon_root=$work/served
write_enable=NO
anon_world_readable_only=NO
pasv_enable=YES
seccomp_sandbox=NO
secure_chroot_dir=$work/empty
run_as_launching_user=YES
syslog_enable=NO
xferlog_enable=NO
max_clients=50
max_per_ip=50
CONF
/usr/sbin/vsftpd "$work/vsftpd.conf" &
vsftpd_pid=$!
wan_port=$(free_port)
python3 "$proxy" "$wan_port" "$ftp_port" 20 &
proxy_pid=$!
trap 'kill $vsftpd_pid $proxy_pid 2>/dev/null; rm -rf "$work/out"' EXIT
sleep 1

now() { date +%s.%N; }
# ours PORT REMOTE CONNECTIONS [--file] [--continue]: seconds of one queue download.
ours() {
    port=$1 remote=$2 connections=$3
    shift 3
    target=$work/out/copy
    [ "${1:-}" = --file ] && target=$work/out/big.bin
    "$driver" 127.0.0.1 "$port" "$remote" "$target" "$connections" "$@" | cut -d' ' -f1
}
# lftp PORT COMMAND: seconds of one lftp run of COMMAND.
lftp_run() {
    start=$(now)
    lftp -p "$1" -e "set cmd:fail-exit yes; set net:max-retries 2; $2; quit" 127.0.0.1 \
        >/dev/null 2>&1 || echo "  (lftp failed: $2)" >&2
    echo "$(now) - $start" | bc
}
# A fresh destination, and no dirty pages of the run before to slow this one's disk down.
fresh() {
    rm -rf "$work/out" && mkdir -p "$work/out/copy"
    sync
}
count_copied() { ls "$work/out/copy" 2>/dev/null | wc -l; }
median() { sort -n | awk '{a[NR]=$1} END {m=(NR+1)/2; if (NR%2) print a[m]; else print (a[m-0.5]+a[m+0.5])/2}'; }

# pair NAME EXPECTED_FILES OURS_ARGS... -- LFTP_PORT LFTP_COMMAND
pair() {
    echo "$1" | grep -qe "$cases" || return 0
    name=$1 expected=$2
    shift 2
    our_args=""
    while [ "$1" != -- ]; do our_args="$our_args $1"; shift; done
    shift
    lport=$1 lcommand=$2
    : >"$work/ours.txt"
    : >"$work/lftp.txt"
    r=0
    while [ $r -lt "$rounds" ]; do
        fresh
        ours $our_args >>"$work/ours.txt"
        [ "$expected" = 0 ] || [ "$(count_copied)" = "$expected" ] ||
            echo "  (ours copied $(count_copied) of $expected files)"
        fresh
        lftp_run "$lport" "$lcommand" >>"$work/lftp.txt"
        [ "$expected" = 0 ] || [ "$(count_copied)" = "$expected" ] ||
            echo "  (lftp copied $(count_copied) of $expected files)"
        r=$((r + 1))
    done
    o=$(median <"$work/ours.txt")
    l=$(median <"$work/lftp.txt")
    printf '%-44s ours %7.3f s   lftp %7.3f s   ratio %.2f\n' "$name" "$o" "$l" \
        "$(echo "$o / $l" | bc -l)"
}

s=$work/served
echo "vsftpd on 127.0.0.1:$ftp_port, through wan_proxy (20 ms) on :$wan_port; $rounds rounds"
pair "200 x 10 KB, 20 ms, 4 connections" 200 "$wan_port" "$s/small200" 4 -- \
    "$wan_port" "mirror -P 4 $s/small200 $work/out/copy"
pair "200 x 10 KB, 20 ms, 1 connection (mget)" 200 "$wan_port" "$s/small200" 1 -- \
    "$wan_port" "mget -O $work/out/copy $s/small200/*"
pair "1000 x 10 KB, loopback, 4 connections" 1000 "$ftp_port" "$s/small1000" 4 -- \
    "$ftp_port" "mirror -P 4 $s/small1000 $work/out/copy"
pair "1000 x 10 KB, loopback, 1 connection (mget)" 1000 "$ftp_port" "$s/small1000" 1 -- \
    "$ftp_port" "mget -O $work/out/copy $s/small1000/*"
pair "1 GiB, loopback" 0 "$ftp_port" "$big" 1 --file -- \
    "$ftp_port" "get $big -o $work/out/big.bin"

# The resume: a partial file of the first 512 MiB beside the destination, for both.
echo "1 GiB resumed" | grep -qe "$cases" || exit 0
: >"$work/ours.txt"
: >"$work/lftp.txt"
r=0
while [ $r -lt "$rounds" ]; do
    fresh
    rmdir "$work/out/copy"
    head -c 536870912 "$big" >"$work/out/.big.bin.tw-part"
    sync
    ours "$ftp_port" "$big" 1 --file --continue >>"$work/ours.txt"
    cmp -s "$big" "$work/out/big.bin" || echo "  (ours: the resumed file differs)"
    fresh
    rmdir "$work/out/copy"
    head -c 536870912 "$big" >"$work/out/big.bin"
    sync
    lftp_run "$ftp_port" "get -c $big -o $work/out/big.bin" >>"$work/lftp.txt"
    cmp -s "$big" "$work/out/big.bin" || echo "  (lftp: the resumed file differs)"
    r=$((r + 1))
done
o=$(median <"$work/ours.txt")
l=$(median <"$work/lftp.txt")
printf '%-44s ours %7.3f s   lftp %7.3f s   ratio %.2f\n' "1 GiB resumed from 512 MiB, loopback" \
    "$o" "$l" "$(echo "$o / $l" | bc -l)"
