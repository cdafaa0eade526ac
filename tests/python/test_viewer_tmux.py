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
