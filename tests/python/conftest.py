"""Shared helpers of the tests of the facetview extension module."""

import fcntl
import io
import os
import pty
import select
import struct
import subprocess
import sys
import termios
import time
import zipfile
from pathlib import Path

import pytest

# The kitty graphics readers of the end-to-end tests serve these tests too.
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))


def binary_stl(triangles, header=b"", attribute=0):
    """A binary STL file of the triangles (each three corners), with zero stored normals."""
    records = b"".join(struct.pack("<12fH", 0, 0, 0, *(c for vertex in triangle for c in vertex), attribute)
                       for triangle in triangles)
    return header.ljust(80, b"\0") + struct.pack("<I", len(triangles)) + records


def model_files(points, faces, rgb=None):
    """The same solid in every format the readers take, {file name: content}; with rgb (0 to 255
    each) the OBJ file's faces are painted that colour by a material library beside it."""
    numbers = lambda values: " ".join(map(str, values))
    triangles = [[points[i] for i in face] for face in faces]
    ply = [f"ply\nformat ascii 1.0\nelement vertex {len(points)}\n",
           "property float x\nproperty float y\nproperty float z\n",
           f"element face {len(faces)}\nproperty list uchar int vertex_indices\nend_header\n",
           *(numbers(p) + "\n" for p in points), *(f"3 {numbers(face)}\n" for face in faces)]
    obj = ["mtllib paint.mtl\nusemtl paint\n" if rgb else "", *(f"v {numbers(p)}\n" for p in points),
           *(f"f {numbers(i + 1 for i in face)}\n" for face in faces)]
    model = ['<model xmlns="http://schemas.microsoft.com/3dmanufacturing/core/2015/02"><resources><object id="1"><mesh><vertices>',
             *('<vertex x="{}" y="{}" z="{}"/>'.format(*p) for p in points),
             "</vertices><triangles>", *('<triangle v1="{}" v2="{}" v3="{}"/>'.format(*face) for face in faces),
             '</triangles></mesh></object></resources><build><item objectid="1"/></build></model>']
    archive = io.BytesIO()
    with zipfile.ZipFile(archive, "w") as package:
        package.writestr("3D/3dmodel.model", "".join(model))
    files = {"binary.stl": binary_stl(triangles),
             "ascii.stl": ("solid t\n" + "".join(f"vertex {numbers(p)}\n" for t in triangles for p in t)).encode(),
             "part.ply": "".join(ply).encode(), "part.obj": "".join(obj).encode(), "part.3mf": archive.getvalue()}
    if rgb:
        files["paint.mtl"] = ("newmtl paint\nKd " + numbers(f"{c / 255:.4f}" for c in rgb) + "\n").encode()
    return files


def cause_chain(error):
    """(type, message) of an exception and of each one it was raised from."""
    return [] if error is None else [(type(error), str(error))] + cause_chain(error.__cause__)


def child_env(**extra):
    """The environment of a child interpreter that finds the same facetview package."""
    return dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p), **extra)


def run_python(code, *, stdout=subprocess.PIPE):
    """Runs code in a fresh interpreter that finds the same facetview package."""
    return subprocess.run([sys.executable, "-c", code], stdout=stdout, stderr=subprocess.PIPE, env=child_env(),
                          check=False)


def run_viewer(*args, input=None, stdin=subprocess.DEVNULL):
    """The viewer run to its end without a terminal on standard input (input or stdin there), its output captured."""
    return subprocess.run([sys.executable, "-m", "facetview", *args], input=input, stdin=None if input is not None else stdin,
                          capture_output=True, timeout=30, check=False)


def signal_until_exit(process, number):
    """Sends the signal until the process ends: one that lands just before a blocking call starts
    only sets a flag, so it is repeated."""
    for _ in range(200):
        process.send_signal(number)
        try:
            process.wait(0.05)
            return
        except subprocess.TimeoutExpired:
            pass
    process.kill()
    pytest.fail(f"the process did not stop on signal {number}")


