"""The viewer inside tmux (TMUX set): kitty graphics asked for by name never reach the
terminal raw, since tmux makes them the pane's title; a file or a pipe still gets them."""

import os
import pty
import select
import subprocess
import sys

import pytest

KITTY_COMMAND = b"\x1b_G"
REFUSAL = (b"facetview: --protocol kitty does not work inside tmux, which does not pass kitty graphics on; "
           b"use --protocol blocks, or sixel where tmux shows it (see --detect)\n")
TMUX = "/tmp/tmux-0/default,1234,0"


def run_viewer(args, tmux, to_terminal):
    environ = {key: value for key, value in os.environ.items() if key != "TMUX"}
    if tmux:
        environ["TMUX"] = TMUX
    master, slave = pty.openpty()
    out = slave if to_terminal else subprocess.PIPE
    try:
        process = subprocess.Popen([sys.executable, "-m", "facetview", *args], stdin=slave, stdout=out,
                                   stderr=subprocess.PIPE, env=environ)
        written, errors = process.communicate(timeout=60)
        os.close(slave)
        slave = None
        if to_terminal:
            written = b""
            while select.select([master], [], [], 0)[0]:
                try:
                    chunk = os.read(master, 65536)
                except OSError:  # every writer gone
                    break
                if not chunk:
                    break
                written += chunk
        return process.returncode, written, errors
    finally:
        os.close(master)
        if slave is not None:
            os.close(slave)


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
def test_kitty_graphics_stay_out_of_tmux(args, tmux, to_terminal, refused, kitty):
    returned, written, said = run_viewer(args, tmux, to_terminal)
    assert (returned, said) == ((2, REFUSAL) if refused else (0, b""))
    assert (KITTY_COMMAND in written) == kitty
    if refused:
        assert written == b""
