"""The terminal as the viewer uses it: modes, screen set-up and undo, raw output.

Everything goes straight to the file descriptors with os.write, never through
sys.stdout: the native module writes its images to descriptor 1 through a
buffer of its own, and text buffered by Python would not be ordered with them.
"""

from __future__ import annotations

import os
import signal
import termios
from typing import List, Optional, Tuple

ENTER_ALTERNATE_SCREEN = b"\x1b[?1049h"
LEAVE_ALTERNATE_SCREEN = b"\x1b[?1049l"
HIDE_CURSOR = b"\x1b[?25l"
SHOW_CURSOR = b"\x1b[?25h"
CLEAR_SCREEN = b"\x1b[2J"
ERASE_TO_END_OF_LINE = b"\x1b[K"
# Kitty graphics: delete every image placement on the screen and free the data.
DELETE_ALL_IMAGES = b"\x1b_Ga=d,d=A,q=2\x1b\\"

# Signals that must not cut the clean-up short.
CLEANUP_BLOCKED_SIGNALS = {signal.SIGINT, signal.SIGTERM, signal.SIGHUP}

# termios attribute list indices.
IFLAG, OFLAG, CFLAG, LFLAG, ISPEED, OSPEED, CC = range(7)


def write_all(fd: int, data: bytes) -> None:
    view = memoryview(data)
    while view:
        written = os.write(fd, view)
        view = view[written:]


def move_cursor(row: int, col: int) -> bytes:
    """Cursor position sequence; row and col count from 0."""
    return b"\x1b[%d;%dH" % (row + 1, col + 1)


def terminal_size(fd: int) -> Tuple[int, int]:
    """(cols, rows) of the terminal on fd; a pseudo-terminal never sized reports 0."""
    size = os.get_terminal_size(fd)
    return max(size.columns, 1), max(size.lines, 1)


def raw_mode(attributes: List) -> List:
    """A copy of termios attributes with echo, line editing and signal keys off.

    Ctrl-C then arrives as a key, and Ctrl-Z cannot stop the viewer while it
    holds the alternate screen. Output processing stays as it was.
    """
    raw = [list(value) if isinstance(value, list) else value for value in attributes]
    raw[IFLAG] &= ~(termios.BRKINT | termios.ICRNL | termios.INPCK | termios.ISTRIP | termios.IXON)
    raw[LFLAG] &= ~(termios.ECHO | termios.ICANON | termios.IEXTEN | termios.ISIG)
    raw[CC][termios.VMIN] = 1
    raw[CC][termios.VTIME] = 0
    return raw


class TerminalSession:
    """Takes over the terminal for the viewer and gives it back exactly as found.

    Opening saves the termios attributes of the input (when it is a terminal),
    switches it to raw mode, enters the alternate screen and hides the cursor.
    Closing deletes all images, shows the cursor, leaves the alternate screen
    and restores the saved attributes. Closing is safe to repeat, and after a
    failed open it undoes whatever part was done.
    """

    def __init__(self, out_fd: int = 1, in_fd: Optional[int] = None) -> None:
        self.out_fd = out_fd
        self.in_fd = in_fd
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
            write_all(self.out_fd, ENTER_ALTERNATE_SCREEN + HIDE_CURSOR + CLEAR_SCREEN)
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
            try:
                # Images go first, while the alternate screen that holds them is shown.
                write_all(self.out_fd, DELETE_ALL_IMAGES + SHOW_CURSOR + LEAVE_ALTERNATE_SCREEN)
            except OSError:
                pass  # a terminal that hung up keeps nothing to clean
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
