"""The viewer on a pseudo-terminal: it ends on a key or a signal and gives the terminal back."""

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

GIVEN_BACK = b"\x1b_Ga=d,d=A,q=2\x1b\\\x1b[?25h\x1b[?1049l"


@pytest.mark.parametrize("end, status", [(b"q", 0), (b"\x03", 0), (signal.SIGTERM, -signal.SIGTERM),
                                         (signal.SIGHUP, -signal.SIGHUP), (signal.SIGINT, 128 + signal.SIGINT)])
def test_viewer_ends_and_gives_the_terminal_back(end, status):
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 12, 60, 0, 0))
    modes_before = termios.tcgetattr(slave)
    process = subprocess.Popen([sys.executable, "-m", "facetview"], stdin=slave, stdout=slave, stderr=subprocess.PIPE)
    output = b""

    def read_until(expected):
        nonlocal output
        deadline = time.monotonic() + 20
        while expected not in output:
            assert time.monotonic() < deadline, f"no {expected!r} in {output[-300:]!r}"
            if select.select([master], [], [], 0.05)[0]:
                output += os.read(master, 65536)

    try:
        read_until(b"\x1b[12;1Hdemo hull | 12 triangles")
        assert output.startswith(b"\x1b[?1049h\x1b[?25l\x1b[2J\x1b_Ga=d,d=A,q=2\x1b\\")
        os.write(master, end) if isinstance(end, bytes) else process.send_signal(end)
        assert process.wait(timeout=20) == status
        read_until(GIVEN_BACK)
        assert output.endswith(GIVEN_BACK) and termios.tcgetattr(slave) == modes_before
        assert process.stderr.read() == b""
    finally:
        process.kill()  # does nothing once the process has been waited for
        process.wait()
        process.stderr.close()
        os.close(master), os.close(slave)


def test_an_exception_inside_the_session_still_gives_the_terminal_back():
    from facetview.terminal import TerminalSession

    master, slave = pty.openpty()
    try:
        modes_before = termios.tcgetattr(slave)
        with pytest.raises(ZeroDivisionError):
            with TerminalSession(out_fd=slave, in_fd=slave):
                assert termios.tcgetattr(slave) != modes_before
                1 / 0
        assert termios.tcgetattr(slave) == modes_before
        output = b""
        while select.select([master], [], [], 0.2)[0]:
            output += os.read(master, 65536)
        assert output.endswith(GIVEN_BACK)
    finally:
        os.close(master), os.close(slave)