@pytest.fixture
def pty_terminal():
    """A pseudo-terminal: the program's end, and the terminal's end that a test answers from."""
    terminal_end, program_end = os.openpty()
    yield program_end, terminal_end
    os.close(program_end)
    os.close(terminal_end)


def drained(fd, wait=0.2, deadline=float("inf")):
    """What the terminal side has been sent, read until it stays quiet for `wait` seconds
    (or the monotonic clock passes `deadline`: a program may never stop writing)."""
    output = b""
    while time.monotonic() < deadline and select.select([fd], [], [], wait)[0]:
        output += os.read(fd, 65536)
    return output


class PtyViewer:
    """The viewer as a child process on a 60 x 12 pseudo-terminal."""

    def __init__(self, *args, controlling=False, size=(60, 12), protocol="kitty", stdin=None, stdout=None, env=None):
        self.master, self.slave = pty.openpty()
        fcntl.ioctl(self.slave, termios.TIOCSWINSZ, struct.pack("HHHH", size[1], size[0], 0, 0))
        self.modes_before = termios.tcgetattr(self.slave)
        # Its own process group in this session, so that job control may stop it;
        # or a session of its own with this terminal as its controlling terminal.
        setup = self._control_terminal if controlling else os.setpgrp
        # kitty graphics unless told: this terminal answers no query unless a test does.
        chosen = ["--protocol", protocol] if protocol else []
        self.process = subprocess.Popen([sys.executable, "-m", "facetview", *chosen, *args], stdin=stdin or self.slave,
                                        stdout=stdout or self.slave, stderr=subprocess.PIPE, preexec_fn=setup, env=env)
        self.output = b""

    @staticmethod
    def _control_terminal():
        os.setsid()
        fcntl.ioctl(1, termios.TIOCSCTTY, 0)  # standard output is always the terminal

    def read_until(self, expected, start=0):
        deadline = time.monotonic() + 20
        while expected not in self.output[start:]:
            assert time.monotonic() < deadline, f"no {expected!r} in {self.output[-300:]!r}"
            if select.select([self.master], [], [], 0.05)[0]:
                self.output += os.read(self.master, 65536)
        return self.output.index(expected, start) + len(expected)

    def modes(self):
        return termios.tcgetattr(self.slave)

    def finish(self, timeout=20):
        """Waits for the viewer to end, reading the terminal meanwhile: (status, standard error)."""
        deadline = time.monotonic() + timeout
        while self.process.poll() is None:
            assert time.monotonic() < deadline, "the viewer did not end"
            self.output += drained(self.master, 0.05, deadline)
        self.output += drained(self.master, 0)
        return self.process.returncode, self.process.stderr.read()

    def quit(self):
        os.write(self.master, b"q")
        assert self.finish() == (0, b"")

    def close(self):
        self.process.kill()  # does nothing once the process has been waited for
        self.process.wait()
        for stream in filter(None, (self.process.stdout, self.process.stderr)):
            stream.close()
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass


@pytest.fixture
def viewers():
    started = []
    yield lambda *args, **options: started.append(PtyViewer(*args, **options)) or started[-1]
    for viewer in started:
        viewer.close()


@pytest.fixture(scope="session")
def models():
    """The folder holding the unpacked test-model packages, fetched with apt-get download on first
    use; skips where they cannot be had."""
    cache = Path(os.environ.get("FACETVIEW_MODEL_CACHE", Path(__file__).parents[2] / "build" / "test-models"))
    root, packages = cache / "unpacked", ["assimp-testmodels", "openscad-testing-data"]
    if not (root / "usr").is_dir():
        cache.mkdir(parents=True, exist_ok=True)
        fetched = subprocess.run(["apt-get", "download", *packages], cwd=cache, capture_output=True, text=True,
                                 check=False)
        debs = sorted(cache.glob("*.deb"))
        if fetched.returncode != 0 or len(debs) < len(packages):
            pytest.skip(f"real test models unavailable: apt-get download {' '.join(packages)} failed: "
                        f"{fetched.stderr.strip()[-300:]}")
        for deb in debs:
            subprocess.run(["dpkg-deb", "-x", str(deb), str(root)], check=True)
    return root / "usr" / "share"
