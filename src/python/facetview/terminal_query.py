"""What the terminal can show: kitty graphics, sixel, 24-bit colour, its cell size.

All questions go to the terminal in one write, ended by a request for the primary
device attributes (DA1), which every terminal answers: its answer is the sentinel,
so a terminal that answers DA1 but not the kitty query costs one round trip, and
only a silent one costs the whole timeout. The reply parser is pure; the loop
around it owns the tty, one deadline and the restoring of the terminal's modes.
"""

from __future__ import annotations

import dataclasses
import fcntl
import os
import select
import struct
import subprocess
import termios
import time
from dataclasses import dataclass
from typing import Mapping, Optional, Tuple

from .terminal import write_all

ESC = b"\x1b"
# A kitty graphics query for a 1x1 image of one RGB pixel: a=q asks whether the
# image would be accepted, without storing or showing it. The id only tags the answer.
KITTY_QUERY_ID = 31
KITTY_QUERY = b"\x1b_Gi=%d,s=1,v=1,a=q,t=d,f=24;AAAA\x1b\\" % KITTY_QUERY_ID
# Cell size in pixels, answered as ESC [ 6 ; height ; width t.
CELL_SIZE_QUERY = b"\x1b[16t"
# Sixel limits (XTSMGRAPHICS): the colour registers, answered as ESC [ ? 1 ; 0 ; N S,
# and the largest image, answered as ESC [ ? 2 ; 0 ; W ; H S; status 0 is success.
SIXEL_COLOURS_QUERY = b"\x1b[?1;1;0S"
SIXEL_GEOMETRY_QUERY = b"\x1b[?2;1;0S"
SIXEL_QUERIES = SIXEL_COLOURS_QUERY + SIXEL_GEOMETRY_QUERY
# Primary device attributes, answered as ESC [ ? class ; attributes c.
DEVICE_ATTRIBUTES_QUERY = b"\x1b[c"
# The attribute of DA1 that announces sixel graphics.
SIXEL_ATTRIBUTE = 4
# Longest wait for the answers: a silent terminal costs this once, at start-up.
TIMEOUT_SECONDS = 0.4
# The most read from the terminal while asking, and the most of it kept as keystrokes:
# a terminal that keeps sending cannot hold detection up or fill the memory.
MAX_REPLY_BYTES = 65536
MAX_KEYSTROKE_BYTES = 4096
# A cell side outside this many pixels is no terminal's: taken as unknown.
CELL_PIXELS = range(1, 513)
# Colour registers and sixel sides beyond these are taken as these.
MAX_COLOUR_REGISTERS = 65535
MAX_SIXEL_SIDE = 32768

CellSize = Tuple[int, int]


@dataclass(frozen=True)
class Replies:
    """What parse_replies found in the bytes read so far.

    complete: the DA1 answer arrived, so every earlier answer has too.
    kitty_graphics: True for an OK to the kitty query, False for an error, None without answer.
    device_attributes: the DA1 parameters, device class first, or None.
    cell_size: (width, height) in pixels from the answer to ESC [ 16 t, or None.
    keystrokes: bytes that were no answer (typed while waiting), in order.
    pending: an unfinished sequence at the end that more bytes may complete.
    colour_registers: the sixel colour registers the terminal has, or None.
    sixel_max_size: (width, height) of the largest sixel image it shows, or None.
    """

    complete: bool = False
    kitty_graphics: Optional[bool] = None
    device_attributes: Optional[Tuple[int, ...]] = None
    cell_size: Optional[CellSize] = None
    keystrokes: bytes = b""
    pending: bytes = b""
    colour_registers: Optional[int] = None
    sixel_max_size: Optional[CellSize] = None


def _string_end(data: bytes, start: int, bell_ends: bool) -> Optional[Tuple[int, int]]:
    """(payload end, sequence end) of a control string whose body starts at start,
    ended by ST (ESC \\) or, for OSC, BEL; None when the end has not arrived."""
    for index in range(start, len(data)):
        if data[index] == 0x07 and bell_ends:
            return index, index + 1
        if data[index] == 0x1B and index + 1 < len(data) and data[index + 1] == ord("\\"):
            return index, index + 2
    return None


