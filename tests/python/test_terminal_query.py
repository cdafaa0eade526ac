"""Terminal detection: the reply parser at every split point, the choice of method, and
the exchange with a terminal on a pseudo-terminal."""

import os
import random
import termios
import threading
import time

import pytest

from facetview import terminal_query as q

KITTY_OK = b"\x1b_Gi=31;OK\x1b\\"
KITTY_ERROR = b"\x1b_Gi=31;ENOTSUPPORTED:not supported\x1b\\"
CELL_SIZE = b"\x1b[6;17;7t"
# Device attributes as these terminals answer them.
DA1_KITTY = b"\x1b[?62;c"
DA1_XTERM_VT340 = b"\x1b[?63;1;2;4;6;9;15;16;22;28c"
DA1_XTERM = b"\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c"
DA1_TMUX = b"\x1b[?1;2c"


@pytest.mark.parametrize("data, kitty, attributes, cell_size, keystrokes", [
    (KITTY_OK + DA1_KITTY, True, (62,), None, b""),
    (KITTY_ERROR + CELL_SIZE + DA1_XTERM_VT340, False, (63, 1, 2, 4, 6, 9, 15, 16, 22, 28), (7, 17), b""),
    (CELL_SIZE + DA1_XTERM, None, (64, 1, 2, 6, 9, 15, 16, 17, 18, 21, 22, 28), (7, 17), b""),
    (DA1_TMUX, None, (1, 2), None, b""),
    # Keys typed while waiting, before and after the answers; an OSC answer is no key.
    (b"q" + KITTY_OK + b"\x1b]11;rgb:0000/0000/0000\x07" + DA1_KITTY + b"\x1b[A", True, (62,), None, b"q\x1b[A"),
    # Answers to other queries are no keys either.
    (b"\x1b[?1;0;1024S\x1b[>41;379;0c" + DA1_XTERM_VT340, None, (63, 1, 2, 4, 6, 9, 15, 16, 22, 28), None, b""),
    # Cell sizes no terminal has are unknown.
    (b"\x1b[6;1000000;1000000t\x1b[6;1000;1000t" + DA1_TMUX, None, (1, 2), None, b""),
    # A cell size of zeros is no cell size; an answer about another image is not ours.
    (b"\x1b[6;0;0t\x1b_Gi=7;OK\x1b\\" + DA1_TMUX, None, (1, 2), None, b""),
])
def test_replies_parse_whole_and_at_every_split_point(data, kitty, attributes, cell_size, keystrokes):
    whole = q.parse_replies(data)
    assert (whole.complete, whole.kitty_graphics, whole.device_attributes, whole.cell_size) == \
        (True, kitty, attributes, cell_size)
    assert (whole.keystrokes, whole.pending) == (keystrokes, b"")
    sentinel_end = data.index(b"c", data.rindex(b"\x1b[?")) + 1
    for split in range(len(data)):
        part = q.parse_replies(data[:split])
        assert part.complete == (split >= sentinel_end), split
        # Nothing read so far is lost: it is either sorted out or waiting for more.
        assert part.pending == b"" or data[:split].endswith(part.pending)
        assert not part.pending or part.pending.startswith(b"\x1b")
        assert part.keystrokes == keystrokes[:len(part.keystrokes)]


@pytest.mark.parametrize("answers, registers, max_size", [
    (b"\x1b[?1;0;1024S\x1b[?2;0;1000;900S", 1024, (1000, 900)),
    # A status other than 0 (success), or a value missing, tells nothing.
    (b"\x1b[?1;3;0S\x1b[?2;1S\x1b[?2;0;0;900S", None, None),
    (b"\x1b[?1;0;100000S\x1b[?2;0;99999;40000S", 65535, (32768, 32768)),
])
def test_sixel_limits_from_the_graphics_attributes(answers, registers, max_size):
    replies = q.parse_replies(answers + DA1_XTERM_VT340)
    assert (replies.colour_registers, replies.sixel_max_size, replies.keystrokes) == (registers, max_size, b"")


