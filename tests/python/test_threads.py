"""Frames on several threads: the same pixels and bytes as on one, and other Python threads
run while the module renders or compresses."""

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
from conftest import binary_stl, child_env


def sphere(rings, segments):
    """A closed sphere of 2 * segments * (rings - 1) triangles, facing out."""
    def point(ring, segment):
        polar, azimuth = math.pi * ring / (rings - 1), 2 * math.pi * segment / segments
        return (math.sin(polar) * math.cos(azimuth), math.cos(polar), math.sin(polar) * math.sin(azimuth))
    triangles = []
    for ring in range(1, rings):
        for s in range(segments):
            a, b, c, d = point(ring - 1, s), point(ring - 1, s + 1), point(ring, s), point(ring, s + 1)
            triangles += [(a, b, c), (b, d, c)]
    return binary_stl(triangles)


@pytest.fixture(scope="module")
def sphere_file(tmp_path_factory):
    """A sphere of 40000 triangles: enough for every thread to draw a share."""
    path = tmp_path_factory.mktemp("sphere") / "sphere.stl"
    path.write_bytes(sphere(101, 200))
    return str(path)


# Three surfaces, one after the other (a surface made while another is alive draws with image
# ids of a range of its own, which differ from run to run), each showing a turning sphere for a
# few frames into descriptor 1, and the frames of render(); a digest of everything, on standard
# error.
FRAMES = """import hashlib, os, sys, facetview as f
mesh = f.Mesh.load(sys.argv[1])
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


def frames_digest(sphere_file, threads, hash_seed):
    with tempfile.TemporaryFile() as output:
        run = subprocess.run([sys.executable, "-c", FRAMES, sphere_file], stdout=output, stderr=subprocess.PIPE,
                             env=child_env(FACETVIEW_THREADS=threads, PYTHONHASHSEED=hash_seed), check=True)
        output.seek(0)
        return hashlib.sha256(output.read()).hexdigest(), run.stderr


def test_frames_and_byte_streams_are_those_of_one_thread(sphere_file):
    one = frames_digest(sphere_file, "1", "1")
    # Heap layouts differ from run to run with the hash seed; the bytes may not.
    for threads, hash_seed in [("2", "2"), ("8", "3"), ("2", "4"), ("1", "5")]:
        assert frames_digest(sphere_file, threads, hash_seed) == one, threads


def test_other_threads_run_while_a_frame_renders(sphere_file):
    mesh = f.Mesh.load(sphere_file)
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
