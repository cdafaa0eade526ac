"""Terminal detection: the reply parser at every split point, the choice of method, and
the exchange with a terminal on a pseudo-terminal."""

import os
import termios
import threading
import time

import pytest

from facetview import terminal_query as q

KITTY_OK = b"\x1b_Gi=31;OK\x1b\\"
KITTY_ERROR = b"\x1b_Gi=31;ENOTSUPPORTED:not supported\x1b\\"
CELL_SIZE = b"\x1b[6;17;7t"
# Device attributes as these terminals answer them.
DA1_KITTY, DA1_TMUX = b"\x1b[?62;c", b"\x1b[?1;2c"
DA1_XTERM_VT340 = b"\x1b[?63;1;2;4;6;9;15;16;22;28c"
DA1_XTERM = b"\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c"
VT340 = (63, 1, 2, 4, 6, 9, 15, 16, 22, 28)


@pytest.mark.parametrize("data, found", [
    (KITTY_ERROR + CELL_SIZE + DA1_XTERM_VT340, dict(kitty_graphics=False, device_attributes=VT340, cell_size=(7, 17))),
    # Keys typed while waiting, before and after the answers; an OSC answer is no key.
    (b"q" + KITTY_OK + b"\x1b]11;rgb:0000/0000/0000\x07" + DA1_KITTY + b"\x1b[A",
     dict(kitty_graphics=True, device_attributes=(62,), keystrokes=b"q\x1b[A")),
    # The sixel limits; answers to other queries are no keys either.
    (b"\x1b[?1;0;1024S\x1b[?2;0;1000;900S\x1b[>41;379;0c" + DA1_XTERM_VT340,
     dict(device_attributes=VT340, colour_registers=1024, sixel_max_size=(1000, 900))),
    # Limits beyond what is kept are cut; a status other than 0 (success), or a value missing, tells nothing.
    (b"\x1b[?1;0;100000S\x1b[?2;0;99999;40000S" + DA1_XTERM_VT340,
     dict(device_attributes=VT340, colour_registers=65535, sixel_max_size=(32768, 32768))),
    (b"\x1b[?1;3;0S\x1b[?2;1S\x1b[?2;0;0;900S" + DA1_TMUX, dict(device_attributes=(1, 2))),
    # Cell sizes no terminal has are unknown, zeros included; an answer about another image is not ours.
    (b"\x1b[6;1000000;1000000t\x1b[6;1000;1000t\x1b[6;0;0t\x1b_Gi=7;OK\x1b\\" + DA1_TMUX,
     dict(device_attributes=(1, 2))),
    # Unfinished: Escape or the start of an answer waits for more; Alt+x and a broken sequence are keys.
    (b"\x1b", dict(complete=False, pending=b"\x1b")),
    (b"ab\x1b_Gi=31;O", dict(complete=False, keystrokes=b"ab", pending=b"\x1b_Gi=31;O")),
    (b"\x1bx\x1b[\x01\x1b[1", dict(complete=False, keystrokes=b"\x1bx\x1b[\x01", pending=b"\x1b[1")),
])
def test_replies_parse_whole_and_at_every_split_point(data, found):
    expected = q.Replies(**{"complete": True, **found})
    assert q.parse_replies(data) == expected
    sentinel_end = data.index(b"c", data.rindex(b"\x1b[?")) + 1 if expected.complete else len(data) + 1
    for split in range(len(data)):
        part = q.parse_replies(data[:split])
        assert part.complete == (split >= sentinel_end), split
        # Nothing read so far is lost: it is either sorted out or waiting for more.
        assert part.pending == b"" or data[:split].endswith(part.pending)
        assert not part.pending or part.pending.startswith(b"\x1b")
        assert part.keystrokes == expected.keystrokes[:len(part.keystrokes)]


@pytest.mark.parametrize("attributes, sixel", [
    ((63, 1, 2, 3, 4, 6), True), ((62, 4), True), ((62, 14, 24, 42), False), ((4,), False), (None, False)])
def test_sixel_only_from_an_exact_4_after_the_device_class(attributes, sixel):
    assert q.sixel_announced(attributes) is sixel


# Unasked, a terminal gets text that any terminal shows, a file or a pipe kitty commands; the
# environment still tells of 24-bit colour and tmux.
@pytest.mark.parametrize("terminals, method", [({0}, "kitty"), ({1}, "blocks"), (set(), "kitty")])
@pytest.mark.parametrize("environ, true_colour", [
    ({"COLORTERM": "24bit"}, True), ({"COLORTERM": "TrueColor"}, True), ({"TERM": "xterm-direct"}, True),
    ({"COLORTERM": "yes", "TERM": "xterm-256color"}, False)])
def test_no_probe_unless_both_ends_are_terminals(monkeypatch, terminals, method, environ, true_colour):
    monkeypatch.setattr(os, "isatty", lambda fd: fd in terminals)
    found = q.detect({**environ, "TMUX": "/tmp/tmux-0/default,1,0"})
    assert (found.method, found.probed, found.true_colour, found.in_tmux) == (method, False, true_colour, True)
    assert f"method: {method}" in found.describe() and "not asked" in found.describe()


