"""Input of the interactive viewer: raw terminal bytes to actions and mouse events."""

from __future__ import annotations

import enum
from dataclasses import dataclass
from typing import List, Optional, Union


class Action(enum.Enum):
    """Something the user asked the viewer to do."""

    TURN_LEFT = enum.auto()
    TURN_RIGHT = enum.auto()
    TURN_UP = enum.auto()
    TURN_DOWN = enum.auto()
    ZOOM_IN = enum.auto()
    ZOOM_OUT = enum.auto()
    QUALITY_LOW = enum.auto()
    QUALITY_MEDIUM = enum.auto()
    QUALITY_HIGH = enum.auto()
    QUALITY_FULL = enum.auto()
    TOGGLE_PAUSE = enum.auto()
    RESET_CAMERA = enum.auto()
    VIEW_FRONT = enum.auto()
    VIEW_BACK = enum.auto()
    VIEW_RIGHT = enum.auto()
    VIEW_LEFT = enum.auto()
    VIEW_TOP = enum.auto()
    VIEW_BOTTOM = enum.auto()
    PAN_LEFT = enum.auto()
    PAN_RIGHT = enum.auto()
    PAN_UP = enum.auto()
    PAN_DOWN = enum.auto()
    TOGGLE_ORTHOGRAPHIC = enum.auto()
    TOGGLE_EDGES = enum.auto()
    TOGGLE_AXES = enum.auto()
    SUSPEND = enum.auto()
    QUIT = enum.auto()
    TOGGLE_COLOURS = enum.auto()
    NEXT = enum.auto()
    PREVIOUS = enum.auto()
    SELECT = enum.auto()
    BACK = enum.auto()


class MouseKind(enum.Enum):
    PRESS = enum.auto()
    MOTION = enum.auto()
    RELEASE = enum.auto()
    WHEEL_UP = enum.auto()
    WHEEL_DOWN = enum.auto()


@dataclass(frozen=True)
class MouseEvent:
    """A mouse report: button 0 is the left one, 1 the middle, 2 the right; col and row
    count cells from 0; shift tells whether Shift was held."""

    kind: MouseKind
    button: int
    col: int
    row: int
    shift: bool = False


Event = Union[Action, MouseEvent]

ESC = 0x1B
BEL = 0x07
CTRL_C = 0x03
CTRL_Z = 0x1A

# Single bytes, as sent with the terminal in raw mode (so Ctrl-C arrives as 0x03).
BYTE_ACTIONS = {
    ord("h"): Action.TURN_LEFT,
    ord("l"): Action.TURN_RIGHT,
    ord("k"): Action.TURN_UP,
    ord("j"): Action.TURN_DOWN,
    ord("+"): Action.ZOOM_IN,
    ord("="): Action.ZOOM_IN,  # the unshifted "+" key
    ord("-"): Action.ZOOM_OUT,
    ord("_"): Action.ZOOM_OUT,
    ord("1"): Action.QUALITY_LOW,
    ord("2"): Action.QUALITY_MEDIUM,
    ord("3"): Action.QUALITY_HIGH,
    ord("4"): Action.QUALITY_FULL,
    ord(" "): Action.TOGGLE_PAUSE,
    ord("r"): Action.RESET_CAMERA,
    # Views along the axes; with Shift, from the opposite side.
    ord("f"): Action.VIEW_FRONT,
    ord("F"): Action.VIEW_BACK,
    ord("s"): Action.VIEW_RIGHT,
    ord("S"): Action.VIEW_LEFT,
    ord("t"): Action.VIEW_TOP,
    ord("T"): Action.VIEW_BOTTOM,
    # Moving the view, as Shift with the arrows does.
    ord("H"): Action.PAN_LEFT,
    ord("L"): Action.PAN_RIGHT,
    ord("K"): Action.PAN_UP,
    ord("J"): Action.PAN_DOWN,
    ord("o"): Action.TOGGLE_ORTHOGRAPHIC,
    ord("e"): Action.TOGGLE_EDGES,
    ord("a"): Action.TOGGLE_AXES,
    ord("q"): Action.QUIT,
    ord("Q"): Action.QUIT,
    ord("c"): Action.TOGGLE_COLOURS,
    ord("\t"): Action.NEXT,
    ord("\r"): Action.SELECT,
    ord("\n"): Action.SELECT,
    CTRL_C: Action.QUIT,
    CTRL_Z: Action.SUSPEND,
}

