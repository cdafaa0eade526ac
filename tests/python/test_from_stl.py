"""Mesh.from_stl: paths, names, fixed limits, the failure message and its reason, Ctrl-C."""

import errno
import os
import signal
import subprocess
import sys

import pytest

from conftest import binary_stl, cause_chain, child_env, signal_until_exit
from facetview import Mesh

TRIANGLES = [((0, 0, 0), (1, 0, 0), (0, 1, 0)), ((0, 0, 0), (0, 1, 0), (0, 0, 1))]
FACET = b"facet normal 0 0 0\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n"


# The reason behind "failed to load STL from ...": an OSError for the system's errors, otherwise
# RuntimeErrors with the reader's messages, outermost first.
@pytest.mark.parametrize("path, reason", [
    ("", FileNotFoundError), (".", IsADirectoryError), ("naïve ☃.stl", FileNotFoundError),
    ("gone \udcff.stl", FileNotFoundError),  # a name that is not UTF-8, given as bytes or str
    ("a\0b.stl", ["failed to read STL file {}", "path contains a NUL byte"]),  # must not open "a"
])
def test_unreadable_files_keep_their_reason(tmp_path, monkeypatch, path, reason):
    (tmp_path / "a").write_bytes(binary_stl(TRIANGLES))
    monkeypatch.chdir(tmp_path)
    # Absolute too, as bytes and as a path object; the empty name is no file even then.
    full = tmp_path / path
    for given in [path] + [str(full), os.fsencode(full), full] * bool(path):
        with pytest.raises(RuntimeError) as error:
            Mesh.from_stl(path=given)
        assert error.value.args == (f"failed to load STL from {os.fsdecode(given)}",)
        assert error.value.__context__ is None
        if isinstance(reason, type):  # the system's error, naming the path as given
            number = {FileNotFoundError: errno.ENOENT, IsADirectoryError: errno.EISDIR}[reason]
            expected = [(reason, f"[Errno {number}] {os.strerror(number)}: {given!r}")]
        else:
            expected = [(RuntimeError, message.format(os.fsdecode(given))) for message in reason]
        assert cause_chain(error.value.__cause__) == expected


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
    path = str(tmp_path / "model.stl") if source == "fifo" else source
    if source == "fifo":
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


# The budgets of Mesh.load, set in the environment, are not from_stl's: its limits are fixed.
@pytest.mark.parametrize("content, file_name, name, triangles", [
    (b"solid\n" + FACET * 3 + b"endsolid\n", "Grüße.stl", "Grüße", 3),
    (binary_stl(TRIANGLES), "caf\udce9 \udcff.stl", "model", 2),  # a stem that is not UTF-8 is no name
])
def test_loaded_mesh_name_and_count(tmp_path, monkeypatch, content, file_name, name, triangles):
    monkeypatch.setenv("FACETVIEW_MAX_TRIANGLES", "1")
    monkeypatch.setenv("FACETVIEW_MAX_READ_BYTES", "none")
    (tmp_path / file_name).write_bytes(content)
    mesh = Mesh.from_stl(str(tmp_path / file_name))
    assert (mesh.name, mesh.triangle_count, repr(mesh)) == (name, triangles, f'Mesh(name="{name}", triangles={triangles})')
