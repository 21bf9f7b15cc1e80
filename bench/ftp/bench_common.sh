# Shared helpers of the FTP benchmarks: a local vsftpd on 127.0.0.1 serving $BENCH_DIR/root.
# Sourced by the run_*.sh scripts; not meant to be run on its own.

SRC=$(cd "$(dirname "$0")/../.." && pwd)
BENCH_DIR=${BENCH_DIR:-/tmp/tarnwick-ftp-bench}
BUILD=${BUILD:-$SRC/build-ftp}
TW="$BUILD/src/cli/tarnwick-ftp"
VSFTPD_PID=

need() {
    command -v "$1" >/dev/null || { echo "$1 is needed (apt-get install -y $2)"; exit 1; }
}

free_port() {
    /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# VSFTPD_EXTRA: further configuration lines (TLS); VSFTPD_PROBE: curl's options for the
# readiness probe.
start_vsftpd() {
    mkdir -p "$BENCH_DIR/root" "$BENCH_DIR/empty"
    chmod 777 "$BENCH_DIR/root"
    PORT=$(free_port)
    cat >"$BENCH_DIR/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$PORT
background=NO
anonymous_enable=YES
local_enable=NO
no_anon_password=YES
anon_root=$BENCH_DIR/root
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_world_readable_only=NO
connect_from_port_20=NO
seccomp_sandbox=NO
secure_chroot_dir=$BENCH_DIR/empty
run_as_launching_user=YES
xferlog_enable=NO
syslog_enable=NO
vsftpd_log_file=$BENCH_DIR/vsftpd.log
${VSFTPD_EXTRA:-}
CONF
    setsid /usr/sbin/vsftpd "$BENCH_DIR/vsftpd.conf" &
    VSFTPD_PID=$!
    trap stop_vsftpd EXIT INT TERM
    for _ in $(seq 1 100); do
        curl -s --max-time 1 ${VSFTPD_PROBE:-} "ftp://127.0.0.1:$PORT/" -o /dev/null && return 0
        sleep 0.05
    done
    echo "vsftpd did not start"
    exit 1
}

stop_vsftpd() {
    if [ -n "$VSFTPD_PID" ]; then
        kill -TERM -- "-$VSFTPD_PID" 2>/dev/null || kill "$VSFTPD_PID" 2>/dev/null || true
        wait "$VSFTPD_PID" 2>/dev/null || true
        VSFTPD_PID=
    fi
}

# "wall cpu" seconds of a command (cpu = user + system time of the client process; the
# machine may be shared, so both are reported). Its output is discarded.
time_of() {
    local TIMEFORMAT='%R %U %S'
    local t
    t=$( { time "$@" >/dev/null 2>"$BENCH_DIR/last.err"; } 2>&1 ) ||
        { echo "FAILED: $*" >&2; cat "$BENCH_DIR/last.err" >&2; }
    echo "$t" | awk '{printf "%s:%.3f", $1, $2 + $3}'
}

wall_of() { printf '%s\n' "$@" | cut -d: -f1; }
cpu_of() { printf '%s\n' "$@" | cut -d: -f2; }

# Median of the numbers given as arguments.
median() {
    printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {if (NR%2) print a[(NR+1)/2]; else print (a[NR/2]+a[NR/2+1])/2}'
}

# The medians of one direction's rounds, from T[<dir>_tw], T[<dir>_curl] and T[<dir>_lftp]:
# wall times tw, cu, lf; CPU times twc, cuc, lfc; the fastest peer's wall (best) and CPU
# (bestc) time.
peer_medians() {
    tw=$(median $(wall_of ${T[${1}_tw]})); cu=$(median $(wall_of ${T[${1}_curl]}))
    lf=$(median $(wall_of ${T[${1}_lftp]}))
    twc=$(median $(cpu_of ${T[${1}_tw]})); cuc=$(median $(cpu_of ${T[${1}_curl]}))
    lfc=$(median $(cpu_of ${T[${1}_lftp]}))
    best=$(printf '%s\n%s\n' "$cu" "$lf" | sort -g | head -1)
    bestc=$(printf '%s\n%s\n' "$cuc" "$lfc" | sort -g | head -1)
}