@pytest.mark.parametrize("data, keystrokes, pending", [
    (b"\x1b", b"", b"\x1b"),                      # Escape, or the start of an answer
    (b"\x1b_Gi=31;O", b"", b"\x1b_Gi=31;O"),
    (b"ab\x1b[1", b"ab", b"\x1b[1"),
    (b"\x1bx", b"\x1bx", b""),                    # Alt+x
    (b"\x1b[\x01", b"\x1b[\x01", b""),            # not a control sequence after all
])
def test_unfinished_and_foreign_input(data, keystrokes, pending):
    replies = q.parse_replies(data)
    assert (replies.complete, replies.keystrokes, replies.pending) == (False, keystrokes, pending)


@pytest.mark.parametrize("attributes, sixel", [
    ((63, 1, 2, 3, 4, 6), True), ((62, 4), True), ((62, 14, 24, 42), False), ((4,), False),
    ((64, 1, 2, 6, 9), False), ((), False), (None, False),
])
def test_sixel_only_from_an_exact_4_after_the_device_class(attributes, sixel):
    assert q.sixel_announced(attributes) is sixel


@pytest.mark.parametrize("kitty, sixel, method", [
    (True, True, "kitty"), (True, False, "kitty"), (False, True, "sixel"), (False, False, "blocks"),
])
def test_best_method_first(kitty, sixel, method):
    assert q.choose_method(kitty, sixel) == method


@pytest.mark.parametrize("environ, true_colour", [
    ({"COLORTERM": "truecolor"}, True), ({"COLORTERM": "24bit"}, True), ({"COLORTERM": "TrueColor"}, True),
    ({"TERM": "xterm-direct"}, True), ({"COLORTERM": "yes", "TERM": "xterm-256color"}, False), ({}, False),
])
def test_true_colour_from_the_environment(environ, true_colour):
    assert q.environment_true_colour(environ) is true_colour


@pytest.mark.parametrize("terminals, method", [({0}, "kitty"), ({1}, "blocks"), (set(), "kitty")])
def test_no_probe_unless_both_ends_are_terminals(monkeypatch, terminals, method):
    monkeypatch.setattr(os, "isatty", lambda fd: fd in terminals)
    found = q.detect({"COLORTERM": "truecolor", "TMUX": "/tmp/tmux-0/default,1,0"})
    assert (found.method, found.probed, found.true_colour, found.in_tmux) == (method, False, True, True)
    assert f"method: {method}" in found.describe() and "not asked" in found.describe()


@pytest.mark.parametrize("answer, complete", [(KITTY_OK + CELL_SIZE + DA1_KITTY + b"x", True), (b"", False)])
def test_exchange_reads_to_the_sentinel_and_restores_the_modes(pty_terminal, answer, complete):
    program_end, terminal_end = pty_terminal
    modes = termios.tcgetattr(program_end)
    asked = []

    def terminal():
        asked.append(os.read(terminal_end, 1024))
        # Echo off while the program waits: nothing of the answer comes back to it twice.
        asked.append(termios.tcgetattr(program_end)[3] & termios.ECHO)
        if answer:
            os.write(terminal_end, answer)

    responder = threading.Thread(target=terminal)
    responder.start()
    replies = q.exchange(program_end, q.KITTY_QUERY + q.DEVICE_ATTRIBUTES_QUERY, timeout=0.3 if complete else 0.05)
    responder.join()
    assert asked == [q.KITTY_QUERY + q.DEVICE_ATTRIBUTES_QUERY, 0]
    assert replies.complete is complete
    if complete:
        assert (replies.kitty_graphics, replies.cell_size, replies.keystrokes) == (True, (7, 17), b"x")
    assert termios.tcgetattr(program_end) == modes


