#!/bin/bash
# SFTP benchmark against a local sshd of its own (127.0.0.1, own config, host key and client
# key in a temporary folder; never the system's service):
#   1. one file (1 GiB) down and up on loopback: tarnwick-ftp, OpenSSH sftp, scp, lftp's sftp;
#   2. the same file through bench/sftp/delay_proxy.py with a round trip of TW_BENCH_RTT ms;
#   3. 1000 files of 10 kB in 10 folders, down and up with 4 connections: tarnwick-ftp
#      mirror -P 4 against lftp mirror -P 4.
# The tools alternate within each round; every figure is the median of the rounds: MB/s
# (10^6 bytes per second of wall time), the wall time and the CPU time of the client and
# its children (ssh for sftp, scp and lftp). Each result is checked (sizes every round,
# bytes with cmp in the first); a failed run makes the figures invalid and the script fail.
# Usage: bench/sftp/run.sh [rounds, default 3]
# Environment: BUILD (build folder holding src/cli/tarnwick-ftp, default build),
# TW_BENCH_SIZE (bytes of the single file, default 1 GiB), TW_BENCH_PROXY_SIZE (bytes of the
# file through the proxy, default TW_BENCH_SIZE), TW_BENCH_RTT (ms, default 20),
# TW_BENCH_FILES / TW_BENCH_FILE_SIZE (default 1000 / 10000), TW_BENCH_PARTS (any of
# "loopback proxy files", default all three), TW_BENCH_CIPHER (forces one cipher on sshd).
set -eu
ROUNDS=${1:-3}
SRC=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${BUILD:-$SRC/build}
BENCH_DIR=${BENCH_DIR:-/tmp/tarnwick-sftp-bench}
. "$SRC/bench/ftp/bench_common.sh"
need lftp lftp; need sftp openssh-client; need scp openssh-client; need ssh-keygen openssh-client
need bc bc; need /usr/sbin/sshd openssh-server; need /usr/bin/python3 python3
[ -x "$TW" ] || cmake --build "$BUILD" --target tarnwick-ftp -j2 >/dev/null

SIZE=${TW_BENCH_SIZE:-1073741824}
PROXY_SIZE=${TW_BENCH_PROXY_SIZE:-$SIZE}
RTT=${TW_BENCH_RTT:-20}
FILES=${TW_BENCH_FILES:-1000}
FILE_SIZE=${TW_BENCH_FILE_SIZE:-10000}
PARTS=${TW_BENCH_PARTS:-loopback proxy files}
USER_NAME=$(id -un)

# --- the server -------------------------------------------------------------------------
SSHD_PID=; PROXY_PID=
cleanup() {
    for pid in $PROXY_PID $SSHD_PID; do
        kill -TERM -- "-$pid" 2>/dev/null || kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$BENCH_DIR/root" "$BENCH_DIR/down"
}
trap cleanup EXIT INT TERM
rm -rf "$BENCH_DIR"
mkdir -p "$BENCH_DIR/root" "$BENCH_DIR/down" "$BENCH_DIR/ssh"
chmod 700 "$BENCH_DIR/ssh"
KEY=$BENCH_DIR/ssh/client_ed25519
KH=$BENCH_DIR/ssh/known_hosts
ssh-keygen -q -t ed25519 -N '' -C tw-bench -f "$BENCH_DIR/ssh/host_ed25519"
ssh-keygen -q -t ed25519 -N '' -C tw-bench -f "$KEY"
cp "$KEY.pub" "$BENCH_DIR/ssh/authorized_keys"
PORT=$(free_port)
cat >"$BENCH_DIR/ssh/sshd_config" <<CONF
Port $PORT
ListenAddress 127.0.0.1
HostKey $BENCH_DIR/ssh/host_ed25519
PidFile $BENCH_DIR/ssh/sshd.pid
AuthorizedKeysFile $BENCH_DIR/ssh/authorized_keys
StrictModes no
UsePAM no
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin yes
MaxSessions 32
MaxStartups 64
LogLevel DEBUG1
Subsystem sftp internal-sftp
${TW_BENCH_CIPHER:+Ciphers $TW_BENCH_CIPHER}
CONF
[ "$(id -u)" = 0 ] && mkdir -p /run/sshd
setsid /usr/sbin/sshd -D -e -f "$BENCH_DIR/ssh/sshd_config" -E "$BENCH_DIR/ssh/sshd.log" &
SSHD_PID=$!
PROXY_PORT=$(free_port)
setsid /usr/bin/python3 "$SRC/bench/sftp/delay_proxy.py" "$PROXY_PORT" "$PORT" "$RTT" &
PROXY_PID=$!
up() { /usr/bin/python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $1), 1)" 2>/dev/null; }
for _ in $(seq 1 100); do up "$PORT" && up "$PROXY_PORT" && break; sleep 0.05; done
up "$PORT" || { echo "sshd did not start:"; cat "$BENCH_DIR/ssh/sshd.log"; exit 1; }
for p in "$PORT" "$PROXY_PORT"; do
    echo "[127.0.0.1]:$p $(cut -d' ' -f1,2 "$BENCH_DIR/ssh/host_ed25519.pub")" >>"$KH"
