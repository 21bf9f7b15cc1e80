#!/usr/bin/env python3
# A misbehaving SFTP server, run by the test's sshd as its sftp subsystem (stdin / stdout are
# the channel). It logs in properly (VERSION, REALPATH) and then, by its mode:
#   endless-listing  every READDIR brings 100 more names, never the end
#   huge-packet      STAT is answered with a length of 2 GiB
#   wrong-reply      STAT is answered with DATA
#   silent           STAT is never answered
import struct
import sys

mode = sys.argv[1]
read_in, write_out = sys.stdin.buffer, sys.stdout.buffer


def receive():
    head = read_in.read(4)
    if len(head) < 4:
        sys.exit(0)
    body = read_in.read(struct.unpack(">I", head)[0])
    return body[0], body[1:5]


def send(kind, payload):
    write_out.write(struct.pack(">IB", len(payload) + 1, kind) + payload)
    write_out.flush()


def text(b):
    return struct.pack(">I", len(b)) + b


receive()  # INIT
send(2, struct.pack(">I", 3))
count = 0
while True:
    kind, rid = receive()
    if kind == 16:  # REALPATH
        send(104, rid + struct.pack(">I", 1) + text(b"/") + text(b"") + struct.pack(">I", 0))
    elif kind == 11:  # OPENDIR
        send(102, rid + text(b"h"))
    elif kind == 12:  # READDIR
        entries = b""
        for _ in range(100):
            count += 1
            entries += text(b"f%07d" % count) + text(b"") + struct.pack(">II", 4, 0o100644)
        send(104, rid + struct.pack(">I", 100) + entries)
    elif kind == 17 and mode == "huge-packet":  # STAT
        write_out.write(struct.pack(">I", 0x7FFFFFFF) + b"\x69" * 64)
        write_out.flush()
    elif kind == 17 and mode == "wrong-reply":
        send(103, rid + text(b"data"))
    elif kind == 17 and mode == "silent":
        pass
    else:
        send(101, rid + struct.pack(">I", 0) + text(b"") + text(b""))