def _csi_end(data: bytes, start: int) -> Optional[int]:
    """Index of the final byte of a CSI sequence whose parameters start at start;
    -1 when a byte cannot belong to one, None when the final byte has not arrived."""
    for index in range(start, len(data)):
        byte = data[index]
        if 0x40 <= byte <= 0x7E:
            return index
        if not 0x20 <= byte <= 0x3F:
            return -1
    return None


def _numbers(parameters: bytes) -> Optional[Tuple[int, ...]]:
    """The numbers of a parameter list; empty ones (kitty answers "62;") are left out."""
    try:
        return tuple(int(part) for part in parameters.split(b";") if part)
    except ValueError:
        return None


def sane_cell_size(width: int, height: int) -> Optional[CellSize]:
    """(width, height) where both sides are pixels a cell can have, else None."""
    return (width, height) if width in CELL_PIXELS and height in CELL_PIXELS else None


def _graphics_attribute(numbers: Tuple[int, ...], found: dict) -> None:
    """Takes an XTSMGRAPHICS answer (item, status, values) where its status is success."""
    if len(numbers) < 3 or numbers[1] != 0 or min(numbers[2:]) < 1:
        return
    if numbers[0] == 1 and len(numbers) == 3:
        found["colour_registers"] = min(numbers[2], MAX_COLOUR_REGISTERS)
    elif numbers[0] == 2 and len(numbers) == 4:
        found["sixel_max_size"] = (min(numbers[2], MAX_SIXEL_SIDE), min(numbers[3], MAX_SIXEL_SIDE))


def parse_replies(data: bytes) -> Replies:
    """Sorts the bytes read from the terminal into answers and keystrokes."""
    found: dict = {"complete": False}
    keystrokes = bytearray()

    def replies(pending: bytes = b"") -> Replies:
        return Replies(keystrokes=bytes(keystrokes), pending=pending, **found)

    index = 0
    while index < len(data):
        if data[index] != 0x1B:
            keystrokes.append(data[index])
            index += 1
            continue
        if index + 1 == len(data):
            return replies(data[index:])
        introducer = data[index + 1]
        if introducer in b"_P]":  # APC, DCS, OSC: whole strings, never keys
            end = _string_end(data, index + 2, bell_ends=introducer == ord("]"))
            if end is None:
                return replies(data[index:])
            body = data[index + 2:end[0]]
            if introducer == ord("_") and body.startswith(b"G"):
                keys, _, message = body[1:].partition(b";")
                if b"i=%d" % KITTY_QUERY_ID in keys.split(b","):
                    found["kitty_graphics"] = message == b"OK"
            index = end[1]
            continue
        if introducer == ord("["):
            final = _csi_end(data, index + 2)
            if final is None:
                return replies(data[index:])
            if final >= 0:
                parameters, command = data[index + 2:final], data[final]
                if command == ord("c") and parameters.startswith(b"?"):
                    found["device_attributes"] = _numbers(parameters[1:]) or ()
                    found["complete"] = True
                    index = final + 1
                    continue
                if command == ord("S") and parameters.startswith(b"?"):
                    _graphics_attribute(_numbers(parameters[1:]) or (), found)
                    index = final + 1
                    continue
                numbers = _numbers(parameters) if command == ord("t") else None
                if numbers is not None and len(numbers) == 3 and numbers[0] == 6:
                    cell_size = sane_cell_size(numbers[2], numbers[1])
                    if cell_size is not None:
                        found["cell_size"] = cell_size
                    index = final + 1
                    continue
                # A private marker (? > <) makes it an answer to some other query,
                # never a key; anything else is a key such as an arrow.
                if not parameters[:1] in (b"?", b">", b"<"):
                    keystrokes.extend(data[index:final + 1])
                index = final + 1
                continue
        keystrokes.append(0x1B)  # a lone Escape key, or ESC before another key
        index += 1
    return replies()