done

# --- the tools: NAME_get PORT REMOTE LOCAL, NAME_put PORT LOCAL REMOTE ---------------------
# Every tool logs in with the same key, checks the same known_hosts and reads no ssh_config.
SSH_OPTS=(-F /dev/null -i "$KEY" -o UserKnownHostsFile="$KH" -o BatchMode=yes
          -o IdentitiesOnly=yes -o IdentityAgent=none)
TW_OPTS=(--ssh-config none --known-hosts "$KH" --no-agent -i "$KEY")
LFTP_SSH="ssh -a -x -F /dev/null -i $KEY -o UserKnownHostsFile=$KH -o BatchMode=yes -o IdentitiesOnly=yes"
lftp_run() { lftp -c "set sftp:connect-program \"$LFTP_SSH\"; set net:max-retries 1; set xfer:clobber yes; open sftp://$USER_NAME:@127.0.0.1:$1; $2"; }
url() { echo "sftp://$USER_NAME@127.0.0.1:$1$2"; }

tw_get() { "$TW" "${TW_OPTS[@]}" get "$(url "$1" "$2")" "$3"; }
tw_put() { "$TW" "${TW_OPTS[@]}" put "$2" "$(url "$1" "$3")"; }
sftp_get() { echo "get $2 $3" | sftp -q -b - "${SSH_OPTS[@]}" -P "$1" "$USER_NAME@127.0.0.1"; }
sftp_put() { echo "put $2 $3" | sftp -q -b - "${SSH_OPTS[@]}" -P "$1" "$USER_NAME@127.0.0.1"; }
scp_get() { scp -q "${SSH_OPTS[@]}" -P "$1" "$USER_NAME@127.0.0.1:$2" "$3"; }
scp_put() { scp -q "${SSH_OPTS[@]}" -P "$1" "$2" "$USER_NAME@127.0.0.1:$3"; }
lftp_get() { lftp_run "$1" "get $2 -o $3"; }
lftp_put() { lftp_run "$1" "put $2 -o $3"; }
tw_mirror_get() { "$TW" "${TW_OPTS[@]}" mirror -P 4 "$(url "$1" "$2")" "$3"; }
tw_mirror_put() { "$TW" "${TW_OPTS[@]}" mirror --reverse -P 4 "$2" "$(url "$1" "$3")"; }
lftp_mirror_get() { lftp_run "$1" "mirror -P 4 $2 $3"; }
lftp_mirror_put() { lftp_run "$1" "mirror -R -P 4 $2 $3"; }

