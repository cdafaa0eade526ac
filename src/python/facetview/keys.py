"""Keyboard input of the interactive viewer: raw terminal bytes to actions."""

from __future__ import annotations

import enum
from typing import List, Optional


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
    TOGGLE_PAUSE = enum.auto()
    RESET_CAMERA = enum.auto()
    QUIT = enum.auto()


ESC = 0x1B
CTRL_C = 0x03

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
    ord(" "): Action.TOGGLE_PAUSE,
    ord("r"): Action.RESET_CAMERA,
    ord("q"): Action.QUIT,
    ord("Q"): Action.QUIT,
    CTRL_C: Action.QUIT,
}

# Final bytes of the arrow keys, in both the normal ("ESC [ A") and the
# application cursor mode ("ESC O A") forms.
ARROW_ACTIONS = {
    ord("A"): Action.TURN_UP,
    ord("B"): Action.TURN_DOWN,
    ord("C"): Action.TURN_RIGHT,
    ord("D"): Action.TURN_LEFT,
}


class KeyDecoder:
    """Turns a stream of key bytes into actions.

    An escape sequence split across two reads is kept until its end arrives.
    Unknown keys and sequences are skipped.
    """

    def __init__(self) -> None:
        self._pending = b""

    def feed(self, data: bytes) -> List[Action]:
        buffer = self._pending + data
        actions: List[Action] = []
        index = 0
        while index < len(buffer):
            if buffer[index] != ESC:
                action = BYTE_ACTIONS.get(buffer[index])
                if action is not None:
                    actions.append(action)
                index += 1
                continue
            end = _escape_sequence_end(buffer, index)
            if end is None:
                break
            action = ARROW_ACTIONS.get(buffer[end - 1]) if end - index > 1 else None
            if action is not None:
                actions.append(action)
            index = end
        self._pending = buffer[index:]
        return actions


def _escape_sequence_end(buffer: bytes, start: int) -> Optional[int]:
    """Index just past the escape sequence at start, or None if it is incomplete.

    A lone ESC followed by anything but "[" or "O" is a sequence of its own.
    """
    if start + 1 >= len(buffer):
        return None
    introducer = buffer[start + 1]
    if introducer == ord("O"):
        return start + 3 if start + 2 < len(buffer) else None
    if introducer != ord("["):
        return start + 1
    # CSI: parameter and intermediate bytes (0x20-0x3F), then one final byte.
    index = start + 2
    while index < len(buffer) and 0x20 <= buffer[index] <= 0x3F:
        index += 1
    return index + 1 if index < len(buffer) else None