@dataclass(frozen=True)
class Capabilities:
    """What the terminal can show, and the method chosen from it.

    method: "kitty", "sixel" or "blocks".
    probed: whether the terminal was asked (stdin and stdout are terminals).
    answered: whether it answered the device attributes request.
    kitty_graphics, sixel, true_colour: what it supports.
    cell_size: (width, height) in pixels, or None where unknown.
    in_tmux: inside tmux, which does not pass graphics commands on.
    keystrokes: bytes typed while waiting, for the key decoder.
    colour_registers: sixel colour registers the terminal told of, or None (256 assumed).
    sixel_max_size: (width, height) of the largest sixel image it told of, or None (no limit).
    """

    method: str
    probed: bool
    answered: bool
    kitty_graphics: bool
    sixel: bool
    true_colour: bool
    cell_size: Optional[CellSize]
    in_tmux: bool
    keystrokes: bytes = b""
    colour_registers: Optional[int] = None
    sixel_max_size: Optional[CellSize] = None

    def describe(self) -> str:
        """One line per finding, for the viewer's --detect."""
        cell = f"{self.cell_size[0]}x{self.cell_size[1]} pixels" if self.cell_size else "unknown"
        if not self.probed:
            asked = "not asked (standard input or output is not a terminal)"
        else:
            asked = "answered" if self.answered else "no answer within the timeout"
        return "\n".join([
            f"method: {self.method}",
            f"terminal: {asked}",
            f"kitty graphics: {'yes' if self.kitty_graphics else 'no'}"
            + (" (inside tmux: not sent)" if self.in_tmux else ""),
            f"sixel: {'yes' if self.sixel else 'no'}",
            f"colour: {'24-bit' if self.true_colour else '256 colours'}",
            f"cell size: {cell}",
            "sixel colours: " + (f"{self.colour_registers}" if self.colour_registers else "unknown (256 assumed)"),
            "sixel size limit: " + (f"{self.sixel_max_size[0]}x{self.sixel_max_size[1]} pixels"
                                    if self.sixel_max_size else "unknown (none assumed)"),
        ])


def environment_true_colour(environ: Optional[Mapping[str, str]] = None) -> bool:
    """24-bit colour as the environment announces it: COLORTERM truecolor or 24bit,
    or a TERM ending in -direct."""
    environ = os.environ if environ is None else environ
    return (environ.get("COLORTERM", "").lower() in ("truecolor", "24bit")
            or environ.get("TERM", "").endswith("-direct"))


def sixel_announced(attributes: Optional[Tuple[int, ...]]) -> bool:
    """An exact 4 among the attributes after the device class (14 or 24 do not count)."""
    return attributes is not None and SIXEL_ATTRIBUTE in attributes[1:]


def choose_method(kitty_graphics: bool, sixel: bool) -> str:
    if kitty_graphics:
        return "kitty"
    return "sixel" if sixel else "blocks"


