#!/usr/bin/env python3
"""delay_proxy.py LISTEN_PORT TARGET_PORT RTT_MS [RATE_KBPS]

A plain TCP proxy on 127.0.0.1 for one-connection protocols such as SSH: every connection to
LISTEN_PORT is joined to 127.0.0.1:TARGET_PORT, and each byte reaches the other side RTT_MS / 2
after it arrived, in both directions, so a request and its answer take RTT_MS more than on
loopback. With RATE_KBPS each direction of a connection passes at most that many kilobytes
(1000 bytes) a second. At most BUFFER bytes (4 MiB, or the bytes of one round trip at the
rate, whichever is more) wait inside the proxy per direction; past that it stops reading, so
the sender feels the link's limits as TCP back-pressure, as from a router's queue. It stands
in for a wide-area link where the kernel's netem is unavailable. Listens on 127.0.0.1 only.
"""
import asyncio
import collections
import sys

LISTEN, TARGET = int(sys.argv[1]), int(sys.argv[2])
DELAY = float(sys.argv[3]) / 2000.0
RATE = float(sys.argv[4]) * 1000.0 if len(sys.argv) > 4 else 0.0
BUFFER = max(4 << 20, int(RATE * DELAY * 2))
CHUNK = 256 * 1024


class DelayLine:
    """One direction: chunks with the time they are due, delivered in order."""

    def __init__(self, writer):
        self.writer = writer
        self.chunks = collections.deque()
        self.queued = 0
        self.more = asyncio.Event()  # a chunk or the end was queued
        self.room = asyncio.Event()  # the queue is below BUFFER
        self.room.set()
        self.ended = False
        self.dead = False  # the receiver went away: what still comes is dropped

    def put(self, data):
        if self.dead:
            return
        loop = asyncio.get_running_loop()
        self.chunks.append((loop.time() + DELAY, data))
        self.queued += len(data)
        if self.queued >= BUFFER:
            self.room.clear()
        self.more.set()

    def end(self):
        self.ended = True
        self.more.set()

    async def deliver(self):
        loop = asyncio.get_running_loop()
        try:
            while True:
                while not self.chunks:
                    if self.ended:
                        self.writer.write_eof()
                        return
                    self.more.clear()
                    await self.more.wait()
                due, data = self.chunks[0]
                wait = due - loop.time()
                if wait > 0:
                    await asyncio.sleep(wait)
                # Everything due by now goes out in one write.
                now = loop.time()
                batch = []
                while self.chunks and self.chunks[0][0] <= now:
                    batch.append(self.chunks.popleft()[1])
                size = sum(len(b) for b in batch)
                self.writer.write(b"".join(batch))
                await self.writer.drain()
                self.queued -= size
                if self.queued < BUFFER:
                    self.room.set()
        except Exception:  # the receiver went away: nothing left to deliver to
            self.dead = True
            self.chunks.clear()
            self.room.set()


async def pump(reader, line):
    loop = asyncio.get_running_loop()
    next_free = loop.time()  # when the rate limit lets the next byte pass
    try:
        while True:
            await line.room.wait()
            data = await reader.read(CHUNK)
            if not data:
                break
            if RATE:
                next_free = max(next_free, loop.time()) + len(data) / RATE
                wait = next_free - loop.time()
                if wait > 0:
                    await asyncio.sleep(wait)
            line.put(data)
    except (ConnectionError, OSError):
        pass
    line.end()


async def on_client(client_reader, client_writer):
    try:
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", TARGET)
    except OSError:
        client_writer.close()
        return
    up = DelayLine(server_writer)
    down = DelayLine(client_writer)
    await asyncio.gather(pump(client_reader, up), up.deliver(), pump(server_reader, down),
                         down.deliver())
    for writer in (client_writer, server_writer):
        try:
            writer.close()
        except OSError:
            pass


async def main():
    server = await asyncio.start_server(on_client, "127.0.0.1", LISTEN)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        pass
