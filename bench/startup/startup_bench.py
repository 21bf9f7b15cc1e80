#!/usr/bin/env python3
"""Start-up of tarnwick2000 to its main window shown (offscreen), and its resident memory then.

Starts the program RUNS times on a fresh settings file and runtime folder each, with
TARNWICK2000_BENCH=1: the program prints "shown-ms <ms since main()>" and "rss-kib <VmRSS>"
once the window has been shown and painted, then ends. The wall time from process launch to
that line includes loading the program and its libraries.

usage: startup_bench.py [path/to/tarnwick2000] [runs]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

TARGET_MS = 300
TARGET_MIB = 80


def one_run(program, first_start):
    with tempfile.TemporaryDirectory() as tmp:
        os.chmod(tmp, 0o700)
        settings = os.path.join(tmp, "settings.ini")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=tmp,
                   TARNWICK2000_SETTINGS=settings, TARNWICK2000_BENCH="1")
        if not first_start:
            # Settings written by a first run, so this run measures an ordinary start.
            subprocess.run([program], env=env, cwd=tmp, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60, check=True)
        begin = time.perf_counter()
        proc = subprocess.Popen([program], env=env, cwd=tmp, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True)
        wall_ms = None
        inner_ms = rss_kib = None
        for line in proc.stdout:
            if line.startswith("shown-ms "):
                wall_ms = (time.perf_counter() - begin) * 1000.0
                inner_ms = int(line.split()[1])
            elif line.startswith("rss-kib "):
                rss_kib = int(line.split()[1])
        proc.wait(timeout=60)
        if wall_ms is None or rss_kib is None:
            raise RuntimeError("the program did not report its start-up")
        return wall_ms, inner_ms, rss_kib


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "..", "build", "src", "app", "tarnwick2000")
    program = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else default)
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    for first_start in (False, True):
        results = [one_run(program, first_start) for _ in range(runs)]
        wall = statistics.median(r[0] for r in results)
        inner = statistics.median(r[1] for r in results)
        rss = statistics.median(r[2] for r in results) / 1024.0
        kind = "first start" if first_start else "normal start"
        print(f"{kind:13}: launch to window shown {wall:6.1f} ms median of {runs} "
              f"(inside main() {inner:.0f} ms), resident {rss:.1f} MiB "
              f"[targets < {TARGET_MS} ms, < {TARGET_MIB} MiB: "
              f"{'met' if wall < TARGET_MS and rss < TARGET_MIB else 'MISSED'}]")


if __name__ == "__main__":
    main()
