"""Surface(protocol=...): kitty stays the default, sixel and half-block cells beside it."""

import re

import pytest

import facetview as f
from facetview import Camera, Mesh, Surface, Viewport

VIEWPORT = Viewport(2, 1, 12, 5)
BLANK_CELLS = b"\x1b[?7l\x1b[0m" + b"".join(b"\x1b[%d;3H" % row + b" " * 12 for row in range(2, 7)) + b"\x1b[?7h"
# Every frame and clear that writes keeps the cursor where it was.
SAVE, RESTORE = b"\x1b7", b"\x1b8"


@pytest.mark.parametrize("bad, exception, message", [
    ("Kitty", ValueError, "unknown protocol 'Kitty', expected auto|kitty|sixel|blocks"),
    ("", ValueError, "unknown protocol '', expected auto|kitty|sixel|blocks"),
    (3, TypeError, None),
])
def test_unknown_protocols_are_refused(bad, exception, message):
    with pytest.raises(exception) as error:
        Surface(protocol=bad)
    assert message is None or str(error.value) == message


def test_protocol_is_keyword_only():
    with pytest.raises(TypeError, match="takes from 0 to 1 positional arguments but 2 were given"):
        Surface("low", "blocks")


@pytest.mark.parametrize("protocol, size, text", [
    ("kitty", (48, 40), 'Surface(quality="medium")'),
    ("blocks", (12, 10), 'Surface(quality="medium", protocol="blocks")'),
    # Not a terminal here: the cell size given, else the quality's 4 x 8.
    ("sixel", (48, 40), 'Surface(quality="medium", protocol="sixel")'),
])
def test_each_protocol_reports_the_size_it_renders(capfdbinary, protocol, size, text):
    surface = Surface(protocol=protocol)
    assert (surface.protocol, repr(surface)) == (protocol, text)
    assert surface.framebuffer_size(VIEWPORT) == size
    assert surface.render_to_terminal(Mesh.demo(), Camera(), VIEWPORT) == size
    assert len(capfdbinary.readouterr().out) > 100


@pytest.mark.parametrize("keyword, bad, exception, message", [
    ("cell_size", (0, 20), ValueError, "cell size must be at least 1x1 pixels"),
    ("cell_size", (10,), TypeError, "argument 'cell_size': expected a tuple (width, height)"),
    ("cell_size", [10, 20], TypeError, "argument 'cell_size': expected a tuple (width, height)"),
    ("cell_size", (10, -1), OverflowError, None),
    ("max_size", (1000, 0), ValueError, "max_size must be at least 1x1 pixels"),
    ("max_size", 1000, TypeError, "argument 'max_size': expected a tuple (width, height)"),
    ("colours", 0, ValueError, "colours must be at least 1"),
    ("colours", 70000, OverflowError, None),
    ("colours", "256", TypeError, None),
])
def test_sixel_keywords_refuse_bad_values(keyword, bad, exception, message):
    with pytest.raises(exception) as raised:
        Surface(protocol="sixel", **{keyword: bad})
    assert message is None or str(raised.value) == message


def test_sixel_takes_the_cell_size_given_within_the_largest_image_told(capfdbinary):
    viewport = Viewport(0, 0, 160, 48)
    # 160 x 48 cells of 10 x 20 pixels: 1600 x 960 screen pixels are over the budget of
    # 420000, so the whole screen area is rendered at half size.
    unbounded = Surface("high", protocol="sixel", cell_size=(10, 20))
    assert (unbounded.framebuffer_size(viewport), unbounded.reduction(viewport)) == ((800, 480), 1)
    # Where the terminal shows 1000 x 900 at most: half of the cells, centred, each in its
    # own pixels (800 x 480, within the budget).
    surface = Surface("high", protocol="sixel", cell_size=(10, 20), max_size=(1000, 900), colours=16)
    assert surface.reduction(viewport) == 2
    assert surface.framebuffer_size(viewport) == surface.render_to_terminal(Mesh.demo(), Camera(), viewport) \
        == (800, 480)
    frame = capfdbinary.readouterr().out
    assert frame.startswith(SAVE + b"\x1b[?2026h\x1b[13;41H\x1bP0;1q\"1;1;800;")
    assert b"#15;2;" in frame and b"#16;2;" not in frame


@pytest.mark.parametrize("cell_size", [(65535, 65535), (513, 20)])
def test_cell_sizes_no_terminal_has_are_unknown(capfdbinary, cell_size):
    surface = Surface("low", protocol="sixel", cell_size=cell_size)
    viewport = Viewport(0, 0, 80, 24)
    assert surface.framebuffer_size(viewport) == surface.render_to_terminal(Mesh.demo(), Camera(), viewport) \
        == (240, 144)


def test_auto_without_a_terminal_keeps_kitty():
    # Standard output is captured by pytest, so nothing is asked, and a file gets
    # what it always got.
    assert not f.terminal_capabilities().probed
    assert Surface(protocol="auto").protocol == "kitty"


def test_blocks_draw_the_cells_and_clear_blanks_them(capfdbinary):
    surface = Surface(protocol="blocks")
    surface.render_to_terminal(Mesh.demo(), Camera(), VIEWPORT)
    frame = capfdbinary.readouterr().out
    assert frame.startswith(SAVE + b"\x1b[?2026h\x1b[2;3H") and frame.endswith(b"\x1b[0m\x1b[?2026l" + RESTORE)
    # Every cell of the viewport is written: 60 cells of a block or a space.
    cells = re.sub(rb"\x1b\[[0-9;?]*[a-zA-Z]", b"", frame[len(SAVE):-len(RESTORE)]).decode()
    assert len(cells) == 60 and set(cells) <= {" ", "\u2580"}
    surface.clear()
    surface.render_to_terminal(Mesh.demo(), Camera(), VIEWPORT)
    assert capfdbinary.readouterr().out == SAVE + BLANK_CELLS + RESTORE + frame


def test_sixel_frame_is_one_image_per_run_of_bands_and_clear_blanks_it(capfdbinary):
    surface = Surface(protocol="sixel", cell_size=(6, 12))
    surface.render_to_terminal(Mesh.demo(), Camera(), VIEWPORT)
    frame = capfdbinary.readouterr().out
    assert re.fullmatch(rb'\x1b7\x1b\[\?2026h\x1b\[2;3H\x1bP[0-9;]*q"1;1;72;60#.*\x1b\\\x1b\[\?2026l\x1b8', frame, re.S)
    surface.render_to_terminal(Mesh.demo(), Camera(), VIEWPORT)
    assert capfdbinary.readouterr().out == b""  # nothing changed
    surface.clear()
    surface.render_to_terminal(Mesh.demo(), Camera(), VIEWPORT)
    assert capfdbinary.readouterr().out == SAVE + BLANK_CELLS + RESTORE + frame
