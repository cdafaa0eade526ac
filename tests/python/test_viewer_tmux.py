"""The viewer inside tmux (TMUX set): kitty graphics asked for by name never reach the
terminal raw, since tmux makes them the pane's title; a file or a pipe still gets them.
Sixel by name is drawn only where tmux announces it."""

import os
import subprocess

import pytest

from conftest import child_env

KITTY, SIXEL, BLOCK = b"\x1b_G", b"\x1bP0;1q", "\u2580".encode()
KITTY_REFUSAL = (b"facetview: --protocol kitty does not work inside tmux, which does not pass kitty graphics on; "
                 b"use --protocol blocks, or sixel where tmux shows it (see --detect)\n")
SIXEL_REFUSAL = (b"facetview: --protocol sixel: this tmux does not announce sixel, so nothing would be seen; "
                 b"use --protocol blocks\n")


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
def test_graphics_inside_tmux(viewers, args, tmux, to_terminal, answer, refusal, shown):
    environ = {key: value for key, value in child_env().items() if key != "TMUX"}
    if tmux:
        environ["TMUX"] = "/tmp/tmux-0/default,1234,0"
    viewer = viewers(*args, protocol=None, env=environ, stdout=None if to_terminal else subprocess.PIPE)
    asked = viewer.read_until(b"\x1b[c") if answer else 0
    if answer:
        assert KITTY not in viewer.output
        os.write(viewer.master, b"\x1b[6;16;8t" + answer)
    status, said = viewer.finish(60)
    written = viewer.output[asked:] if to_terminal else viewer.process.stdout.read()
    assert (status, said) == ((2, refusal) if refusal else (0, b""))
    assert (KITTY in written) == (shown == KITTY)
    assert shown in written if shown else written == b""
