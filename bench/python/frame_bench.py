#!/usr/bin/env python3
"""Times Surface.render_to_terminal on the demo hull from Python.

Standard output (descriptor 1) goes to /dev/null while frames are drawn, so the
figures cover rendering, comparison, compression and the writes themselves but
no terminal. Each case is reported in ms per frame beside baselines measured in
the same run: a call of Surface.framebuffer_size (the cost of crossing into the
module) and, for a turning camera, the fixed-camera frame of the same size
(render and compare only, nothing sent).

Run with the package installed, e.g. .venv/bin/python bench/python/frame_bench.py
"""

from __future__ import annotations

import argparse
import os
import sys
import time
from contextlib import contextmanager
from typing import Callable, Iterator, List, Tuple

from facetview import _facetview as native

# (label, quality, cols, rows)
SIZES = [
    ("80x24 medium", "medium", 80, 24),
    ("160x48 high", "high", 160, 48),
]
# Radians per frame of a slowly turning model.
TURN_PER_FRAME = 0.01


@contextmanager
def stdout_to_devnull() -> Iterator[None]:
    """Points descriptor 1, which the module writes to, at /dev/null."""
    sys.stdout.flush()
    saved = os.dup(1)
    devnull = os.open(os.devnull, os.O_WRONLY)
    try:
        os.dup2(devnull, 1)
        yield
    finally:
        os.dup2(saved, 1)
        os.close(devnull)
        os.close(saved)


def seconds_per_call(call: Callable[[], object], calls: int) -> float:
    start = time.perf_counter()
    for _ in range(calls):
        call()
    return (time.perf_counter() - start) / calls


def frame_runner(quality: str, cols: int, rows: int, turning: bool) -> Callable[[], object]:
    surface = native.Surface(quality)
    mesh = native.Mesh.demo()
    camera = native.Camera()
    viewport = native.Viewport(0, 0, cols, rows)
    # The first frame sends every tile; the timed ones after it only what changed.
    surface.render_to_terminal(mesh, camera, viewport)

    def frame() -> object:
        if turning:
            camera.yaw += TURN_PER_FRAME
        return surface.render_to_terminal(mesh, camera, viewport)

    return frame


def measure(frames: int) -> List[Tuple[str, float, str]]:
    rows_out: List[Tuple[str, float, str]] = []
    for label, quality, cols, rows in SIZES:
        surface = native.Surface(quality)
        viewport = native.Viewport(0, 0, cols, rows)
        size_call = seconds_per_call(lambda: surface.framebuffer_size(viewport), frames * 100)
        fixed = seconds_per_call(frame_runner(quality, cols, rows, turning=False), frames)
        turning = seconds_per_call(frame_runner(quality, cols, rows, turning=True), frames)
        rows_out.append((f"{label} framebuffer_size call (baseline)", size_call, ""))
        rows_out.append(
            (f"{label} fixed camera", fixed, f"{fixed / size_call:.0f}x the framebuffer_size call")
        )
        rows_out.append(
            (f"{label} turning camera", turning, f"{turning / fixed:.2f}x the fixed-camera frame")
        )
    return rows_out


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--frames", type=int, default=200, help="frames timed per case")
    args = parser.parse_args()
    if args.frames < 1:
        parser.error("--frames must be at least 1")

    with stdout_to_devnull():
        results = measure(args.frames)

    width = max(len(name) for name, _, _ in results)
    for name, seconds, note in results:
        print(f"{name:<{width}}  {seconds * 1e3:10.5f} ms  {note}".rstrip())
    return 0


if __name__ == "__main__":
    sys.exit(main())
