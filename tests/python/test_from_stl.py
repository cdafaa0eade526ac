"""Mesh.from_stl: paths, loading, normalization, the failure message and its reason."""

import errno
import os
import signal
import subprocess
import sys

import pytest

from conftest import binary_stl, child_env, run_python, signal_until_exit
from facetview import Camera, Mesh, Surface, Viewport

# A cube from (0, 0, 0) to (1, 1, 1): two triangles on each face, outward winding.
CORNERS = [(x, y, z) for x in (0, 1) for y in (0, 1) for z in (0, 1)]
QUADS = [(0, 2, 6, 4), (1, 5, 7, 3), (0, 4, 5, 1), (2, 3, 7, 6), (0, 1, 3, 2), (4, 6, 7, 5)]
CUBE_FACES = [tuple(CORNERS[i] for i in corners) for a, b, c, d in QUADS for corners in ((a, b, c), (a, c, d))]
FACET = b"facet normal 0 0 0\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n"


# The reason behind "failed to load STL from ...": an OSError for the system's errors, otherwise
# RuntimeErrors with the reader's messages, outermost first.
@pytest.mark.parametrize("path, content, reason", [
    ("empty.stl", b"", ["failed to parse STL triangles from ASCII source"]),
    ("zero.stl", binary_stl([]), ["binary STL contained no triangles"]),
    ("number.stl", b"solid x\nfacet normal 0 0 1\nvertex 0 0 x\n", ["invalid float literal"]),
    ("latin1.stl", b"solid caf\xe9\n", ["ASCII STL is not valid UTF-8", "invalid utf-8 sequence of 1 bytes from index 9"]),
    ("missing.stl", None, FileNotFoundError), ("", None, FileNotFoundError), (".", None, IsADirectoryError),
    ("dir/../missing.stl", None, FileNotFoundError), ("naïve ☃.stl", None, FileNotFoundError),
    ("a\0b.stl", None, ["failed to read STL file {}", "path contains a NUL byte"]),  # must not open "a"
])
def test_unreadable_files_keep_their_reason(tmp_path, monkeypatch, path, content, reason):
    (tmp_path / "a").write_bytes(binary_stl(CUBE_FACES))
    if content is not None:
        (tmp_path / path).write_bytes(content)
    monkeypatch.chdir(tmp_path)
    # Absolute too, as bytes and as a path object; the empty name is no file even then.
    full = tmp_path / path
    for given in [path] + [str(full), os.fsencode(full), full] * bool(path):
        with pytest.raises(RuntimeError) as error:
            Mesh.from_stl(path=given)
        assert error.value.args == (f"failed to load STL from {os.fsdecode(given)}",)
        assert error.value.__context__ is None
        assert_reason(error.value.__cause__, reason, given)


def assert_reason(cause, reason, path):
    if isinstance(reason, type):
        number = {FileNotFoundError: errno.ENOENT, IsADirectoryError: errno.EISDIR, PermissionError: errno.EACCES}[reason]
        assert (type(cause), cause.errno, cause.strerror, cause.filename) == (reason, number, os.strerror(number), path)
        return
    for message in reason:
        assert (type(cause), cause.args) == (RuntimeError, (message.format(os.fsdecode(path)),))
        cause = cause.__cause__
    assert cause is None


def test_unreadable_file_gives_permission_error(tmp_path):
    path = tmp_path / "locked.stl"
    path.write_bytes(binary_stl(CUBE_FACES))
    path.chmod(0)
    # Root reads any file: the check runs as nobody, for whom the test directory is closed too.
    drop = "os.setuid(65534); " if os.geteuid() == 0 else ""
    result = run_python(f"""import os, facetview
{drop}
try:
    facetview.Mesh.from_stl({str(path)!r})
except RuntimeError as error:
    print(type(error.__cause__).__name__, error.__cause__.errno, error.__cause__.filename == {str(path)!r})""")
    assert (result.returncode, result.stdout.decode()) == (0, f"PermissionError {errno.EACCES} True\n"), result.stderr


