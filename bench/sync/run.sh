#!/bin/sh
# Folder compare benchmark: tarnwick-ftp mirror against lftp mirror on trees already in step,
# served by a local vsftpd, so that what is timed is listing both trees and comparing them.
#
# What it measures, each the median of alternating rounds (ours, then lftp, then ours...):
#   - 100 000 files in 2 000 folders on loopback: "mirror --dry-run -P 4" of both, and a real
#     mirror that finds nothing to copy;
#   - 10 000 files in 200 folders through wan_proxy.py with a 20 ms round trip: the dry runs.
# Target: our dry run faster than lftp's. The first full copy of each tree (tarnwick-ftp mirror,
# -P 4) is timed once and shown too. Each of our runs must exit 0 (in step); lftp's dry run
# should print nothing to do (its line count is shown).
#
# Usage: bench/sync/run.sh [rounds, default 3] [cases: a grep pattern of their names]
# Needs vsftpd, lftp, python3; about 1.5 GiB free in /tmp (inodes for 220 000 small files).
set -eu
rounds=${1:-3}
cases=${2:-.}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${TW_BENCH_BUILD_DIR:-$root/build}
proxy=${TW_WAN_PROXY:-/work/shared/tools/wan_proxy.py}
work=${TW_BENCH_WORK:-/tmp/tw-sync-bench}
for tool in /usr/sbin/vsftpd lftp python3 bc; do
    command -v "$tool" >/dev/null || { echo "$tool is needed"; exit 1; }
done
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target tarnwick-ftp >/dev/null
cli=$build/src/cli/tarnwick-ftp

# make_tree FOLDER FOLDERS FILES_PER_FOLDER: small files of different sizes, dated a month ago
# at times LIST shows to the minute.
make_tree() {
    [ -f "$1.complete" ] && return 0
    rm -rf "$1"
    python3 - "$1" "$2" "$3" <<'PY'
import os, sys, time
top, folders, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
base = (int(time.time()) - 30 * 86400) // 86400 * 86400 + 13 * 3600 + 17 * 60
for d in range(folders):
    # Two levels: 50 folders per parent.
    folder = os.path.join(top, "p%03d" % (d // 50), "d%05d" % d)
    os.makedirs(folder, exist_ok=True)
    for f in range(files):
        path = os.path.join(folder, "file%03d.dat" % f)
        with open(path, "wb") as out:
            out.write(b"x" * ((d * files + f) % 997))
        t = base + (d * files + f) % 3600
        os.utime(path, (t, t))
PY
    touch "$1.complete"
}
mkdir -p "$work/served" "$work/empty" "$work/local"
make_tree "$work/served/big" 2000 50
make_tree "$work/served/wan" 200 50

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
trap 'kill $vsftpd_pid $proxy_pid 2>/dev/null' EXIT
sleep 1

now() { date +%s.%N; }
median() { sort -n | awk '{a[NR]=$1} END {m=(NR+1)/2; if (NR%2) print a[m]; else print (a[m-0.5]+a[m+0.5])/2}'; }
s=$work/served

# ours PORT ARGS...: seconds of one tarnwick-ftp mirror of $tree (a URL path relative to the
# login folder, which is served/) into $local; a status other than 0 is said.
ours() {
    port=$1
    shift
    start=$(now)
    status=0
    "$cli" mirror "$@" "ftp://127.0.0.1:$port/$tree" "$local" >/dev/null 2>"$work/ours.err" ||
        status=$?
    end=$(now)
    [ $status = 0 ] || echo "  (ours exited $status: $(head -c 300 "$work/ours.err"))" >&2
    echo "$end - $start" | bc
}
# lftp_run PORT COMMAND: seconds of one lftp run; its output's line count in $work/lftp.lines.
lftp_run() {
    start=$(now)
    lftp -p "$1" -e "set cmd:fail-exit yes; set net:max-retries 2; $2; quit" 127.0.0.1 \
        >"$work/lftp.out" 2>&1 || echo "  (lftp failed: $2)" >&2
    end=$(now)
    wc -l <"$work/lftp.out" >"$work/lftp.lines"
    echo "$end - $start" | bc
}

# first NAME: the first full copy of served/NAME into local/NAME, once.
first() {
    tree=$1 local=$work/local/$1
    [ -f "$local.complete" ] && return 0
    rm -rf "$local"
    start=$(now)
    "$cli" mirror -P 4 "ftp://127.0.0.1:$ftp_port/$tree" "$local" >/dev/null 2>"$work/first.err" ||
        [ $? = 5 ] || { echo "the first copy of $1 failed: $(head -c 300 "$work/first.err")"; exit 1; }
    printf '%-48s %7.3f s\n' "first copy of $1 (tarnwick-ftp, -P 4)" "$(echo "$(now) - $start" | bc)"
    touch "$local.complete"
}

# pair NAME TREE PORT "OUR ARGS" "LFTP COMMAND"
pair() {
    echo "$1" | grep -qe "$cases" || return 0
    tree=$2 local=$work/local/$2
    : >"$work/ours.txt"
    : >"$work/lftp.txt"
    r=0
    while [ $r -lt "$rounds" ]; do
        # shellcheck disable=SC2086
        ours "$3" $4 >>"$work/ours.txt"
        lftp_run "$3" "$5" >>"$work/lftp.txt"
        r=$((r + 1))
    done
    o=$(median <"$work/ours.txt")
    l=$(median <"$work/lftp.txt")
    printf '%-48s ours %7.3f s   lftp %7.3f s (%s lines)   ratio %.2f\n' "$1" "$o" "$l" \
        "$(cat "$work/lftp.lines")" "$(echo "$o / $l" | bc -l)"
}

echo "vsftpd on 127.0.0.1:$ftp_port, through wan_proxy (20 ms) on :$wan_port; $rounds rounds"
first big
first wan
pair "100 000 files / 2 000 folders, dry run, -P 4" big "$ftp_port" "--dry-run -P 4" \
    "mirror --dry-run -P 4 $s/big $work/local/big"
pair "100 000 files / 2 000 folders, dry run, -P 1" big "$ftp_port" "--dry-run -P 1" \
    "mirror --dry-run $s/big $work/local/big"
pair "100 000 files / 2 000 folders, no-change mirror" big "$ftp_port" "-P 4" \
    "mirror -P 4 $s/big $work/local/big"
pair "10 000 files / 200 folders, 20 ms, dry run, -P 4" wan "$wan_port" "--dry-run -P 4" \
    "mirror --dry-run -P 4 $s/wan $work/local/wan"
