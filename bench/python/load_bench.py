#!/usr/bin/env python3
"""Times Mesh.from_stl on a sphere of a million triangles, binary and ASCII.

Each load (read, decode and normalisation) is reported as the median of several
rounds beside the time Python takes to read the same file into memory in the
same run, and with its peak memory: the growth of the maximum resident set of
a fresh interpreter across the load (Linux), beside the size of the loaded mesh (48
bytes a triangle).

Run with the package installed, e.g. .venv/bin/python bench/python/load_bench.py
"""

from __future__ import annotations

import os
import statistics
import subprocess
import sys
import tempfile
import time
from typing import Callable, List, Tuple

from sphere_stl import write_ascii, write_binary

from facetview import _facetview as native

ROUNDS = 5
TRIANGLE_BYTES = 48
# The peak resident set (VmHWM) starts afresh with the new interpreter, unlike
# ru_maxrss, which a child inherits from the process that started it.
PEAK_PROBE = """
import sys
from facetview import _facetview as native
def peak():
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) * 1024 for line in status if line.startswith("VmHWM:"))
before = peak()
mesh = native.Mesh.from_stl(sys.argv[1])
print(peak() - before, mesh.triangle_count)
"""


def median_seconds(call: Callable[[], object]) -> float:
    times = []
    for _ in range(ROUNDS):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def read_file(path: str) -> bytes:
    with open(path, "rb") as file:
        return file.read()


def peak_growth(path: str) -> Tuple[int, int]:
    probe = subprocess.run([sys.executable, "-c", PEAK_PROBE, path], capture_output=True,
                           text=True, check=True)
    growth, triangles = probe.stdout.split()
    return int(growth), int(triangles)


def measure(directory: str) -> List[str]:
    lines = []
    for kind, writer in (("binary", write_binary), ("ascii", write_ascii)):
        path = os.path.join(directory, f"sphere-{kind}.stl")
        with open(path, "wb") as out:
            writer(out, 501, 1000)
        size = os.path.getsize(path)
        read = median_seconds(lambda: read_file(path))
        load = median_seconds(lambda: native.Mesh.from_stl(path))
        growth, triangles = peak_growth(path)
        mesh_bytes = triangles * TRIANGLE_BYTES
        lines.append(f"{kind}: file {size / 1e6:.1f} MB, {triangles} triangles")
        lines.append(f"  Python reads the file (baseline)  {read * 1e3:8.1f} ms  {size / read / 1e6:7.0f} MB/s")
        lines.append(f"  Mesh.from_stl                     {load * 1e3:8.1f} ms  {size / load / 1e6:7.0f} MB/s"
                     f"  ({load / read:.1f}x the read)")
        lines.append(f"  peak memory growth {growth / 2**20:.1f} MiB = mesh {mesh_bytes / 2**20:.1f} MiB"
                     f" + {(growth - mesh_bytes) / 2**20:.1f} MiB")
        os.remove(path)
    return lines


def main() -> int:
    with tempfile.TemporaryDirectory() as directory:
        for line in measure(directory):
            print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
