#!/bin/sh
# The SFTP engine against OpenSSH's sftp and lftp, one file both ways, on a loopback of a
# network namespace of its own (root); a round trip is added by delay_proxy.py in front of the
# server:  run_sftp_bench.sh [SIZE_MIB] [ROUND_TRIP_MS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
size=${1:-1024}
rtt=${2:-0}
bench=${BENCH:-$(dirname "$0")/../../build/bench/sftp/bench_sftp_transfer}
if [ "${TW_IN_NETNS:-}" != 1 ]; then
    exec env TW_IN_NETNS=1 WRAP="${WRAP:-}" BENCH="$(realpath "$bench")" unshare --net sh "$0" "$size" "$rtt"
fi
ip link set lo up
dir=$(mktemp -d)
trap 'kill $(cat "$dir/pid") ${proxy:-} 2>/dev/null; rm -rf "$dir"' EXIT
trap 'exit 1' INT TERM
ssh-keygen -q -t ed25519 -N '' -f "$dir/host"
ssh-keygen -q -t ed25519 -N '' -f "$dir/client"
cp "$dir/client.pub" "$dir/authorized_keys"
mkdir -p /run/sshd
cat > "$dir/sshd_config" <<CONF
Port 2222
ListenAddress 127.0.0.1
HostKey $dir/host
PidFile $dir/pid
AuthorizedKeysFile $dir/authorized_keys
StrictModes no
UsePAM no
PermitRootLogin yes
Subsystem sftp internal-sftp
CONF
/usr/sbin/sshd -f "$dir/sshd_config" -E "$dir/log"
port=2222
if [ "$rtt" != 0 ]; then
    python3 "$here/delay_proxy.py" 2223 2222 "$rtt" &
    proxy=$!
    port=2223
fi
sleep 0.5
head -c "$((size * 1048576))" /dev/urandom > "$dir/source"
echo "== tarnwick engine, $size MiB, round trip $rtt ms"
${WRAP:-} "$bench" 127.0.0.1 $port "$(id -un)" "$dir/client" "$dir/source" "$dir/remote"
cmp "$dir/source" "$dir/source.down"
rm -f "$dir/remote" "$dir/source.down"
ssh_opts="-q -i $dir/client -o BatchMode=yes -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -P $port"
echo "== OpenSSH sftp"
for way in "put $dir/source $dir/remote" "get $dir/remote $dir/source.down"; do
    start=$(date +%s.%N)
    echo "$way" | sftp $ssh_opts -b - "$(id -un)@127.0.0.1" >/dev/null
    end=$(date +%s.%N)
    echo "${way%% *} $(echo "$size / ($end - $start)" | bc -l | cut -c1-6) MiB/s"
done
rm -f "$dir/remote" "$dir/source.down"
if command -v lftp >/dev/null; then
    echo "== lftp"
    cat > "$dir/lftp_ssh" <<SH
#!/bin/sh
exec ssh -i $dir/client -o BatchMode=yes -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null "\$@"
SH
    chmod +x "$dir/lftp_ssh"
    for way in "put $dir/source -o $dir/remote" "get $dir/remote -o $dir/source.down"; do
        start=$(date +%s.%N)
        lftp -e "set sftp:connect-program $dir/lftp_ssh; $way; bye" \
            "sftp://$(id -un):x@127.0.0.1:$port" >/dev/null
        end=$(date +%s.%N)
        echo "${way%% *} $(echo "$size / ($end - $start)" | bc -l | cut -c1-6) MiB/s"
    done
fi
