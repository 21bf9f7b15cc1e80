#!/usr/bin/env bash
# Starts the local demo FTP server (pyftpdlib from Debian's packages) on 127.0.0.1 and a free
# port, serving a small sample tree with anonymous write access.
# Usage: scripts/demo_server.sh FOLDER   -> prints "PID PORT" once the server listens.
set -euo pipefail
folder=$1
tree="$folder/tree"
if [ ! -d "$tree" ]; then
    mkdir -p "$tree/pub/docs" "$tree/pub/images" "$tree/incoming" "$tree/empty"
    printf 'Welcome to the Tarnwick 2000 demo server.\r\nEverything here lives in %s.\r\n' \
        "$tree" >"$tree/README.txt"
    printf 'Release notes\n=============\n\nA sample text file.\n' >"$tree/pub/docs/notes.txt"
    printf '<html><body><h1>Demo</h1></body></html>\n' >"$tree/pub/docs/index.html"
    head -c 65536 /dev/urandom >"$tree/pub/data.bin"
    head -c 2048 /dev/urandom >"$tree/pub/images/picture.png"
    printf 'old\n' >"$tree/pub/old.bak"
fi

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')
/usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -w -d "$tree" >"$folder/server.log" 2>&1 &
pid=$!
for _ in $(seq 1 50); do
    if /usr/bin/python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $port), 0.2)" 2>/dev/null; then
        echo "$pid $port"
        exit 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill "$pid" 2>/dev/null || true
echo "demo server did not start; see $folder/server.log" >&2
exit 1