# A terminal that answers, one that stays silent, and one that keeps sending after its answer
# or instead of one: the exchange ends by its deadline, reads at most MAX_REPLY_BYTES and keeps a
# bounded share of them as keystrokes.
@pytest.mark.parametrize("answer, flood", [
    (KITTY_OK + CELL_SIZE + DA1_KITTY + b"x", False), (b"", False), (DA1_XTERM, True), (b"", True),
])
def test_exchange_reads_to_the_sentinel_and_restores_the_modes(pty_terminal, monkeypatch, answer, flood):
    program_end, terminal_end = pty_terminal
    monkeypatch.setattr(q, "MAX_REPLY_BYTES", 20000)
    modes, asked, stop = termios.tcgetattr(program_end), [], threading.Event()

    def terminal():
        asked.append(os.read(terminal_end, 1024))
        # Echo off while the program waits: nothing of the answer comes back to it twice.
        asked.append(termios.tcgetattr(program_end)[3] & termios.ECHO)
        os.set_blocking(terminal_end, False)
        pending = answer
        while pending or (flood and not stop.is_set()):
            try:
                os.write(terminal_end, pending + b"x" * 512 * flood)
                pending = b""
            except BlockingIOError:
                stop.wait(0.01)

    responder = threading.Thread(target=terminal)
    responder.start()
    try:
        start = time.monotonic()
        # An answer ends the exchange at once, long before its deadline.
        replies = q.exchange(program_end, q.KITTY_QUERY + q.DEVICE_ATTRIBUTES_QUERY, timeout=5 if answer else 0.5)
        elapsed = time.monotonic() - start
    finally:
        stop.set()
        responder.join()
    assert asked == [q.KITTY_QUERY + q.DEVICE_ATTRIBUTES_QUERY, 0] and termios.tcgetattr(program_end) == modes
    assert elapsed < 1.5 and replies.complete is bool(answer)
    if flood:  # after the answer only what already arrived is drained, which may be less
        assert set(replies.keystrokes) == {ord("x")} and len(replies.keystrokes) <= q.MAX_KEYSTROKE_BYTES
        assert answer or len(replies.keystrokes) == q.MAX_KEYSTROKE_BYTES
    elif answer:
        assert (replies.kitty_graphics, replies.cell_size, replies.keystrokes) == (True, (7, 17), b"x")


SIXEL_AND_DA1 = q.SIXEL_QUERIES + q.DEVICE_ATTRIBUTES_QUERY


@pytest.mark.parametrize("environ, answer, window_cell, asked, method, cell_size", [
    # kitty answers OK; the window knows its pixels, so the cell size is not asked.
    ({}, KITTY_OK + DA1_KITTY, (8, 16), q.KITTY_QUERY + SIXEL_AND_DA1, "kitty", (8, 16)),
    # Inside tmux no graphics command goes out raw, and a kitty answer from further out does not count.
    ({"TMUX": "x"}, KITTY_OK + DA1_TMUX, None, q.CELL_SIZE_QUERY + SIXEL_AND_DA1, "blocks", None),
    ({}, CELL_SIZE + DA1_XTERM_VT340, None, q.KITTY_QUERY + q.CELL_SIZE_QUERY + SIXEL_AND_DA1, "sixel", (7, 17)),
    ({}, DA1_XTERM_VT340, None, q.KITTY_QUERY + q.CELL_SIZE_QUERY + SIXEL_AND_DA1, "sixel", None),  # tmux not asked
    # A tmux with sixel: the cell size comes from the tmux server.
    ({"TMUX": "x"}, b"\x1b[?1;2;4c", None, q.CELL_SIZE_QUERY + SIXEL_AND_DA1, "sixel", (9, 19)),
    # A tty that fails is a terminal that does not answer.
    ({}, OSError, None, q.KITTY_QUERY + q.CELL_SIZE_QUERY + SIXEL_AND_DA1, "blocks", None),
])
def test_detection_asks_once_and_chooses(monkeypatch, pty_terminal, environ, answer, window_cell, asked, method,
                                         cell_size):
    program_end, _ = pty_terminal
    sent = []

    def exchange(fd, queries, timeout):
        sent.append(queries)
        if answer is OSError:
            raise OSError("input/output error")
        return q.parse_replies(answer)

    monkeypatch.setattr(os, "isatty", lambda fd: True)
    monkeypatch.setattr(os, "ttyname", lambda fd: "/dev/pts/x")
    monkeypatch.setattr(os, "open", lambda path, flags: os.dup(program_end))
    monkeypatch.setattr(q, "window_cell_size", lambda fd: window_cell)
    monkeypatch.setattr(q, "exchange", exchange)
    monkeypatch.setattr(q, "tmux_cell_size", lambda: (9, 19))
    found = q.detect(environ)
    assert sent == [asked]
    assert (found.method, found.probed, found.answered, found.cell_size) == \
        (method, True, answer is not OSError, cell_size)

