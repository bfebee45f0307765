#!/usr/bin/env python3
"""bench/breakdown.py: where the time of `--buffered` on 1,000,000 rows goes,
next to `cat`: writing only, reading only, converting without writing.
Run it after bench/compare, which builds the converter and makes the input
and its table. Prints one Markdown table row per step: median and spread of
7 runs, each after `sync`."""
import os
import statistics
import subprocess
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "bench")
DATA = os.path.join(WORK, "data", "rows-1000000.csv")
OUT = os.path.join(WORK, "out", "breakdown.htm")
CONVERT = os.path.join(ROOT, "build", "native", "cli", "quillbar-convert")


def main():
    size = os.path.getsize(DATA + ".table")
    steps = {
        "cat IN > OUT": (["cat", DATA], OUT),
        "dd: write as many bytes as the table has": (
            ["dd", "if=/dev/zero", "of=" + OUT, "bs=1048576", "count=%d" % (size // 1048576), "status=none"], None),
        "dd: read IN in 64 KiB blocks, write nothing": (
            ["dd", "if=" + DATA, "of=/dev/null", "bs=65536", "status=none"], None),
        "quillbar-convert --buffered IN /dev/null": ([CONVERT, "--buffered", DATA, "/dev/null"], None),
        "quillbar-convert --buffered IN OUT": ([CONVERT, "--buffered", DATA, OUT], None),
    }
    times = {name: [] for name in steps}
    for _ in range(7):
        for name, (command, stdout) in steps.items():
            if os.path.exists(OUT):
                os.remove(OUT)
            os.sync()
            with open(stdout or os.devnull, "wb") as out:
                started = time.perf_counter()
                subprocess.run(command, stdout=out, check=True)
                times[name].append(time.perf_counter() - started)
    if os.path.exists(OUT):
        os.remove(OUT)
    for name, runs in times.items():
        print("| %s | %.3f | %.3f–%.3f |" % (name, statistics.median(runs), min(runs), max(runs)))


if __name__ == "__main__":
    main()
