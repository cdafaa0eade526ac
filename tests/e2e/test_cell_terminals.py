"""The viewer in xterm (sixel as a VT340, half-block cells otherwise) and in tmux, each
method chosen by asking the terminal: the screen shows the frame the surface rendered,
and detection picks each terminal's method."""

import sys
import time

import pytest

import facetview as f
from facetview.models import open_model
from cell_text import replay_cells, replay_sixel
from kitty_session import KittySession
from screen_compare import close_enough, region_mean
from tmux_server import Tmux, needs_tmux
from x_terminal import SCREEN_WIDTH, XTerminal, missing_tools, wait_for_file, xterm_command

COLS, ROWS = 40, 12
CAMERA = (0.3, 0.8, 0.1, 1.2)
# One frame, left on screen; the method is the one the viewer picks.
VIEWER = ["-m", "facetview", "--once", "--hold", "60", "--quality", "medium",
          *(f"--{name}={value}" for name, value in zip(("pitch", "yaw", "roll", "zoom"), CAMERA))]
# Per-channel difference allowed between the screen and the frame, and the share of
# cells that must stay within it (glyph edges and the cursor cell).
TOLERANCE, MATCHING_SHARE = 10.0, 0.97

needs_xterm = pytest.mark.skipif(bool(missing_tools("xterm")), reason="needs xterm, Xvfb and imagemagick")


def rendered_output(capfdbinary, monkeypatch, protocol, true_colour, cols=COLS, rows=ROWS, **surface_args):
    """What a surface writes for the frame the viewer draws, captured from fd 1."""
    monkeypatch.setenv("COLORTERM", "truecolor" if true_colour else "")
    monkeypatch.setenv("TERM", "xterm-256color")
    capfdbinary.readouterr()
    f.Surface("medium", protocol=protocol, **surface_args).render_to_terminal(
        open_model(None).mesh, f.Camera(*CAMERA), f.Viewport.full_screen(cols, rows, 1))
    return capfdbinary.readouterr().out


def wait_until_matching(share_now, what):
    deadline = time.monotonic() + 30
    while (share := share_now()) < MATCHING_SHARE:
        assert time.monotonic() < deadline, f"{what}: the screen matches in {share:.0%} of the cells"
        time.sleep(0.3)


# The viewer, after writing what detection found (the cell size, the sixel limits) to a file.
DETECTED_VIEWER = ["-c", "import runpy, sys, facetview as f; c = f.terminal_capabilities(); "
                   "open('limits.part', 'w').write(repr((c.sixel_max_size, c.colour_registers))); "
                   "__import__('os').rename('limits.part', 'limits'); "
                   "sys.argv = ['facetview', *sys.argv[1:]]; runpy.run_module('facetview', run_name='__main__')",
                   *VIEWER[2:]]


@needs_xterm
@pytest.mark.parametrize("cols, rows, font_size, reduced", [(80, 24, 10, False), (140, 45, 12, True)])
def test_xterm_vt340_shows_the_sixel_frame(tmp_path, capfdbinary, monkeypatch, cols, rows, font_size, reduced):
    """The picture is seen whole; where the window is wider than the largest image xterm
    shows (1000 pixels), it is drawn smaller, in the middle."""
    xterm = XTerminal(tmp_path, xterm_command(cols, rows, vt340=True, font_size=font_size), DETECTED_VIEWER)
    try:
        cw, ch = xterm.cell_width, xterm.cell_height
        max_size, colours = eval(wait_for_file(tmp_path / "limits", 30))
        assert colours is not None and max_size is not None  # xterm answers both
        limits = dict(cell_size=(cw, ch), max_size=max_size, colours=colours)
        viewport = f.Viewport.full_screen(cols, rows, 1)
        assert (f.Surface("medium", protocol="sixel", **limits).reduction(viewport) > 1) is reduced
        screen = replay_sixel(rendered_output(capfdbinary, monkeypatch, "sixel", True, cols, rows, **limits),
                              cw, ch, cols, rows)
        # Unreduced, the frame covers every cell but the last row, in the terminal's own pixels.
        shown = [(row, col) for row in range(rows) for col in range(cols) if screen[row * ch][col * cw] is not None]
        assert (len(shown) < cols * (rows - 1)) is reduced and shown
        assert all(row < rows - 1 for row, _ in shown)

        def share():
            shot = xterm.screenshot()
            matching = 0
            for row, col in shown:
                cell = [screen[y][x] for y in range(row * ch, (row + 1) * ch) for x in range(col * cw, (col + 1) * cw)]
                expected = [sum(pixel[c] for pixel in cell) / len(cell) for c in range(3)]
                seen = region_mean(shot, SCREEN_WIDTH, 3, col * cw, row * ch, (col + 1) * cw, (row + 1) * ch)
                matching += close_enough(seen, expected, TOLERANCE)
            return matching / len(shown)

        wait_until_matching(share, "sixel in xterm")
        xterm.save_window(str(tmp_path / "xterm-sixel.png"))
    finally:
        xterm.close()


