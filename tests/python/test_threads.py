"""Frames on several threads: the same pixels and bytes as on one, and other Python threads
run while the module renders or compresses."""

import functools
import hashlib
import math
import os
import subprocess
import sys
import tempfile
import threading
import time

import pytest

import facetview as f
from conftest import child_env


@functools.cache
def sphere(rings=101, segments=200):
    """A closed sphere of 2 * segments * (rings - 1) triangles, facing out: by default 40000, enough for
    every thread to draw a share."""
    points = [(math.sin(polar) * math.cos(azimuth), math.cos(polar), math.sin(polar) * math.sin(azimuth))
              for polar in (math.pi * r / (rings - 1) for r in range(rings))
              for azimuth in (2 * math.pi * s / segments for s in range(segments))]
    at = lambda ring, s: ring * segments + s % segments
    pairs = [((at(r - 1, s), at(r - 1, s + 1), at(r, s)), (at(r - 1, s + 1), at(r, s + 1), at(r, s)))
             for r in range(1, rings) for s in range(segments)]
    return f.Mesh.from_arrays(points, [face for pair in pairs for face in pair])


# Three surfaces, one after the other (a surface made while another is alive draws with image
# ids of a range of its own, which differ from run to run), each showing a turning sphere for a
# few frames into descriptor 1, and the frames of render(); a digest of everything, on standard
# error.
FRAMES = """import hashlib, sys, facetview as f
from test_threads import sphere
mesh = sphere()
views = [("high", None, f.Viewport(0, 0, 80, 24)), ("full", (9, 20), f.Viewport(2, 1, 61, 19)),
         ("low", None, f.Viewport(0, 0, 133, 39))]
digest = hashlib.sha256()
for quality, cell_size, viewport in views:
    surface = f.Surface(quality, cell_size=cell_size)
    for turn in range(4):
        camera = f.Camera(yaw=0.3 * turn, zoom=0.8 + 0.2 * turn)
        surface.render_to_terminal(mesh, camera, viewport)
        digest.update(f.render(mesh, camera, 311, 173))
    surface.clear()
    del surface
print(digest.hexdigest(), file=sys.stderr)
"""


def frames_digest(threads, hash_seed):
    with tempfile.TemporaryFile() as output:
        run = subprocess.run([sys.executable, "-c", FRAMES], stdout=output, stderr=subprocess.PIPE,
                             env=child_env(FACETVIEW_THREADS=threads, PYTHONHASHSEED=hash_seed), check=True)
        output.seek(0)
        return hashlib.sha256(output.read()).hexdigest(), run.stderr


def test_frames_and_byte_streams_are_those_of_one_thread():
    one = frames_digest("1", "1")
    # Heap layouts differ from run to run with the hash seed; the bytes may not.
    for threads, hash_seed in [("2", "2"), ("8", "3"), ("2", "4"), ("1", "5")]:
        assert frames_digest(threads, hash_seed) == one, threads


def test_other_threads_run_while_a_frame_renders():
    mesh = sphere()
    ticks, stop = [], threading.Event()
    counter = threading.Thread(target=lambda: [ticks.append(1) or time.sleep(0.0005) for _ in iter(stop.is_set, True)])
    counter.start()
    try:
        ticked = []
        for call in (lambda: f.render(mesh, f.Camera(), 1600, 1000),
                     lambda: f.save_png(os.devnull, mesh, f.Camera(), 1600, 1000)):
            before = len(ticks)
            call()
            ticked.append(len(ticks) - before)
    finally:
        stop.set()
        counter.join()
    assert min(ticked) >= 3, ticked


@pytest.mark.parametrize("setting, threads", [("1", 1), ("3", 3), ("8", 8), ("0", None), ("many", None)])
def test_the_thread_count_is_read_from_the_environment(setting, threads):
    # The pool's threads and the caller are the process's threads once a frame was drawn;
    # a setting that is not a whole number from 1 up leaves the processors' count.
    script = ("import os, facetview as f; f.render(f.Mesh.demo(), f.Camera(), 64, 48); "
              "print(len(os.listdir('/proc/self/task')))")
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                         env=child_env(FACETVIEW_THREADS=setting), check=True)
    assert int(run.stdout) == (threads or len(os.sched_getaffinity(0)))
