"""What reaches file descriptor 1 when writing to it fails, blocks or is interrupted by a Python
signal handler; other Python threads run while it blocks. (How the writer ends a command that a
failure cuts short is pinned in the C++ tests, for every cut.)"""

import fcntl
import os
import signal
import subprocess
import sys
import tempfile
import termios
import time

import pytest

from conftest import child_env, signal_until_exit
from kitty_stream import FRAME_START, commands, screen

PIPE_SIZE = 4096
# Frame A goes to a descriptor set up by each case; then frame B, another view, to the capture file.
CHILD = """import os, signal, sys, facetview as f
surface, viewport = f.Surface("medium"), f.Viewport(0, 0, 48, 24)
def frame(pitch):
    return surface.render_to_terminal(f.Mesh.demo(), f.Camera(pitch=pitch), viewport)
def stop(number, _):
    signal.signal(number, signal.SIG_IGN)
    raise SystemExit(3)
signal.signal(signal.SIGTERM, stop)
capture = os.dup(1)
{setup}
try:
    frame(0.1)
    print("sent", file=sys.stderr)
except BaseException as error:
    print(type(error).__name__, error, file=sys.stderr)
os.dup2(capture, 1)
frame(0.9)
"""
SETUPS = {
    "closed": "os.close(1)",
    "full": "os.dup2(os.open('/dev/full', os.O_WRONLY), 1)",
    "broken pipe": "r, w = os.pipe(); os.close(r); os.dup2(w, 1)",
    # A thread that keeps saying it runs.
    "given, non-blocking": "os.dup2(int(os.environ['FRAME_FD']), 1); os.set_blocking(1, False)",
    "given, ticking": "os.dup2(int(os.environ['FRAME_FD']), 1); import threading, time; threading.Thread("
                      "target=lambda: [print('tick', file=sys.stderr, flush=True) or time.sleep(0.02) for _ in "
                      "iter(int, 1)], daemon=True).start()",
}


def child(setup, pipe_end=None):
    """Starts the child with its fd 1 on a capture file; FRAME_FD names pipe_end for the setup."""
    capture = tempfile.TemporaryFile()
    env = child_env() if pipe_end is None else child_env(FRAME_FD=str(pipe_end))
    process = subprocess.Popen([sys.executable, "-c", CHILD.format(setup=SETUPS[setup])], stdout=capture,
                               stderr=subprocess.PIPE, env=env, pass_fds=() if pipe_end is None else (pipe_end,))
    return process, capture


def captured(capture):
    capture.seek(0)
    return capture.read()


@pytest.fixture(scope="module")
def frame_b_alone():
    """The screen that frame B draws on a fresh terminal."""
    process, capture = child("full")
    assert process.wait() == 0
    return screen(captured(capture))


@pytest.mark.parametrize("setup, error", [
    ("closed", "RuntimeError Bad file descriptor (os error 9)"),
    ("broken pipe", "RuntimeError Broken pipe (os error 32)"),
])
def test_failed_frame_leaves_nothing_and_the_next_rebuilds(setup, error, frame_b_alone):
    process, capture = child(setup)
    _, stderr = process.communicate()
    assert (process.returncode, stderr.decode().splitlines()) == (0, [error])
    stream = captured(capture)
    assert stream.startswith(FRAME_START)  # nothing of frame A, and a whole rebuild
    assert screen(stream) == frame_b_alone


def child_on_a_small_pipe(setup):
    """The child with frame A going into a pipe of PIPE_SIZE bytes, and the pipe's read end."""
    read_end, write_end = os.pipe()
    fcntl.fcntl(write_end, fcntl.F_SETPIPE_SZ, PIPE_SIZE)
    process, capture = child(setup, write_end)
    os.close(write_end)
    return process, capture, read_end


def test_slow_reader_of_a_non_blocking_pipe_gets_whole_frames(frame_b_alone):
    process, capture, read_end = child_on_a_small_pipe("given, non-blocking")
    received = b""
    while chunk := os.read(read_end, 512):
        received += chunk
        os.sched_yield()
    os.close(read_end)
    _, stderr = process.communicate()
    assert (process.returncode, stderr.decode()) == (0, "sent\n")
    # Frame A whole on the pipe, frame B an update of it: together they show frame B.
    assert received.startswith(FRAME_START) and commands(received)
    assert screen(received + captured(capture)) == frame_b_alone


def test_other_threads_run_while_a_write_blocks_and_a_signal_stops_it(frame_b_alone):
    process, capture, read_end = child_on_a_small_pipe("given, ticking")
    try:
        while int.from_bytes(fcntl.ioctl(read_end, termios.FIONREAD, b"\0\0\0\0"), sys.byteorder) < PIPE_SIZE:
            os.sched_yield()  # until frame A fills the pipe that nobody reads
        os.set_blocking(process.stderr.fileno(), False)
        time.sleep(0.1)  # the frame is stuck on the full pipe now
        process.stderr.read()
        time.sleep(0.4)
        assert process.stderr.read().count(b"tick\n") >= 5 and process.poll() is None
        signal_until_exit(process, signal.SIGTERM)  # its handler raises SystemExit
    finally:
        process.kill()
    os.set_blocking(process.stderr.fileno(), True)
    _, stderr = process.communicate()
    assert (process.returncode, stderr.replace(b"tick", b"").split()) == (0, [b"SystemExit", b"3"])
    fcntl.fcntl(read_end, fcntl.F_SETFL, os.O_NONBLOCK)
    on_the_pipe = os.read(read_end, 2 * PIPE_SIZE)
    os.close(read_end)
    stream = on_the_pipe + captured(capture)
    # Whole commands, but for the one cut short, which is ended before the rebuild.
    assert commands(stream).count(("torn",)) == 1 and stream.count(FRAME_START) == 2
    assert screen(stream) == frame_b_alone