@pytest.mark.parametrize("answer_first", [True, False])
def test_exchange_ends_at_its_deadline_however_much_the_terminal_sends(pty_terminal, monkeypatch, answer_first):
    """A terminal that keeps sending, after its answer or instead of one: the exchange
    still ends by its deadline, reads at most MAX_REPLY_BYTES and keeps a bounded share
    of them as keystrokes."""
    program_end, terminal_end = pty_terminal
    monkeypatch.setattr(q, "MAX_REPLY_BYTES", 20000)
    stop = threading.Event()

    def terminal():
        os.read(terminal_end, 1024)
        os.set_blocking(terminal_end, False)
        pending = DA1_XTERM if answer_first else b""
        while not stop.is_set():
            try:
                os.write(terminal_end, pending + b"x" * 512)
                pending = b""
            except BlockingIOError:
                stop.wait(0.01)

    responder = threading.Thread(target=terminal)
    responder.start()
    try:
        start = time.monotonic()
        replies = q.exchange(program_end, q.DEVICE_ATTRIBUTES_QUERY, timeout=0.5)
        elapsed = time.monotonic() - start
    finally:
        stop.set()
        responder.join()
    assert elapsed < 1.5
    assert replies.complete is answer_first
    assert len(replies.keystrokes) == q.MAX_KEYSTROKE_BYTES and set(replies.keystrokes) == {ord("x")}


@pytest.mark.parametrize("environ, answer, cell_size, asked, method", [
    # kitty answers OK; the window knows its pixels, so the cell size is not asked.
    ({}, KITTY_OK + DA1_KITTY, (8, 16), q.KITTY_QUERY + q.SIXEL_QUERIES + q.DEVICE_ATTRIBUTES_QUERY, "kitty"),
    # Inside tmux no graphics command goes out raw, and a kitty answer from further out does not count.
    ({"TMUX": "x"}, KITTY_OK + DA1_TMUX, None, q.CELL_SIZE_QUERY + q.SIXEL_QUERIES + q.DEVICE_ATTRIBUTES_QUERY, "blocks"),
    ({}, CELL_SIZE + DA1_XTERM_VT340, None, q.KITTY_QUERY + q.CELL_SIZE_QUERY + q.SIXEL_QUERIES + q.DEVICE_ATTRIBUTES_QUERY, "sixel"),
    # A tmux with sixel: the cell size comes from the tmux server.
    ({"TMUX": "x"}, b"\x1b[?1;2;4c", None, q.CELL_SIZE_QUERY + q.SIXEL_QUERIES + q.DEVICE_ATTRIBUTES_QUERY, "sixel"),
    # A tty that fails is a terminal that does not answer.
    ({}, OSError, None, q.KITTY_QUERY + q.CELL_SIZE_QUERY + q.SIXEL_QUERIES + q.DEVICE_ATTRIBUTES_QUERY, "blocks"),
])
def test_detection_asks_once_and_chooses(monkeypatch, pty_terminal, environ, answer, cell_size, asked, method):
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
    monkeypatch.setattr(q, "window_cell_size", lambda fd: cell_size)
    monkeypatch.setattr(q, "exchange", exchange)
    monkeypatch.setattr(q, "tmux_cell_size", lambda: (9, 19))
    found = q.detect(environ)
    assert sent == [asked]
    assert (found.method, found.probed, found.answered) == (method, True, answer is not OSError)
    if cell_size is None and answer is not OSError:
        cell_size = (7, 17) if CELL_SIZE in answer else (9, 19) if method == "sixel" else None
    assert found.cell_size == cell_size


@pytest.mark.parametrize("seed", range(20))
def test_any_input_is_sorted_without_loss(seed):
    """Random mixes of answers, their pieces and keys: nothing raises, and every byte is
    an answer, a keystroke or pending."""
    pieces = [KITTY_OK, KITTY_ERROR, CELL_SIZE, DA1_XTERM, b"\x1b", b"\x1b[", b"\x1b_", b"\x1b]", b"\x07",
              b"\x1b\\", b";", b"c", b"t", b"q", b"\x1b[A", b"\x1bP", b"7", b"?"]
    generator = random.Random(seed)
    data = b"".join(generator.choice(pieces) for _ in range(generator.randrange(1, 40)))
    replies = q.parse_replies(data)
    assert data.endswith(replies.pending)
    assert len(replies.keystrokes) + len(replies.pending) <= len(data)
    assert replies.complete == (replies.device_attributes is not None)
