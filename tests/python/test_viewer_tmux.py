"""The viewer inside tmux (TMUX set): kitty graphics asked for by name never reach the
terminal raw, since tmux makes them the pane's title; a file or a pipe still gets them."""

import os
import select
import subprocess
import sys

import pytest

from conftest import child_env

KITTY_COMMAND = b"\x1b_G"
REFUSAL = (b"facetview: --protocol kitty does not work inside tmux, which does not pass kitty graphics on; "
           b"use --protocol blocks, or sixel where tmux shows it (see --detect)\n")


def run_viewer(terminal, args, tmux, to_terminal):
    """The viewer run to its end on the pseudo-terminal (its output there, or into a pipe);
    what reached the terminal is read back."""
    program_end, terminal_end = terminal
    environ = {key: value for key, value in child_env().items() if key != "TMUX"}
    if tmux:
        environ["TMUX"] = "/tmp/tmux-0/default,1234,0"
    process = subprocess.Popen([sys.executable, "-m", "facetview", *args], stdin=program_end,
                               stdout=program_end if to_terminal else subprocess.PIPE, stderr=subprocess.PIPE,
                               env=environ)
    written, errors = process.communicate(timeout=60)
    if to_terminal:
        written = b""
        while select.select([terminal_end], [], [], 0)[0]:
            written += os.read(terminal_end, 65536)
    return process.returncode, written, errors


@pytest.mark.parametrize("args, tmux, to_terminal, refused, kitty", [
    # Refused before anything is written: the terminal is left exactly as it was.
    (["--protocol", "kitty", "--once"], True, True, True, False),
    (["--protocol", "kitty", "--inline"], True, True, True, False),
    (["--protocol=kitty", "--once", "--size", "20x6"], True, True, True, False),
    # What else draws there sends no kitty command either, not even the delete-all on the way out.
    (["--protocol", "blocks", "--once"], True, True, False, False),
    (["--once"], True, True, False, False),  # nothing answers: half-block cells
    # A pipe is no tmux pane: it gets the kitty commands it always got.
    (["--protocol", "kitty", "--once", "--size", "20x6"], True, False, False, True),
    # Outside tmux the terminal gets what it asked for.
    (["--protocol", "kitty", "--once"], False, True, False, True),
])
def test_kitty_graphics_stay_out_of_tmux(pty_terminal, args, tmux, to_terminal, refused, kitty):
    returned, written, said = run_viewer(pty_terminal, args, tmux, to_terminal)
    assert (returned, said) == ((2, REFUSAL) if refused else (0, b""))
    assert (KITTY_COMMAND in written) == kitty
    if refused:
        assert written == b""


SIXEL_IMAGE = b"\x1bP0;1q"


@pytest.mark.parametrize("answer, refused", [
    (b"\x1b[?1;2;4c", False),  # a tmux built with sixel, which draws in its client's pixels
    (b"\x1b[?1;2c", True),     # one without: nothing would be seen
])
def test_sixel_by_name_inside_tmux_only_where_tmux_announces_it(pty_terminal, answer, refused):
    program_end, terminal_end = pty_terminal
    environ = dict(child_env(), TMUX="/tmp/tmux-0/default,1234,0")
    process = subprocess.Popen([sys.executable, "-m", "facetview", "--protocol", "sixel", "--once", "--size", "20x6"],
                               stdin=program_end, stdout=program_end, stderr=subprocess.PIPE, env=environ)
    asked = b""
    while not asked.endswith(b"\x1b[c"):
        assert select.select([terminal_end], [], [], 20)[0], f"not asked: {asked!r}"
        asked += os.read(terminal_end, 65536)
    assert b"\x1b_G" not in asked
    os.write(terminal_end, b"\x1b[6;16;8t" + answer)
    _, said = process.communicate(timeout=60)
    written = b""
    while select.select([terminal_end], [], [], 0)[0]:
        written += os.read(terminal_end, 65536)
    expected = (b"facetview: --protocol sixel: this tmux does not announce sixel, so nothing would be seen; "
                b"use --protocol blocks\n")
    assert (process.returncode, said) == ((2, expected) if refused else (0, b""))
    assert (SIXEL_IMAGE in written) == (not refused)
