#!/usr/bin/env python3
# A TCP proxy that holds every byte for DELAY_MS in each direction (a round trip of twice
# that), for benchmarks where netem is not available:  delay_proxy.py LISTEN_PORT TARGET_PORT DELAY_MS
import socket, sys, threading, time, collections

listen_port, target_port, delay = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]) / 1000


def pipe(src, dst):
    queue = collections.deque()
    ready = threading.Condition()
    done = []

    def reader():
        while True:
            data = src.recv(1 << 20)
            with ready:
                queue.append((time.monotonic() + delay, data))
                ready.notify()
            if not data:
                return

    def writer():
        while True:
            with ready:
                while not queue:
                    ready.wait()
                due, data = queue.popleft()
            wait = due - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            if not data:
                try:
                    dst.shutdown(socket.SHUT_WR)
                except OSError:
                    pass
                return
            dst.sendall(data)

    threading.Thread(target=reader, daemon=True).start()
    threading.Thread(target=writer, daemon=True).start()


server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", listen_port))
server.listen(8)
while True:
    client, _ = server.accept()
    upstream = socket.create_connection(("127.0.0.1", target_port))
    for s in (client, upstream):
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    pipe(client, upstream)
    pipe(upstream, client)
