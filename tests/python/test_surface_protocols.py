"""Surface(protocol=...): kitty stays the default, sixel and half-block cells beside it, and
"auto" asks the terminal."""

import re

import pytest

import facetview.surface
from facetview import Camera, Mesh, Surface, Viewport
from facetview.terminal_query import Capabilities

VIEWPORT = Viewport(2, 1, 12, 5)
# Frames keep the cursor where it was; kitty sends graphics commands and cursor positions only.
KITTY_FRAME = rb"\x1b7(?:\x1b_G[^\x1b]*\x1b\\|\x1b\[\d+;\d+H)+\x1b8"
KITTY_CLEARED = rb"\x1b7(?:\x1b_Ga=d,[^\x1b]*\x1b\\)+\x1b8"
SIXEL_FRAME = rb'\x1b7\x1b\[\?2026h\x1b\[2;3H\x1bP[0-9;]*q"1;1;%d;%d#.*\x1b\\\x1b\[\?2026l\x1b8'
# Every cell of the viewport is written, a block or a space, in colours of the palette (5) or 24-bit (2).
BLOCKS_FRAME = (rb"\x1b7\x1b\[\?2026h\x1b\[2;3H(?:(?:\x1b\[\d+;\d+H|\x1b\[[34]8;%s;[0-9;]*m)*(?: |\xe2\x96\x80)){60}"
                rb"\x1b\[0m\x1b\[\?2026l\x1b8")
BLANK_CELLS = re.escape(b"\x1b7\x1b[?7l\x1b[0m" + b"".join(b"\x1b[%d;3H" % row + b" " * 12 for row in range(2, 7))
                        + b"\x1b[?7h\x1b8")


@pytest.mark.parametrize("arguments, text, size, frame, cleared", [
    ({}, 'Surface(quality="medium")', (48, 40), KITTY_FRAME, KITTY_CLEARED),
    # Standard output is captured, so nothing is asked, and a file gets what it always got.
    (dict(protocol="auto"), 'Surface(quality="medium")', (48, 40), KITTY_FRAME, KITTY_CLEARED),
    # Half-block cells take their colour depth from the environment, unless told.
    (dict(protocol="blocks"), 'Surface(quality="medium", protocol="blocks")', (12, 10), BLOCKS_FRAME % b"5", BLANK_CELLS),
    (dict(protocol="blocks", true_colour=True), 'Surface(quality="medium", protocol="blocks")', (12, 10),
     BLOCKS_FRAME % b"2", BLANK_CELLS),
    # Not a terminal here: the cell size given, else the quality's 4 x 8.
    (dict(protocol="sixel"), 'Surface(quality="medium", protocol="sixel")', (48, 40), SIXEL_FRAME % (48, 40),
     BLANK_CELLS),
])
def test_frames_are_sent_once_and_clear_takes_effect_at_once(capfdbinary, monkeypatch, arguments, text, size, frame,
                                                             cleared):
    monkeypatch.setenv("COLORTERM", "")  # no 24-bit colour announced
    monkeypatch.setenv("TERM", "xterm-256color")
    surface = Surface(**arguments)
    assert repr(surface) == text
    assert surface.framebuffer_size(VIEWPORT) == surface.render_to_terminal(Mesh.demo(), Camera(), VIEWPORT) == size
    sent = capfdbinary.readouterr().out
    assert re.fullmatch(frame, sent, re.S)
    # An unchanged frame and a call with a wrong argument write nothing.
    surface.render_to_terminal(Mesh.demo(), Camera(), VIEWPORT)
    with pytest.raises(TypeError, match="^argument 'mesh': "):
        surface.render_to_terminal(Camera(), Camera(), VIEWPORT)
    assert capfdbinary.readouterr().out == b""
    assert surface.clear() is None
    assert re.fullmatch(cleared, capfdbinary.readouterr().out)
    # The presenter forgot its frame: it is sent again in full.
    surface.render_to_terminal(Mesh.demo(), Camera(), VIEWPORT)
    assert capfdbinary.readouterr().out == sent


# A sixel terminal of 10 x 20 pixel cells that shows 1000 x 900 pixels at most, in 16 colours.
TOLD = Capabilities("sixel", True, True, False, True, True, (10, 20), False, colour_registers=16,
                    sixel_max_size=(1000, 900))


# 160 x 48 cells of 10 x 20 pixels: 1600 x 960 screen pixels are over the budget of 420000, so the
# whole screen area is rendered at half size. Where the terminal shows 1000 x 900 at most: half of
# the cells, centred, each in its own pixels (800 x 480, within the budget).
@pytest.mark.parametrize("arguments, limited", [
    (dict(protocol="sixel", cell_size=(10, 20), max_size=(1000, 900), colours=16), True),
    (dict(protocol="auto"), True),
    # What is given counts over what the terminal told.
    (dict(protocol="auto", max_size=None, colours=None), False),
])
def test_sixel_draws_in_the_cells_within_the_largest_image_told(capfdbinary, monkeypatch, arguments, limited):
    monkeypatch.setattr(facetview.surface, "terminal_capabilities", lambda: TOLD)
    surface, viewport = Surface("high", **arguments), Viewport(0, 0, 160, 48)
    assert surface.reduction(viewport) == (2 if limited else 1)
    assert surface.framebuffer_size(viewport) == surface.render_to_terminal(Mesh.demo(), Camera(), viewport) \
        == (800, 480)
    frame = capfdbinary.readouterr().out
    image = b"\x1b[13;41H\x1bP0;1q\"1;1;800;480" if limited else b"\x1b[1;1H\x1bP0;1q\"1;1;1600;960"
    assert frame.startswith(b"\x1b7\x1b[?2026h" + image)
    assert b"#15;2;" in frame and (b"#16;2;" in frame) is not limited
