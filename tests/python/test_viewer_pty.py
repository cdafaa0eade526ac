"""The viewer on a pseudo-terminal: keys, signals, and the terminal given back."""

import fcntl
import os
import pty
import select
import signal
import struct
import subprocess
import sys
import termios
import time

import pytest

DELETE_ALL = b"\x1b_Ga=d,d=A,q=2\x1b\\"
GIVEN_BACK = DELETE_ALL + b"\x1b[?25h\x1b[?1049l"


def set_window_size(fd, cols, rows):
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", rows, cols, 0, 0))


class PtyViewer:
    """The viewer running with a pseudo-terminal as its standard input and output."""

    def __init__(self, *args, cols=60, rows=12):
        self.master, self.slave = pty.openpty()
        set_window_size(self.slave, cols, rows)
        self.modes_before = termios.tcgetattr(self.slave)
        self.process = subprocess.Popen([sys.executable, "-m", "facetview", "--fps", "50", *args],
                                        stdin=self.slave, stdout=self.slave, stderr=subprocess.PIPE)
        self.output = b""

    def read_until(self, expected, timeout=20.0):
        deadline = time.monotonic() + timeout
        while expected not in self.output:
            assert time.monotonic() < deadline, f"no {expected!r} in {self.output[-300:]!r}"
            if select.select([self.master], [], [], 0.05)[0]:
                self.output += os.read(self.master, 65536)
        return self.output

    def send(self, keys):
        os.write(self.master, keys)

    def finish(self):
        status = self.process.wait(timeout=20)
        self.read_until(GIVEN_BACK)
        modes_after = termios.tcgetattr(self.slave)
        stderr = self.process.stderr.read()
        self.process.stderr.close()
        os.close(self.master), os.close(self.slave)
        return status, modes_after, stderr


@pytest.fixture
def viewer():
    started = []
    yield lambda *args, **size: started.append(PtyViewer(*args, **size)) or started[-1]
    for running in started:
        if running.process.poll() is None:
            running.process.kill()
            running.process.wait()


def first_frame(running):
    return running.read_until(b"triangles")


@pytest.mark.parametrize("quit_key", [b"q", b"\x03"])
def test_quit_key_ends_and_gives_the_terminal_back(viewer, quit_key):
    running = viewer()
    assert first_frame(running).startswith(b"\x1b[?1049h\x1b[?25l\x1b[2J" + DELETE_ALL)
    running.send(quit_key)
    status, modes_after, stderr = running.finish()
    assert (status, stderr) == (0, b"")
    assert modes_after == running.modes_before
    assert running.output.endswith(GIVEN_BACK)


@pytest.mark.parametrize("signum, status", [(signal.SIGTERM, -signal.SIGTERM),
                                            (signal.SIGHUP, -signal.SIGHUP),
                                            (signal.SIGINT, 128 + signal.SIGINT)])
def test_signal_ends_and_gives_the_terminal_back(viewer, signum, status):
    running = viewer()
    first_frame(running)
    running.process.send_signal(signum)
    assert running.finish() == (status, running.modes_before, b"")


def test_keys_change_the_picture_and_the_status(viewer):
    running = viewer("--no-spin")
    first_frame(running)
    running.read_until(b"| paused")
    shown = len(running.output)
    running.send(b"3")
    running.read_until(b"| high")
    assert DELETE_ALL in running.output[shown:]  # a new quality resizes the frame: all tiles anew
    shown = len(running.output)
    running.send(b"\x1b[D")
    assert b"\x1b_Ga=d,d=I," in running.read_until(b"\x1b_Ga=d,d=I,")[shown:]  # changed tiles replaced
    running.send(b" ")
    running.read_until(b" fps")
    running.send(b"q")
    assert running.finish()[0] == 0


def test_resized_window_is_followed(viewer):
    running = viewer("--no-spin", cols=60, rows=12)
    running.read_until(b"\x1b[12;1Hdemo hull")
    set_window_size(running.slave, 60, 20)
    running.read_until(b"\x1b[20;1Hdemo hull")
    running.send(b"q")
    assert running.finish()[0] == 0


def test_hold_keeps_the_last_frame_then_cleans_up(viewer):
    running = viewer("--once", "--hold", "0.5")
    first_frame(running)
    time.sleep(0.2)
    assert running.process.poll() is None
    assert running.finish()[0] == 0