# Final bytes of the arrow keys, in both the normal ("ESC [ A") and the
# application cursor mode ("ESC O A") forms.
ARROW_ACTIONS = {
    ord("A"): Action.TURN_UP,
    ord("B"): Action.TURN_DOWN,
    ord("C"): Action.TURN_RIGHT,
    ord("D"): Action.TURN_LEFT,
}
# The same keys with Shift ("ESC [ 1 ; 2 A"): the view moves instead.
SHIFTED_ARROW_ACTIONS = {
    ord("A"): Action.PAN_UP,
    ord("B"): Action.PAN_DOWN,
    ord("C"): Action.PAN_RIGHT,
    ord("D"): Action.PAN_LEFT,
}
SHIFT_MODIFIER = b"1;2"

# Bytes after ESC that open a string ended by ESC \ (or BEL): DCS, SOS, OSC,
# PM and APC. Terminals answer queries with them; none is a key press.
STRING_INTRODUCERS = frozenset(b"PX]^_")

# Longest CSI parameter text kept; longer ones are read to their end and dropped.
MAX_PARAMETERS = 32

# Seconds after which an unfinished sequence is given up: a key such as Alt-[
# sends ESC [ alone, and the next key must not be taken as its end. Strings
# (terminal replies) get longer, as they may come over a slow link.
SEQUENCE_TIMEOUT = 0.1
STRING_TIMEOUT = 1.0

WHEEL_FLAG = 64
MOTION_FLAG = 32
SHIFT_FLAG = 4
BUTTON_BITS = 3
# A legacy (X10 and normal mode) report is ESC [ M and three raw bytes: the
# button flags, the column and the row, each plus 32, cells counted from 1.
LEGACY_MOUSE_BYTES = 3
LEGACY_OFFSET = 32
LEGACY_RELEASE = 3


class _State(enum.Enum):
    GROUND = enum.auto()
    ESCAPE = enum.auto()
    CSI = enum.auto()
    SS3 = enum.auto()
    STRING = enum.auto()
    STRING_ESCAPE = enum.auto()
    LEGACY_MOUSE = enum.auto()


