"""The viewer in xterm, sixel as a VT340 and half-block cells otherwise, each method chosen by
asking the terminal: detection picks it, and the screen shows the frame the surface rendered."""

import pytest

import facetview as f
from facetview.models import open_model
from cell_text import replay_cells, replay_sixel
from tmux_server import wait_for
from x_terminal import XTerminal, close_enough, missing_tools, region_mean, wait_for_file, xterm_command

COLS, ROWS = 40, 12
CAMERA = (0.3, 0.8, 0.1, 1.2)
# Writes what detection found to a file, then runs the viewer for one frame left on screen,
# with the method that it picks by asking the terminal.
DETECT = ("import os, runpy, sys, facetview as f; c = f.terminal_capabilities(); open('detected.part', 'w').write("
          "repr((c.method, c.answered, c.sixel_max_size, c.colour_registers))); os.rename('detected.part', 'detected'); "
          "sys.argv = ['facetview', *sys.argv[1:]]; runpy.run_module('facetview', run_name='__main__')")
VIEWER = ["-c", DETECT, "--once", "--hold", "60", "--quality", "medium",
          *(f"--{name}={value}" for name, value in zip(("pitch", "yaw", "roll", "zoom"), CAMERA))]
# Per-channel difference allowed between the screen and the frame, and the share of
# cells that must stay within it (glyph edges and the cursor cell).
TOLERANCE, MATCHING_SHARE = 10.0, 0.97

needs_xterm = pytest.mark.skipif(bool(missing_tools("xterm")), reason="needs xterm, Xvfb and imagemagick")


def rendered_output(capfdbinary, monkeypatch, protocol, true_colour, cols=COLS, rows=ROWS, camera=f.Camera(*CAMERA),
                    axes=False, **surface_args):
    """What a surface writes for the frame the viewer draws, captured from fd 1."""
    monkeypatch.setenv("COLORTERM", "truecolor" if true_colour else "")
    monkeypatch.setenv("TERM", "xterm-256color")
    capfdbinary.readouterr()
    surface = f.Surface("medium", protocol=protocol, **surface_args)
    surface.axis_triad = axes
    surface.render_to_terminal(open_model(None).mesh, camera, f.Viewport.full_screen(cols, rows, 1))
    return capfdbinary.readouterr().out


def wait_until_matching(xterm, expected, cells, what):
    """Waits until, in nearly all of cells (row, col), the upper and lower quarter of the cell on screen show
    what they hold in expected: pixels (rows of RGB tuples or None) in the terminal's cell size."""
    cw, ch = xterm.cell_width, xterm.cell_height
    bands = {(row, col): [(col * cw + 1, y0, (col + 1) * cw - 1, y1) for y0, y1 in
                          [(row * ch + 1, row * ch + ch // 4), ((row + 1) * ch - ch // 4, (row + 1) * ch - 1)]]
             for row, col in cells}
    means = {box: [sum(expected[y][x][c] for y in range(box[1], box[3]) for x in range(box[0], box[2]))
                   / ((box[2] - box[0]) * (box[3] - box[1])) for c in range(3)] for boxes in bands.values() for box in boxes}

    def share():
        shot = xterm.screenshot()
        return sum(all(close_enough(region_mean(shot, *box), means[box], TOLERANCE) for box in boxes)
                   for boxes in bands.values()) / len(cells)

    wait_for(lambda: share() >= MATCHING_SHARE, lambda: f"{what}: the screen matches in {share():.0%} of the cells",
             pause=0.3)


def detected(workdir):
    """(method, answered, sixel size limit, colour registers) as the terminal told them."""
    return eval(wait_for_file(workdir / "detected", 30))


@needs_xterm
@pytest.mark.parametrize("cols, rows, font_size, reduced", [(80, 24, 10, False), (140, 45, 12, True)])
def test_xterm_vt340_shows_the_sixel_frame(tmp_path, capfdbinary, monkeypatch, cols, rows, font_size, reduced):
    """The picture is seen whole; where the window is wider than the largest image xterm
    shows (1000 pixels), it is drawn smaller, in the middle."""
    with XTerminal(tmp_path, xterm_command(cols, rows, vt340=True, font_size=font_size), VIEWER) as xterm:
        cw, ch = xterm.cell_width, xterm.cell_height
        method, answered, max_size, colours = detected(tmp_path)
        # xterm answers every query, the sixel limits too: none of them costs the whole timeout.
        assert (method, answered) == ("sixel", True) and colours is not None and max_size is not None
        limits = dict(cell_size=(cw, ch), max_size=max_size, colours=colours)
        viewport = f.Viewport.full_screen(cols, rows, 1)
        assert (f.Surface("medium", protocol="sixel", **limits).reduction(viewport) > 1) is reduced
        screen = replay_sixel(rendered_output(capfdbinary, monkeypatch, "sixel", True, cols, rows, **limits),
                              cw, ch, cols, rows)
        # Unreduced, the frame covers every cell but the last row, in the terminal's own pixels.
        shown = [(row, col) for row in range(rows) for col in range(cols) if screen[row * ch][col * cw] is not None]
        assert (len(shown) < cols * (rows - 1)) is reduced and shown
        assert all(row < rows - 1 for row, _ in shown)
        wait_until_matching(xterm, screen, shown, "sixel in xterm")


@needs_xterm
def test_plain_xterm_shows_the_half_block_frame_in_256_colours(tmp_path, capfdbinary, monkeypatch):
    with XTerminal(tmp_path, xterm_command(COLS, ROWS, vt340=False), VIEWER,
                   dict(COLORTERM="", TERM="xterm-256color")) as xterm:
        assert detected(tmp_path)[:2] == ("blocks", True)
        cells = replay_cells(rendered_output(capfdbinary, monkeypatch, "blocks", False), COLS, ROWS)
        assert all(upper is not None for line in cells[:ROWS - 1] for upper, _ in line)
        assert len({colour for line in cells for pair in line for colour in pair}) > 5
        cw, ch = xterm.cell_width, xterm.cell_height
        pixels = [[cells[y // ch][x // cw][y % ch >= ch / 2] for x in range(COLS * cw)] for y in range(ROWS * ch)]
        drawn = [(row, col) for row in range(ROWS) for col in range(COLS) if cells[row][col][0] is not None]
        wait_until_matching(xterm, pixels, drawn, "half-blocks in xterm")