def window_cell_size(fd: int) -> Optional[CellSize]:
    """The cell size from the kernel's window size, None where its pixel fields are 0."""
    try:
        rows, cols, width, height = struct.unpack("4H", fcntl.ioctl(fd, termios.TIOCGWINSZ, bytes(8)))
    except OSError:
        return None
    if rows == 0 or cols == 0:
        return None
    return sane_cell_size(width // cols, height // rows)


def tmux_cell_size() -> Optional[CellSize]:
    """The cell size tmux knows of its client's terminal (tmux 3.4 and later), where
    the pane's own window size has no pixels."""
    try:
        answer = subprocess.run(["tmux", "display-message", "-p", "#{client_cell_width} #{client_cell_height}"],
                                capture_output=True, timeout=1, check=True).stdout.split()
        width, height = (int(value) for value in answer)
    except (OSError, subprocess.SubprocessError, ValueError):
        return None
    return sane_cell_size(width, height)


def exchange(fd: int, queries: bytes, timeout: float) -> Replies:
    """Sends queries on the terminal fd in one write and reads until the DA1 answer,
    then drains what already arrived, all within one deadline and MAX_REPLY_BYTES.
    Echo and line buffering are off meanwhile; the modes are restored on every way out.
    Keystrokes beyond MAX_KEYSTROKE_BYTES are dropped."""
    saved = termios.tcgetattr(fd)
    quiet = termios.tcgetattr(fd)
    quiet[3] &= ~(termios.ICANON | termios.ECHO)  # local modes; signals stay on
    quiet[6][termios.VMIN], quiet[6][termios.VTIME] = 0, 0
    deadline = time.monotonic() + timeout
    data = bytearray()
    complete = False
    try:
        termios.tcsetattr(fd, termios.TCSANOW, quiet)
        write_all(fd, queries)
        # Until the sentinel, wait for more; after it, take only what is already there
        # (answers that follow it would otherwise reach the shell as text).
        while len(data) < MAX_REPLY_BYTES:
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([fd], [], [], 0 if complete else remaining)[0]:
                break
            chunk = os.read(fd, min(4096, MAX_REPLY_BYTES - len(data)))
            if not chunk:
                break
            data += chunk
            # Only the final byte of the DA1 answer can complete the replies.
            if not complete and b"c" in chunk:
                complete = parse_replies(bytes(data)).complete
    finally:
        termios.tcsetattr(fd, termios.TCSANOW, saved)
    replies = parse_replies(bytes(data))
    if len(replies.keystrokes) > MAX_KEYSTROKE_BYTES:
        replies = dataclasses.replace(replies, keystrokes=replies.keystrokes[:MAX_KEYSTROKE_BYTES])
    return replies


def detect(environ: Optional[Mapping[str, str]] = None, timeout: float = TIMEOUT_SECONDS) -> Capabilities:
    """Asks the terminal, when standard input and output are terminals."""
    environ = os.environ if environ is None else environ
    true_colour = environment_true_colour(environ)
    in_tmux = bool(environ.get("TMUX"))
    if not (os.isatty(0) and os.isatty(1)):
        # Unasked, a terminal gets text that any terminal shows; a file or a pipe
        # gets the kitty commands it always got.
        method = "blocks" if os.isatty(1) else "kitty"
        return Capabilities(method, False, False, False, False, true_colour, None, in_tmux)
    cell_size = window_cell_size(1)
    # tmux swallows graphics commands (or shows them as the pane title): never raw.
    queries = (b"" if in_tmux else KITTY_QUERY) + (b"" if cell_size else CELL_SIZE_QUERY)
    try:
        # The terminal of standard input, opened afresh for reading and writing:
        # the controlling terminal in a shell, and the right one also where the
        # program was given another.
        fd = os.open(os.ttyname(0), os.O_RDWR | os.O_NOCTTY)
    except OSError:
        return Capabilities("blocks", False, False, False, False, true_colour, cell_size, in_tmux)
    try:
        replies = exchange(fd, queries + SIXEL_QUERIES + DEVICE_ATTRIBUTES_QUERY, timeout)
    except OSError:
        replies = Replies()  # a terminal that cannot be asked is one that does not answer
    finally:
        os.close(fd)
    kitty = bool(replies.kitty_graphics) and not in_tmux
    sixel = sixel_announced(replies.device_attributes)
    cell_size = cell_size or replies.cell_size
    if cell_size is None and in_tmux and sixel:
        cell_size = tmux_cell_size()  # a tmux with sixel draws in its client's pixels
    return Capabilities(choose_method(kitty, sixel), True, replies.complete, kitty, sixel,
                        true_colour, cell_size, in_tmux,
                        (replies.keystrokes + replies.pending)[:MAX_KEYSTROKE_BYTES],
                        replies.colour_registers, replies.sixel_max_size)


_detected: Optional[Capabilities] = None


def terminal_capabilities(refresh: bool = False) -> Capabilities:
    """What the terminal can show, asked once per process (again with refresh=True)."""
    global _detected
    if _detected is None or refresh:
        _detected = detect()
    return _detected
