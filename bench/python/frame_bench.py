#!/usr/bin/env python3
"""Times Surface.render_to_terminal from Python.

Standard output (descriptor 1) goes to /dev/null while frames are drawn, so the
figures cover rendering, comparison, compression and the writes themselves but
no terminal. Each case is reported in ms per frame (the median of several
rounds) beside baselines measured in the same run:
- the demo hull: a call of Surface.framebuffer_size (the cost of crossing into
  the module) and, for a turning camera, the fixed-camera frame of the same size
  (render and compare only, nothing sent);
- a full rebuild of a 160x48 high frame (every tile sent): one zlib level-1
  pass over the very same frame, rebuilt here from the tiles the module sent;
- a sphere of a million triangles at 800x480: the demo hull's frame of the
  same size and camera.

Run with the package installed, e.g. .venv/bin/python bench/python/frame_bench.py
"""

from __future__ import annotations

import argparse
import base64
import os
import re
import statistics
import sys
import tempfile
import time
import zlib
from contextlib import contextmanager
from typing import Callable, Iterator, List, Tuple

from sphere_stl import write_binary

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


def frame_runner(quality: str, cols: int, rows: int, turning: bool,
                 mesh: object = None) -> Callable[[], object]:
    surface = native.Surface(quality)
    mesh = mesh if mesh is not None else native.Mesh.demo()
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


ROUNDS = 7
SEQUENCE = re.compile(rb"\x1b_G([^;\x1b]*)(?:;([^\x1b]*))?\x1b\\|\x1b\[(\d+);(\d+)H")


def median_seconds(call: Callable[[], object], calls: int) -> float:
    return statistics.median(seconds_per_call(call, calls) for _ in range(ROUNDS))


def frame_from_tiles(transcript: bytes, width: int, cell_w: int, cell_h: int) -> bytes:
    """The RGBA frame put together from the tiles sent (viewport at cell 0, 0)."""
    frame = bytearray()
    payload, size, tile = b"", (0, 0), b""
    for keys, data, row, col in SEQUENCE.findall(transcript):
        if row:
            x, y = (int(col) - 1) * cell_w, (int(row) - 1) * cell_h
            tile_w, tile_h = size
            need = (y + tile_h) * width * 4
            frame.extend(bytes(max(0, need - len(frame))))
            for line in range(tile_h):
                start = ((y + line) * width + x) * 4
                frame[start : start + tile_w * 4] = tile[line * tile_w * 4 : (line + 1) * tile_w * 4]
            continue
        fields = dict(item.split(b"=") for item in keys.split(b","))
        if b"s" in fields:
            size = (int(fields[b"s"]), int(fields[b"v"]))
        if b"m" in fields:
            payload += data
            if fields[b"m"] == b"0":
                tile, payload = zlib.decompress(base64.b64decode(payload)), b""
    return bytes(frame)


def measure_rebuild(frames: int) -> List[Tuple[str, float, str]]:
    """Every tile of a 160x48 high frame sent, beside zlib-1 on the whole frame."""
    surface = native.Surface("high")
    mesh, camera, viewport = native.Mesh.demo(), native.Camera(), native.Viewport(0, 0, 160, 48)
    width, height = surface.framebuffer_size(viewport)
    with tempfile.TemporaryFile() as capture:
        saved = os.dup(1)
        try:
            os.dup2(capture.fileno(), 1)
            surface.render_to_terminal(mesh, camera, viewport)
        finally:
            os.dup2(saved, 1)
            os.close(saved)
        capture.seek(0)
        frame = frame_from_tiles(capture.read(), width, width // 160, height // 48)
    assert len(frame) == width * height * 4, "the tiles did not cover the frame"

    def rebuild() -> object:
        surface.clear()  # the next frame deletes all images and sends every tile
        return surface.render_to_terminal(mesh, camera, viewport)

    rebuilds, passes = [], []
    for _ in range(ROUNDS):
        rebuilds.append(seconds_per_call(rebuild, frames))
        passes.append(seconds_per_call(lambda: zlib.compress(frame, 1), frames))
    ratio = statistics.median(r / z for r, z in zip(rebuilds, passes))
    zlib_pass = statistics.median(passes)
    return [
        ("160x48 high zlib-1 pass over the whole frame (baseline)", zlib_pass, ""),
        ("160x48 high full rebuild, every tile sent", statistics.median(rebuilds),
         f"{ratio:.2f}x the zlib-1 pass"),
    ]


def measure_sphere(frames: int) -> List[Tuple[str, float, str]]:
    """A million-triangle sphere at 800x480 beside the demo hull."""
    with tempfile.NamedTemporaryFile(suffix=".stl") as stl:
        write_binary(stl, 501, 1000)
        stl.flush()
        sphere = native.Mesh.from_stl(stl.name)
    rows: List[Tuple[str, float, str]] = []
    for turning in (False, True):
        sphere_frame = frame_runner("high", 160, 48, turning, sphere)
        demo_frame = frame_runner("high", 160, 48, turning)
        spheres, demos = [], []
        for _ in range(ROUNDS):
            spheres.append(seconds_per_call(sphere_frame, max(1, frames // 10)))
            demos.append(seconds_per_call(demo_frame, frames))
        label = "turning" if turning else "fixed"
        ratio = statistics.median(s / d for s, d in zip(spheres, demos))
        rows.append((f"800x480 demo hull, {label} camera (baseline)", statistics.median(demos), ""))
        rows.append((f"800x480 1M-triangle sphere, {label} camera", statistics.median(spheres),
                     f"{ratio:.1f}x the demo hull"))
    return rows


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--frames", type=int, default=100, help="frames timed per case")
    args = parser.parse_args()
    if args.frames < 1:
        parser.error("--frames must be at least 1")

    with stdout_to_devnull():
        results = measure(args.frames) + measure_rebuild(args.frames) + measure_sphere(args.frames)

    width = max(len(name) for name, _, _ in results)
    for name, seconds, note in results:
        print(f"{name:<{width}}  {seconds * 1e3:10.5f} ms  {note}".rstrip())
    return 0


if __name__ == "__main__":
    sys.exit(main())