def test_file_names_that_are_not_utf8_load(tmp_path):
    name = b"caf\xe9 \xff.stl"
    (tmp_path / os.fsdecode(name)).write_bytes(binary_stl(CUBE_FACES))
    for given in (os.fsencode(tmp_path) + b"/" + name, str(tmp_path / os.fsdecode(name)), tmp_path / os.fsdecode(name)):
        mesh = Mesh.from_stl(given)
        assert (mesh.name, mesh.triangle_count) == ("model", 12)  # a stem that is not UTF-8 is not a name
    with pytest.raises(RuntimeError) as error:
        Mesh.from_stl(str(tmp_path / "gone \udcff.stl"))
    assert error.value.args == (f"failed to load STL from {tmp_path}/gone \udcff.stl",)
    assert isinstance(error.value.__cause__, FileNotFoundError)


# Reads that never end: a FIFO whose writer sends nothing, and /dev/zero, which never blocks.
INTERRUPTED_READ = """import os, resource, signal, sys, facetview
resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))  # a read that goes on stops here
def stop(number, _):
    signal.signal(number, signal.SIG_IGN)
    raise KeyboardInterrupt
signal.signal(signal.SIGINT, stop)
try:
    print("reading", flush=True)
    facetview.Mesh.from_stl(sys.argv[1])
except KeyboardInterrupt:
    print("interrupted")"""


@pytest.mark.parametrize("source", ["fifo", "/dev/zero"])
def test_ctrl_c_ends_a_read_that_never_ends(tmp_path, source):
    path = source
    if source == "fifo":
        path = str(tmp_path / "model.stl")
        os.mkfifo(path)
    process = subprocess.Popen([sys.executable, "-c", INTERRUPTED_READ, path], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, env=child_env())
    assert process.stdout.readline() == b"reading\n"
    writer = os.open(path, os.O_WRONLY) if source == "fifo" else None  # returns once the reader has opened it
    signal_until_exit(process, signal.SIGINT)
    if writer is not None:
        os.close(writer)
    stdout, stderr = process.communicate()
    assert (process.returncode, stdout, stderr) == (0, b"interrupted\n", b"")


@pytest.mark.parametrize("content, file_name, name, triangles", [
    (binary_stl(CUBE_FACES, b"solid cube"), "box.stl", "solid cube", 12),
    (binary_stl(CUBE_FACES), "part.v2.stl", "part.v2", 12),
    (b"solid my  part\n" + FACET + b"endsolid\n", "p.stl", "my part", 1),
    (b"solid\n" + FACET * 3 + b"endsolid\n", "Grüße.stl", "Grüße", 3),
])
def test_loaded_mesh_name_and_count(tmp_path, content, file_name, name, triangles):
    (tmp_path / file_name).write_bytes(content)
    mesh = Mesh.from_stl(str(tmp_path / file_name))
    assert (mesh.name, mesh.triangle_count, repr(mesh)) == (name, triangles, f'Mesh(name="{name}", triangles={triangles})')


def test_loaded_meshes_are_normalized(tmp_path, capfdbinary):
    surface, path = Surface("low"), tmp_path / "m.stl"

    def frame_bytes(scale, offset):
        path.write_bytes(binary_stl([tuple(tuple(c * scale + offset for c in v) for v in t) for t in CUBE_FACES]))
        surface.render_to_terminal(Mesh.from_stl(str(path)), Camera(), Viewport(0, 0, 16, 8))
        return capfdbinary.readouterr().out

    assert frame_bytes(1.0, 0.0) != b""
    # The same cube, much larger and elsewhere, normalizes to the same model: nothing new is sent.
    assert frame_bytes(250.0, -1000.0) == b""
    # All corners in one point: only the background is left.
    assert frame_bytes(0.0, 7.0) != b""
