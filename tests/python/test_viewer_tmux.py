"""The viewer inside tmux (TMUX set): kitty graphics asked for by name never reach the
terminal raw, since tmux makes them the pane's title; a file or a pipe still gets them.
Sixel by name is drawn only where tmux announces it."""

import os
import select
import subprocess
import sys

import pytest

from conftest import child_env

KITTY, SIXEL, BLOCK = b"\x1b_G", b"\x1bP0;1q", "\u2580".encode()
KITTY_REFUSAL = (b"facetview: --protocol kitty does not work inside tmux, which does not pass kitty graphics on; "
                 b"use --protocol blocks, or sixel where tmux shows it (see --detect)\n")
SIXEL_REFUSAL = (b"facetview: --protocol sixel: this tmux does not announce sixel, so nothing would be seen; "
                 b"use --protocol blocks\n")


def read_terminal(fd, until=None):
    """What the terminal end holds now; with until, everything it is sent up to those bytes."""
    data = b""
    while not data.endswith(until) if until else select.select([fd], [], [], 0)[0]:
        assert select.select([fd], [], [], 20)[0], f"no {until!r} after {data!r}"
        data += os.read(fd, 65536)
    return data


@pytest.mark.parametrize("args, tmux, to_terminal, answer, refusal, shown", [
    # Refused before anything is written: the terminal is left exactly as it was.
    (["--protocol", "kitty", "--once"], True, True, None, KITTY_REFUSAL, None),
    (["--protocol", "kitty", "--inline"], True, True, None, KITTY_REFUSAL, None),
    (["--protocol=kitty", "--once", "--size", "20x6"], True, True, None, KITTY_REFUSAL, None),
    # What else draws there sends no kitty command either, not even the delete-all on the way out.
    (["--protocol", "blocks", "--once"], True, True, None, b"", BLOCK),
    (["--once"], True, True, None, b"", BLOCK),  # nothing answers: half-block cells
    # A pipe is no tmux pane: it gets the kitty commands it always got.
    (["--protocol", "kitty", "--once", "--size", "20x6"], True, False, None, b"", KITTY),
    # Outside tmux the terminal gets what it asked for.
    (["--protocol", "kitty", "--once"], False, True, None, b"", KITTY),
    # A tmux built with sixel draws it in its client's pixels; one without would show nothing.
    (["--protocol", "sixel", "--once", "--size", "20x6"], True, True, b"\x1b[?1;2;4c", b"", SIXEL),
    (["--protocol", "sixel", "--once", "--size", "20x6"], True, True, b"\x1b[?1;2c", SIXEL_REFUSAL, None),
    (["--protocol", "sixel", "--once", "--size", "20x6"], True, True, None, b"", SIXEL),  # a tmux that does not answer
])
def test_graphics_inside_tmux(pty_terminal, args, tmux, to_terminal, answer, refusal, shown):
    program_end, terminal_end = pty_terminal
    environ = {key: value for key, value in child_env().items() if key != "TMUX"}
    if tmux:
        environ["TMUX"] = "/tmp/tmux-0/default,1234,0"
    process = subprocess.Popen([sys.executable, "-m", "facetview", *args], stdin=program_end,
                               stdout=program_end if to_terminal else subprocess.PIPE, stderr=subprocess.PIPE,
                               env=environ)
    if answer:
        assert KITTY not in read_terminal(terminal_end, until=b"\x1b[c")
        os.write(terminal_end, b"\x1b[6;16;8t" + answer)
    written, said = process.communicate(timeout=60)
    if to_terminal:
        written = read_terminal(terminal_end)
    assert (process.returncode, said) == ((2, refusal) if refusal else (0, b""))
    assert (KITTY in written) == (shown == KITTY)
    assert shown in written if shown else written == b""