# --- measuring --------------------------------------------------------------------------
rm -f "$BENCH_DIR/failed"
fail() { echo "FAILED: $*" >&2; echo "$*" >>"$BENCH_DIR/failed"; }
# "wall:cpu" of a command; its output is discarded, a failure noted.
timed() {
    local TIMEFORMAT='%R %U %S' t
    t=$( { time "$@" >/dev/null 2>"$BENCH_DIR/last.err"; } 2>&1 ) ||
        { fail "$*"; cat "$BENCH_DIR/last.err" >&2; }
    echo "$t" | awk '{printf "%s:%.3f", $1, $2 + $3}'
}
# The result of a copy: the size every round, the bytes in the first.
check_file() { # what expected round
    local got
    got=$(stat -c %s "$1" 2>/dev/null || echo missing)
    [ "$got" = "$(stat -c %s "$2")" ] || { fail "$1: $got bytes, not $(stat -c %s "$2")"; return; }
    [ "$3" != 1 ] || cmp -s "$1" "$2" || fail "$1 differs from $2"
}
check_tree() { # what expected round
    local got want
    got=$(find "$1" -type f -printf '%s\n' 2>/dev/null | awk '{n++; s+=$1} END {print n+0, s+0}')
    want=$(find "$2" -type f -printf '%s\n' | awk '{n++; s+=$1} END {print n+0, s+0}')
    [ "$got" = "$want" ] || { fail "$1: $got files and bytes, not $want"; return; }
    [ "$3" != 1 ] || diff -rq "$1" "$2" >/dev/null || fail "$1 differs from $2"
}
# The cipher sshd agreed with the last client (first round only).
declare -A CIPHER
log_mark() { LOG_LINES=$(wc -l <"$BENCH_DIR/ssh/sshd.log"); }
note_cipher() {
    [ -n "${CIPHER[$1]:-}" ] && return
    CIPHER[$1]=$(tail -n +"$((LOG_LINES + 1))" "$BENCH_DIR/ssh/sshd.log" |
        sed -n 's/.*kex: client->server cipher: \([^ ]*\).*/\1/p' | tail -1)
}

declare -A T
# One copy of a single file: part tool direction port round.
single() {
    local part=$1 tool=$2 dir=$3 port=$4 round=$5 src dst
    log_mark
    if [ "$dir" = get ]; then
        src=$BENCH_DIR/root/$part.bin; dst=$BENCH_DIR/down/$tool.bin
        T[${part}_${dir}_$tool]+=" $(timed "${tool}_get" "$port" "$src" "$dst")"
        check_file "$dst" "$src" "$round"
        rm -f "$dst"
    else
        src=$BENCH_DIR/$part.bin; dst=$BENCH_DIR/root/up-$tool.bin
        T[${part}_${dir}_$tool]+=" $(timed "${tool}_put" "$port" "$src" "$dst")"
        check_file "$dst" "$src" "$round"
        rm -f "$dst"
    fi
    note_cipher "$tool"
}
many() {
    local tool=$1 dir=$2 round=$3 src dst
    if [ "$dir" = get ]; then
        src=$BENCH_DIR/root/small; dst=$BENCH_DIR/down/small-$tool
        T[files_${dir}_$tool]+=" $(timed "${tool}_mirror_get" "$PORT" "$src" "$dst")"
    else
        src=$BENCH_DIR/small; dst=$BENCH_DIR/root/up-small-$tool
        T[files_${dir}_$tool]+=" $(timed "${tool}_mirror_put" "$PORT" "$src" "$dst")"
    fi
    check_tree "$dst" "$src" "$round"
    rm -rf "$dst"
}

