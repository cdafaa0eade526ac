"""Input bytes, as a terminal in raw mode sends them, to viewer actions and mouse events."""

import pytest

from facetview.keys import SEQUENCE_TIMEOUT, STRING_TIMEOUT, Action as A, KeyDecoder, MouseEvent, MouseKind as M


def decode(reads):
    """Events of (bytes, time) reads, or of plain bytes all read at time 0."""
    decoder = KeyDecoder()
    reads = [read if isinstance(read, tuple) else (read, 0.0) for read in reads]
    return [event for data, now in reads for event in decoder.feed(data, now)]


@pytest.mark.parametrize("reads, events", [
    ([b"\x1b[A\x1b[B\x1b[C\x1b[D"], [A.TURN_UP, A.TURN_DOWN, A.TURN_RIGHT, A.TURN_LEFT]),
    ([b"\x1bOA\x1bOD\x1bO\x1b[A"], [A.TURN_UP, A.TURN_LEFT, A.TURN_UP]),  # application cursor mode
    ([b"kjhl"], [A.TURN_UP, A.TURN_DOWN, A.TURN_LEFT, A.TURN_RIGHT]),
    ([b"+=-_"], [A.ZOOM_IN, A.ZOOM_IN, A.ZOOM_OUT, A.ZOOM_OUT]),
    ([b"1234 r"], [A.QUALITY_LOW, A.QUALITY_MEDIUM, A.QUALITY_HIGH, A.QUALITY_FULL, A.TOGGLE_PAUSE,
                    A.RESET_CAMERA]),
    ([b"q\x03Q\x1a"], [A.QUIT, A.QUIT, A.QUIT, A.SUSPEND]),
    ([b"c\t\x1b[Z\r\n"], [A.TOGGLE_COLOURS, A.NEXT, A.PREVIOUS, A.SELECT, A.SELECT]),
    # Shift with the arrows, or H/J/K/L, move the view; o, e and a switch projection and overlays.
    ([b"\x1b[1;2A\x1b[1;2B\x1b[1;2C\x1b[1;2DHJKL"],
     [A.PAN_UP, A.PAN_DOWN, A.PAN_RIGHT, A.PAN_LEFT, A.PAN_LEFT, A.PAN_DOWN, A.PAN_UP, A.PAN_RIGHT]),
    ([b"oea"], [A.TOGGLE_ORTHOGRAPHIC, A.TOGGLE_EDGES, A.TOGGLE_AXES]),
    ([b"x\x1b[200~\x1b[Hz\x1bq"], [A.QUIT]),  # unknown keys and sequences are skipped
    # A sequence with a modifier, split across reads, waits until it is complete.
    *[([b"\x1b[1;5Cq"[:split], b"\x1b[1;5Cq"[split:]], [A.TURN_RIGHT, A.QUIT]) for split in range(1, 7)],
    # Terminal replies are strings, not keys, however they are split: APC (a kitty
    # graphics answer), DCS and OSC, ended by ESC \ or (OSC) BEL.
    *[([b"\x1b_Gi=31;OK\x1b\\k"[:split], b"\x1b_Gi=31;OK\x1b\\k"[split:]], [A.TURN_UP]) for split in range(1, 13)],
    ([b"\x1bP>|kitty(0.26)\x1b\\\x1b]11;rgb:0000/0000/0000\x07h"], [A.TURN_LEFT]),
    # An ESC inside a string that is not its end starts a sequence of its own.
    ([b"\x1b]2;title\x1b[Aj"], [A.TURN_UP, A.TURN_DOWN]),
    # A control key inside an unfinished sequence still counts; ESC starts over, a byte beyond ASCII ends it.
    ([b"\x1b[1;\x03"], [A.QUIT]),
    ([b"\x1b[1;\x1b[D\x1b[1\xffk"], [A.TURN_LEFT, A.TURN_UP]),
    # Garbage of any length is read to its end and dropped.
    ([b"\x1b[" + b"9" * 5000 + b"A", b"l"], [A.TURN_RIGHT]),
])
def test_bytes_become_actions(reads, events):
    assert decode(reads) == events