class KeyDecoder:
    """Turns a stream of input bytes into actions and mouse events.

    A byte-at-a-time state machine, so a sequence split across reads is
    completed by the next read and any input takes time linear in its length.
    Unknown keys and sequences are skipped; an unfinished sequence is dropped
    when more input comes after its timeout.
    """

    def __init__(self) -> None:
        self._state = _State.GROUND
        self._since = 0.0
        self._parameters = bytearray()
        self._events: List[Event] = []

    @property
    def pending(self) -> bool:
        return self._state is not _State.GROUND

    def expire(self, now: float) -> List[Event]:
        """Events that waiting alone completes: an ESC with nothing after it for the
        sequence timeout is the Escape key."""
        if self._state is _State.ESCAPE and now - self._since >= SEQUENCE_TIMEOUT:
            self._state = _State.GROUND
            return [Action.BACK]
        return []

    def feed(self, data: bytes, now: float = 0.0) -> List[Event]:
        """Events of data, read at time now (seconds on any monotonic clock)."""
        expired = self.expire(now)
        if self.pending:
            timeout = STRING_TIMEOUT if self._state in (_State.STRING, _State.STRING_ESCAPE) else SEQUENCE_TIMEOUT
            if now - self._since >= timeout:
                self._state = _State.GROUND
        self._events = expired
        for byte in data:
            self._step(byte, now)
        return self._events

    def _step(self, byte: int, now: float) -> None:
        state = self._state
        if state is _State.GROUND:
            self._ground(byte, now)
        elif state is _State.ESCAPE:
            self._escape(byte, now)
        elif state is _State.CSI:
            self._csi(byte, now)
        elif state is _State.SS3:
            self._state = _State.GROUND
            if byte == ESC:
                self._ground(byte, now)
            elif byte in ARROW_ACTIONS:
                self._events.append(ARROW_ACTIONS[byte])
        elif state is _State.LEGACY_MOUSE:
            self._legacy_mouse(byte)
        elif state is _State.STRING:
            if byte == ESC:
                self._state = _State.STRING_ESCAPE
            elif byte == BEL:
                self._state = _State.GROUND
        else:  # STRING_ESCAPE: ESC \ ends the string; any other ESC starts a sequence of its own
            self._state = _State.GROUND if byte == ord("\\") else _State.ESCAPE
            if self._state is _State.ESCAPE:
                self._escape(byte, now)

    def _ground(self, byte: int, now: float) -> None:
        if byte == ESC:
            self._state, self._since = _State.ESCAPE, now
        elif byte in BYTE_ACTIONS:
            self._events.append(BYTE_ACTIONS[byte])

    def _escape(self, byte: int, now: float) -> None:
        if byte == ord("["):
            self._state = _State.CSI
            self._parameters.clear()
        elif byte == ord("O"):
            self._state = _State.SS3
        elif byte in STRING_INTRODUCERS:
            self._state = _State.STRING
        else:
            # ESC alone is the Escape key; with a plain key after it, that key
            # with Alt, read as the key itself.
            self._state = _State.GROUND
            self._ground(byte, now)

    def _csi(self, byte: int, now: float) -> None:
        if 0x20 <= byte <= 0x3F:
            if len(self._parameters) <= MAX_PARAMETERS:
                self._parameters.append(byte)
        elif byte == ord("M") and not self._parameters:
            # Its three bytes may be anything, "q" or ESC included: none is a key.
            self._state = _State.LEGACY_MOUSE
            self._parameters.clear()
        elif 0x40 <= byte <= 0x7E:
            self._state = _State.GROUND
            if len(self._parameters) <= MAX_PARAMETERS:
                self._dispatch_csi(bytes(self._parameters), byte)
        elif byte == ESC or byte >= 0x80:
            # A broken sequence: ESC starts the next one, anything else is dropped.
            self._state = _State.GROUND
            self._ground(byte, now)
        elif byte != 0x7F:
            self._ground(byte, now)  # a control key inside a sequence still counts (Ctrl-C)

    def _legacy_mouse(self, byte: int) -> None:
        self._parameters.append(byte)
        if len(self._parameters) < LEGACY_MOUSE_BYTES:
            return
        self._state = _State.GROUND
        event = _legacy_mouse(*self._parameters)
        if event is not None:
            self._events.append(event)

    def _dispatch_csi(self, parameters: bytes, final: int) -> None:
        if final in SHIFTED_ARROW_ACTIONS and parameters == SHIFT_MODIFIER:
            self._events.append(SHIFTED_ARROW_ACTIONS[final])
        elif final in ARROW_ACTIONS and not parameters.startswith(b"<"):
            self._events.append(ARROW_ACTIONS[final])
        elif final == ord("Z") and not parameters:
            self._events.append(Action.PREVIOUS)  # Shift-Tab
        elif parameters.startswith(b"<") and final in b"Mm":
            event = _sgr_mouse(parameters[1:], final == ord("m"))
            if event is not None:
                self._events.append(event)


def _sgr_mouse(parameters: bytes, released: bool) -> Optional[MouseEvent]:
    """A mouse report of SGR mode 1006: "b;x;y" with the cell counted from 1."""
    fields = parameters.split(b";")
    if len(fields) != 3 or not all(field.isdigit() for field in fields):
        return None
    flags, col, row = (int(field) for field in fields)
    button = flags & BUTTON_BITS
    if flags & WHEEL_FLAG:
        if button > 1 or released:
            return None  # sideways wheels
        kind = MouseKind.WHEEL_UP if button == 0 else MouseKind.WHEEL_DOWN
    elif released:
        kind = MouseKind.RELEASE
    elif flags & MOTION_FLAG:
        kind = MouseKind.MOTION
    else:
        kind = MouseKind.PRESS
    return MouseEvent(kind, button, max(col - 1, 0), max(row - 1, 0), bool(flags & SHIFT_FLAG))


def _legacy_mouse(flags_byte: int, col_byte: int, row_byte: int) -> Optional[MouseEvent]:
    """A mouse report of the legacy modes: a release names no button, so it is taken as
    the left one's; a byte below 32 is no report and gives nothing."""
    if min(flags_byte, col_byte, row_byte) < LEGACY_OFFSET:
        return None
    flags = flags_byte - LEGACY_OFFSET
    col, row = col_byte - LEGACY_OFFSET - 1, row_byte - LEGACY_OFFSET - 1
    button = flags & BUTTON_BITS
    if flags & WHEEL_FLAG:
        if button > 1:
            return None  # sideways wheels
        kind = MouseKind.WHEEL_UP if button == 0 else MouseKind.WHEEL_DOWN
    elif flags & MOTION_FLAG:
        kind = MouseKind.MOTION
    elif button == LEGACY_RELEASE:
        kind, button = MouseKind.RELEASE, 0
    else:
        kind = MouseKind.PRESS
    return MouseEvent(kind, button, max(col, 0), max(row, 0), bool(flags & SHIFT_FLAG))
