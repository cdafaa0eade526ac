#!/usr/bin/env python3
"""Times frames on every core against one thread, and render() against a Surface.

- A turning sphere of a million triangles in a 133x39-cell viewport of 9x20-pixel
  cells at "full" quality (1197x780 pixels) through Surface.render_to_terminal, in
  child processes with FACETVIEW_THREADS=1 and unset (every core), taking turns
  round by round so that both see the same load; the byte streams of the two must
  be identical. Reported as frames per second and the speed-up.
- facetview.render of a near-empty scene (one small triangle) at 1600x1000 beside
  a Surface redrawing an unchanged frame of that size, in this process.

Standard output (descriptor 1) goes to a file while frames are drawn. Run with the
package installed, e.g. .venv/bin/python bench/python/threads_bench.py
"""

from __future__ import annotations

import argparse
import hashlib
import os
import statistics
import subprocess
import sys
import tempfile
import time

from sphere_stl import write_binary

import facetview as f

# Frames of the turning sphere, timed in a child: fps and a digest of the bytes, on stderr.
CHILD = """import hashlib, os, sys, time, facetview as f
mesh = f.Mesh.load(sys.argv[1])
frames = int(sys.argv[2])
surface = f.Surface("full", cell_size=(9, 20))
viewport, camera = f.Viewport(0, 0, 133, 39), f.Camera()
surface.render_to_terminal(mesh, camera, viewport)  # every tile once
start = time.perf_counter()
for _ in range(frames):
    camera.yaw += 0.02
    surface.render_to_terminal(mesh, camera, viewport)
print(frames / (time.perf_counter() - start), file=sys.stderr)
"""


def sphere_rounds(stl: str, frames: int, rounds: int) -> dict:
    """Frames per second of each round, with one thread and with every core."""
    fps = {"1": [], "all": []}
    digests = {}
    for _ in range(rounds):
        for threads in fps:
            env = dict(os.environ)
            env.pop("FACETVIEW_THREADS", None)
            if threads != "all":
                env["FACETVIEW_THREADS"] = threads
            with tempfile.TemporaryFile() as output:
                run = subprocess.run([sys.executable, "-c", CHILD, stl, str(frames)], stdout=output,
                                     stderr=subprocess.PIPE, env=env, check=True)
                output.seek(0)
                digests.setdefault(threads, set()).add(hashlib.sha256(output.read()).hexdigest())
            fps[threads].append(float(run.stderr))
    assert len(digests["1"] | digests["all"]) == 1, "the byte streams differ between thread counts"
    return fps


def seconds_per_call(call, calls: int) -> float:
    start = time.perf_counter()
    for _ in range(calls):
        call()
    return (time.perf_counter() - start) / calls


def render_against_surface(calls: int, rounds: int):
    """Median seconds of render() and of an unchanged Surface frame, and their median ratio."""
    mesh = f.Mesh.from_arrays([[0, 0, 0], [0.01, 0, 0], [0, 0.01, 0]], name="tiny", normalize=False)
    camera = f.Camera()
    surface = f.Surface("full", cell_size=(16, 20))
    viewport = f.Viewport(0, 0, 100, 50)
    assert surface.framebuffer_size(viewport) == (1600, 1000)
    surface.render_to_terminal(mesh, camera, viewport)
    renders, frames = [], []
    for _ in range(rounds):
        renders.append(seconds_per_call(lambda: f.render(mesh, camera, 1600, 1000), calls))
        frames.append(seconds_per_call(lambda: surface.render_to_terminal(mesh, camera, viewport), calls))
    ratio = statistics.median(r / s for r, s in zip(renders, frames))
    return statistics.median(renders), statistics.median(frames), ratio


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--frames", type=int, default=40, help="sphere frames per round")
    parser.add_argument("--rounds", type=int, default=5, help="rounds of each case")
    args = parser.parse_args()

    with tempfile.NamedTemporaryFile(suffix=".stl") as stl:
        write_binary(stl, 501, 1000)
        stl.flush()
        fps = sphere_rounds(stl.name, args.frames, args.rounds)
    one, every = statistics.median(fps["1"]), statistics.median(fps["all"])
    speedup = statistics.median(a / b for a, b in zip(fps["all"], fps["1"]))
    print(f"1M-triangle sphere, 1197x780 full, FACETVIEW_THREADS=1 (baseline)  {one:7.2f} fps")
    print(f"1M-triangle sphere, 1197x780 full, every core ({os.cpu_count()})            "
          f"{every:7.2f} fps  {speedup:.2f}x one thread, same bytes")

    saved = os.dup(1)
    with tempfile.TemporaryFile() as capture:
        os.dup2(capture.fileno(), 1)
        try:
            render, frame, ratio = render_against_surface(20, args.rounds)
        finally:
            os.dup2(saved, 1)
            os.close(saved)
    print(f"1600x1000 unchanged Surface frame, near-empty scene (baseline)   {frame * 1e3:7.2f} ms")
    print(f"1600x1000 render(), near-empty scene                             {render * 1e3:7.2f} ms  "
          f"{ratio:.2f}x the Surface frame")
    return 0


if __name__ == "__main__":
    sys.exit(main())
