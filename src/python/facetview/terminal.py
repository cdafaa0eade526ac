"""The terminal as the viewer uses it: modes, screen set-up and undo, raw output.

Everything goes straight to the file descriptors with os.write, never through
sys.stdout: the native module writes its images to descriptor 1 through a
buffer of its own, and text buffered by Python would not be ordered with them.
"""

from __future__ import annotations

import os
import re
import select
import signal
import termios
import time
from typing import List, Optional, Tuple

from . import _facetview as native

ENTER_ALTERNATE_SCREEN = b"\x1b[?1049h"
LEAVE_ALTERNATE_SCREEN = b"\x1b[?1049l"
HIDE_CURSOR = b"\x1b[?25l"
SHOW_CURSOR = b"\x1b[?25h"
CLEAR_SCREEN = b"\x1b[2J"
ERASE_TO_END_OF_LINE = b"\x1b[K"
# Kitty graphics: delete every image placement on the screen and free the data.
DELETE_ALL_IMAGES = native.KITTY_DELETE_ALL
# move_cursor(row, col): the cursor position sequence, row and col counting from 0.
move_cursor = native._move_cursor
# Mouse reports of buttons, of motion while a button is down (drags), in the
# SGR form (1006), which has no coordinate limit. With reporting on, the wheel
# is reported too instead of being turned into arrow keys.
MOUSE_ON = b"\x1b[?1000h\x1b[?1002h\x1b[?1006h"
MOUSE_OFF = b"\x1b[?1006l\x1b[?1002l\x1b[?1000l"

# Device status report 6: the terminal answers with the cursor position.
REQUEST_CURSOR_POSITION = b"\x1b[6n"
CURSOR_POSITION_REPORT = re.compile(rb"\x1b\[(\d+);(\d+)R")
CURSOR_REPORT_TIMEOUT = 1.0

# Signals that must not cut the clean-up short.
CLEANUP_BLOCKED_SIGNALS = {signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGTSTP}
# Seconds a clean-up step waits for a terminal that takes no output before it is skipped.
CLEANUP_WRITE_TIMEOUT = 1.0

# termios attribute list indices.
IFLAG, OFLAG, CFLAG, LFLAG, ISPEED, OSPEED, CC = range(7)


class OutputStalled(OSError):
    """The terminal took no output within the time allowed."""


def write_all(fd: int, data: bytes, timeout: Optional[float] = None) -> None:
    """Writes every byte, waiting on a non-blocking descriptor until it takes more.

    With a timeout, gives up with OutputStalled when the descriptor stays full
    that long at one time.
    """
    view = memoryview(data)
    while view:
        try:
            written = os.write(fd, view)
        except BlockingIOError:
            if not wait_writable(fd, timeout):
                raise OutputStalled(f"output stalled for {timeout} s") from None
            continue
        view = view[written:]


def wait_writable(fd: int, timeout: Optional[float]) -> bool:
    poller = select.poll()
    poller.register(fd, select.POLLOUT)
    return bool(poller.poll(None if timeout is None else timeout * 1000))


def terminal_size(fd: int) -> Tuple[int, int]:
    """(cols, rows) of the terminal on fd; a pseudo-terminal never sized reports 0."""
    size = os.get_terminal_size(fd)
    return max(size.columns, 1), max(size.lines, 1)


def raw_mode(attributes: List) -> List:
    """A copy of termios attributes with echo, line editing and signal keys off.

    Ctrl-C and Ctrl-Z then arrive as keys, which the viewer handles only where
    it is safe to. Output processing stays as it was.
    """
    raw = _without_line_editing(attributes)
    raw[IFLAG] &= ~(termios.BRKINT | termios.ICRNL | termios.INPCK | termios.ISTRIP | termios.IXON)
    raw[LFLAG] &= ~(termios.IEXTEN | termios.ISIG)
    return raw


def _without_line_editing(attributes: List) -> List:
    """A copy of termios attributes with echo and line editing off: each byte is read as it comes."""
    copy = [list(value) if isinstance(value, list) else value for value in attributes]
    copy[LFLAG] &= ~(termios.ECHO | termios.ICANON)
    copy[CC][termios.VMIN] = 1
    copy[CC][termios.VTIME] = 0
    return copy