def cell_share(shot, cells, cell_width, cell_height):
    """Share of cells whose upper and lower quarters show their two colours."""
    matching = total = 0
    for row, line in enumerate(cells):
        for col, (upper, lower) in enumerate(line):
            if upper is None:
                continue
            x0, x1, y = col * cell_width + 1, (col + 1) * cell_width - 1, row * cell_height
            quarter = cell_height // 4
            seen_upper = region_mean(shot, SCREEN_WIDTH, 3, x0, y + 1, x1, y + quarter)
            seen_lower = region_mean(shot, SCREEN_WIDTH, 3, x0, y + cell_height - quarter, x1, y + cell_height - 1)
            matching += close_enough(seen_upper, upper, TOLERANCE) and close_enough(seen_lower, lower, TOLERANCE)
            total += 1
    return matching / total


@needs_xterm
def test_plain_xterm_shows_the_half_block_frame_in_256_colours(tmp_path, capfdbinary, monkeypatch):
    xterm = XTerminal(tmp_path, xterm_command(COLS, ROWS, vt340=False), VIEWER,
                      dict(COLORTERM="", TERM="xterm-256color"))
    try:
        cells = replay_cells(rendered_output(capfdbinary, monkeypatch, "blocks", False), COLS, ROWS)
        assert all(upper is not None for line in cells[:ROWS - 1] for upper, _ in line)
        assert len({colour for line in cells for pair in line for colour in pair}) > 5
        wait_until_matching(lambda: cell_share(xterm.screenshot(), cells, xterm.cell_width, xterm.cell_height),
                            "half-blocks in xterm")
        xterm.save_window(str(tmp_path / "xterm-blocks.png"))
    finally:
        xterm.close()


DETECT = ["-c", "import os, facetview as f; c = f.terminal_capabilities(); "
          "open('detected.part', 'w').write(c.method + ' ' + str(c.answered)); "
          "os.rename('detected.part', 'detected')"]


@pytest.mark.parametrize("terminal, method", [
    pytest.param("kitty", "kitty", marks=pytest.mark.skipif(bool(missing_tools("kitty")), reason="needs kitty")),
    pytest.param("xterm-vt340", "sixel", marks=needs_xterm),
    pytest.param("xterm", "blocks", marks=needs_xterm),
    pytest.param("tmux", "blocks", marks=needs_tmux),
])
def test_detection_picks_each_terminals_method(tmp_path, terminal, method):
    if terminal == "kitty":
        session = KittySession(tmp_path, COLS, ROWS, [], program=DETECT)
    elif terminal == "tmux":
        session = Tmux(tmp_path, [sys.executable, *DETECT], COLS, ROWS)
    else:
        session = XTerminal(tmp_path, xterm_command(COLS, ROWS, vt340=terminal == "xterm-vt340"), DETECT)
    try:
        # Every terminal answers: none of them costs the whole timeout.
        assert wait_for_file(tmp_path / "detected", 30).split() == [method, "True"]
    finally:
        session.close()