@pytest.mark.parametrize("reads, events", [
    # Alt-[ sends ESC [ alone: a key pressed later is a key, not the end of that sequence.
    ([(b"\x1b[", 0.0), (b"q", SEQUENCE_TIMEOUT)], [A.QUIT]),
    ([(b"\x1b[", 0.0), (b"q", SEQUENCE_TIMEOUT / 2)], []),
    ([(b"\x1bO", 0.0), (b"k", 5.0)], [A.TURN_UP]),
    ([(b"\x1b", 0.0), (b"[A", 5.0)], [A.BACK]),  # Escape, then "[" and "A", neither of them a key
    # A lone Escape is the Escape key once its timeout passes, also with nothing read meanwhile.
    ([(b"\x1b", 1.0), (b"", 1.0 + SEQUENCE_TIMEOUT / 2)], []),
    ([(b"\x1b", 1.0), (b"", 1.0 + SEQUENCE_TIMEOUT), (b"k", 1.0 + SEQUENCE_TIMEOUT), (b"", 9.0)], [A.BACK, A.TURN_UP]),
    # A reply that never ends is given up later than a key sequence.
    ([(b"\x1b_Gi=1;", 0.0), (b"q", SEQUENCE_TIMEOUT)], []),
    ([(b"\x1b_Gi=1;", 0.0), (b"q", STRING_TIMEOUT)], [A.QUIT]),
    # The time counts from the start of the sequence, not from its last byte.
    ([(b"\x1b[1", 0.0), (b";2", SEQUENCE_TIMEOUT / 2), (b"q", SEQUENCE_TIMEOUT)], [A.QUIT]),
])
def test_an_unfinished_sequence_is_given_up_after_its_timeout(reads, events):
    assert decode(reads) == events


def test_a_long_sequence_read_a_byte_at_a_time_takes_linear_time():
    # 200000 reads of one byte each: any rescan of what came before would take hours.
    reads = [b"\x1b", b"["] + [b"1"] * 200000 + [b"C", b"\x1b]", *[b"x"] * 200000, b"\x07", b"h"]
    assert decode(reads) == [A.TURN_LEFT]


# Mouse reports give the button flags and the cell, counted from 1: SGR reports as numbers,
# legacy ones as three raw bytes, each 32 more than its value, so a click in column 81 sends
# "q" as its column byte and one in column 101 a byte above 0x7f.
@pytest.mark.parametrize("data, event", [
    *[(report, event) for flags, col, row, event in [
        (0, 10, 5, MouseEvent(M.PRESS, 0, 9, 4)),
        (32, 11, 5, MouseEvent(M.MOTION, 0, 10, 4)),
        (2, 1, 1, MouseEvent(M.PRESS, 2, 0, 0)),
        (1, 101, 11, MouseEvent(M.PRESS, 1, 100, 10)),
        (32, 81, 5, MouseEvent(M.MOTION, 0, 80, 4)),
        (64, 1, 1, MouseEvent(M.WHEEL_UP, 0, 0, 0)),
        (65, 19, 4, MouseEvent(M.WHEEL_DOWN, 1, 18, 3)),
        (68, 3, 4, MouseEvent(M.WHEEL_UP, 0, 2, 3, shift=True)),
        (38, 3, 4, MouseEvent(M.MOTION, 2, 2, 3, shift=True)),  # a right-button drag with Shift
        (66, 3, 4, None),  # sideways wheel
    ] for report in (b"\x1b[<%d;%d;%dM" % (flags, col, row), b"\x1b[M" + bytes(32 + n for n in (flags, col, row)))],
    # A release names its button in SGR reports; a legacy one names none.
    (b"\x1b[<0;11;6m", MouseEvent(M.RELEASE, 0, 10, 5)),
    (b"\x1b[M#\xff\xff", MouseEvent(M.RELEASE, 0, 222, 222)),
    (b"\x1b[<64;300;200M", MouseEvent(M.WHEEL_UP, 0, 299, 199)),  # beyond what a byte holds
    *[(report, MouseEvent(M.PRESS, 0, 0, 0)) for report in (b"\x1b[<0;0;0M", b"\x1b[M   ")],  # no cell before the first
    (b"\x1b[<0;3M", None),
    (b"\x1b[<0;x;5M", None),  # x ends the sequence; ";5M" are keys bound to nothing
    (b"\x1b[M\x03qq", None),  # no report: too small a byte
])
def test_mouse_reports_become_events_and_never_keys(data, event):
    for split in range(1, len(data)):
        assert decode([data[:split], data[split:], b"k"]) == [*filter(None, [event]), A.TURN_UP]