# --- the data ---------------------------------------------------------------------------
make_file() { # path size
    if [ "$2" = 1073741824 ]; then
        local shared=/tmp/tarnwick-ftp-bench-1GiB.bin
        [ -f "$shared" ] && [ "$(stat -c %s "$shared")" = 1073741824 ] || head -c 1073741824 /dev/urandom >"$shared"
        ln -f "$shared" "$1" 2>/dev/null || cp "$shared" "$1"
    else
        head -c "$2" /dev/urandom >"$1"
    fi
}
has() { case " $PARTS " in *" $1 "*) return 0 ;; esac; return 1; }
has loopback && { make_file "$BENCH_DIR/loopback.bin" "$SIZE"; ln -f "$BENCH_DIR/loopback.bin" "$BENCH_DIR/root/loopback.bin"; }
has proxy && { make_file "$BENCH_DIR/proxy.bin" "$PROXY_SIZE"; ln -f "$BENCH_DIR/proxy.bin" "$BENCH_DIR/root/proxy.bin"; }
if has files; then
    per=$(( (FILES + 9) / 10 ))
    for d in $(seq 0 9); do
        mkdir -p "$BENCH_DIR/small/d$d"
        for f in $(seq 1 "$per"); do
            [ $((d * per + f)) -le "$FILES" ] || break
            head -c "$FILE_SIZE" /dev/urandom >"$BENCH_DIR/small/d$d/f$f.bin"
        done
    done
    cp -a "$BENCH_DIR/small" "$BENCH_DIR/root/small"
fi

# --- the rounds -------------------------------------------------------------------------
SINGLE_TOOLS="tw sftp scp lftp"
for round in $(seq 1 "$ROUNDS"); do
    for dir in get put; do
        if has loopback; then
            for tool in $SINGLE_TOOLS; do single loopback "$tool" "$dir" "$PORT" "$round"; done
        fi
        if has proxy; then
            for tool in $SINGLE_TOOLS; do single proxy "$tool" "$dir" "$PROXY_PORT" "$round"; done
        fi
        if has files; then
            for tool in tw lftp; do many "$tool" "$dir" "$round"; done
        fi
    done
    echo "round $round done" >&2
done

# --- the report -------------------------------------------------------------------------
report() { # part dir bytes tools...
    local part=$1 dir=$2 bytes=$3; shift 3
    local line="" tool wall cpu twwall best= suffix
    for tool in "$@"; do
        wall=$(median $(wall_of ${T[${part}_${dir}_$tool]}))
        cpu=$(median $(cpu_of ${T[${part}_${dir}_$tool]}))
        suffix=
        [ "$part" = files ] || [ -z "${CIPHER[$tool]:-}" ] || suffix="  (${CIPHER[$tool]})"
        line+=$(printf '  %-5s %7.1f MB/s %7.2f s  CPU %6.2f s%s' "$tool" \
            "$(echo "$bytes / 1000000 / $wall" | bc -l)" "$wall" "$cpu" "$suffix")$'\n'
        if [ "$tool" = tw ]; then twwall=$wall
        elif [ -z "$best" ] || [ "$(echo "$wall < $best" | bc -l)" = 1 ]; then best=$wall; fi
        [ "$tool" = lftp ] && LFTP_WALL=$wall
    done
    printf '%s' "$line"
    printf '  time tarnwick-ftp / fastest peer %.2f; rate tarnwick-ftp / lftp %.2f\n' \
        "$(echo "$twwall / $best" | bc -l)" "$(echo "$LFTP_WALL / $twwall" | bc -l)"
}
echo "SFTP, OpenSSH $(ssh -V 2>&1 | cut -d, -f1), median of $ROUNDS rounds:"
for dir in get put; do
    has loopback && { echo "$dir $SIZE bytes, loopback:"; report loopback "$dir" "$SIZE" $SINGLE_TOOLS; }
    has proxy && { echo "$dir $PROXY_SIZE bytes, ${RTT} ms round trip (delay_proxy.py):"; report proxy "$dir" "$PROXY_SIZE" $SINGLE_TOOLS; }
    has files && { echo "$dir $FILES files of $FILE_SIZE bytes in 10 folders, 4 connections:"; report files "$dir" "$((FILES * FILE_SIZE))" tw lftp; }
done
if [ -f "$BENCH_DIR/failed" ]; then
    echo "$(wc -l <"$BENCH_DIR/failed") runs FAILED (see above): these figures are not valid"
    exit 1
fi