def cursor_position(in_fd: int, out_fd: int, timeout: float = CURSOR_REPORT_TIMEOUT) -> Optional[Tuple[int, int]]:
    """(row, col) of the cursor, from 0, as the terminal reports it; None without an answer in time.

    Echo and line editing are off while the answer comes; keys typed meanwhile are lost.
    """
    saved = termios.tcgetattr(in_fd)
    termios.tcsetattr(in_fd, termios.TCSANOW, _without_line_editing(saved))
    try:
        write_all(out_fd, REQUEST_CURSOR_POSITION)
        deadline = time.monotonic() + timeout
        reply = b""
        while True:
            match = CURSOR_POSITION_REPORT.search(reply)
            if match:
                return int(match[1]) - 1, int(match[2]) - 1
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([in_fd], [], [], remaining)[0]:
                return None
            data = os.read(in_fd, 256)
            if not data:
                return None
            reply += data
    finally:
        termios.tcsetattr(in_fd, termios.TCSANOW, saved)


class TerminalSession:
    """Takes over the terminal for the viewer and gives it back exactly as found.

    Taking saves the termios attributes of the input (when it is a terminal),
    switches it to raw mode, enters the alternate screen, hides the cursor and,
    with mouse, turns mouse reports on. Giving back deletes all images (with
    kitty_images: only a terminal that was sent kitty graphics gets the command;
    tmux would make it the pane's title), turns mouse reports off, shows the cursor, leaves the alternate screen and
    restores the saved attributes; each step is tried on its own, so one that
    fails (a terminal that hung up or stalled) does not keep the others from
    being done. Closing is safe to repeat, and after a failed open it undoes
    whatever part was done. A session can be given back and taken again, as
    around a suspension.
    """

    def __init__(self, out_fd: int = 1, in_fd: Optional[int] = None, mouse: bool = False,
                 kitty_images: bool = True) -> None:
        self.out_fd = out_fd
        self.kitty_images = kitty_images
        self.in_fd = in_fd
        self.mouse = mouse and in_fd is not None
        self._saved_attributes: Optional[List] = None
        self._screen_taken = False

    def __enter__(self) -> "TerminalSession":
        self.open()
        return self

    def __exit__(self, *exc_info) -> None:
        self.close()

    def open(self) -> None:
        try:
            if self.in_fd is not None:
                self._saved_attributes = termios.tcgetattr(self.in_fd)
                termios.tcsetattr(self.in_fd, termios.TCSANOW, raw_mode(self._saved_attributes))
            self._screen_taken = True
            write_all(self.out_fd, ENTER_ALTERNATE_SCREEN + HIDE_CURSOR + CLEAR_SCREEN
                      + (MOUSE_ON if self.mouse else b""))
        except BaseException:
            self.close()
            raise

    def close(self) -> None:
        blocked = signal.pthread_sigmask(signal.SIG_BLOCK, CLEANUP_BLOCKED_SIGNALS)
        try:
            self._undo()
        finally:
            signal.pthread_sigmask(signal.SIG_SETMASK, blocked)

    def _undo(self) -> None:
        if self._screen_taken:
            self._screen_taken = False
            # Images go first, while the alternate screen that holds them is shown.
            steps = [DELETE_ALL_IMAGES if self.kitty_images else b"", MOUSE_OFF if self.mouse else b"",
                     SHOW_CURSOR, LEAVE_ALTERNATE_SCREEN]
            for step in filter(None, steps):
                try:
                    write_all(self.out_fd, step, CLEANUP_WRITE_TIMEOUT)
                except OSError:
                    pass  # a terminal that hung up or stalled keeps nothing to clean
        if self._saved_attributes is not None:
            saved, self._saved_attributes = self._saved_attributes, None
            try:
                termios.tcsetattr(self.in_fd, termios.TCSANOW, saved)
            except termios.error:
                pass

    def clear_screen(self) -> None:
        write_all(self.out_fd, CLEAR_SCREEN)

    def write_line(self, row: int, text: str) -> None:
        """Replaces the text of one screen row, without touching the others."""
        write_all(self.out_fd, move_cursor(row, 0) + text.encode("utf-8", "replace") + ERASE_TO_END_OF_LINE)
