#!/usr/bin/env python3
"""Times f.render of a million-triangle sphere at 800x480 under the inspecting views,
each beside the Camera frame of the same run (the baseline): the equivalent
OrbitCamera, an orthographic one, one close enough that most of the sphere is cut
at the near limit, and the frame with edges (their finding, once per mesh,
reported apart). Medians of several rounds, in ms.

Run with the package installed, e.g. .venv/bin/python bench/python/view_bench.py
"""

from __future__ import annotations

import os
import statistics
import tempfile
import time

from sphere_stl import write_binary

import facetview as f

WIDTH, HEIGHT = 800, 480
ROUNDS, FRAMES = 5, 4


def median_ms(draw) -> float:
    draw()  # warm
    rounds = []
    for _ in range(ROUNDS):
        start = time.perf_counter()
        for _ in range(FRAMES):
            draw()
        rounds.append((time.perf_counter() - start) / FRAMES * 1e3)
    return statistics.median(rounds)


def main() -> None:
    with tempfile.TemporaryDirectory() as directory:
        path = os.path.join(directory, "sphere.stl")
        with open(path, "wb") as out:
            write_binary(out, 501, 1000)
        mesh = f.Mesh.from_stl(path)
    camera = f.Camera()
    cases = [
        ("OrbitCamera, equivalent", lambda: f.render(mesh, f.OrbitCamera(), WIDTH, HEIGHT)),
        ("OrbitCamera, orthographic", lambda: f.render(mesh, f.OrbitCamera(orthographic=True), WIDTH, HEIGHT)),
        ("OrbitCamera, close (near limit cuts)",
         lambda: f.render(mesh, f.OrbitCamera((0.3, 0.3, 0.6), 0.5), WIDTH, HEIGHT)),
    ]
    start = time.perf_counter()
    f.render(mesh, f.OrbitCamera(), WIDTH, HEIGHT, edges=True)
    first_edges = (time.perf_counter() - start) * 1e3
    cases.append(("OrbitCamera with edges", lambda: f.render(mesh, f.OrbitCamera(), WIDTH, HEIGHT, edges=True)))
    baseline = median_ms(lambda: f.render(mesh, camera, WIDTH, HEIGHT))
    print(f"{mesh.triangle_count} triangles at {WIDTH}x{HEIGHT}; baseline Camera frame {baseline:.1f} ms")
    for label, draw in cases:
        ms = median_ms(draw)
        print(f"{label:40} {ms:7.1f} ms  {ms / baseline:5.2f}x")
    print(f"{'first frame with edges (finds them)':40} {first_edges:7.1f} ms  {first_edges / baseline:5.2f}x")


if __name__ == "__main__":
    main()
